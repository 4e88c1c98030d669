// A link that another user of the machine planted below the output root (the
// operators' group may write there) never takes a conversion's files or lock
// elsewhere; a link of the site's own layout is followed.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <map>

#include "tests/app/conversion_fixture.h"
#include "tests/support/databases/live_database.h"

namespace korvel::test {
namespace {

namespace fs = std::filesystem;

constexpr uid_t kRoot = 0;
constexpr uid_t kOperator = 65534;  // nobody: a member of the group, not the root's owner

// Every entry below a folder, links not followed: a file's length and a hash
// of its bytes, a link's target, or "/" for a folder.
std::map<std::string, std::string> Everything(const fs::path& folder) {
  std::map<std::string, std::string> entries;
  for (const fs::directory_entry& entry : fs::recursive_directory_iterator(folder)) {
    const std::string name = fs::relative(entry.path(), folder).string();
    if (entry.is_symlink())
      entries[name] = "-> " + fs::read_symlink(entry.path()).string();
    else if (entry.is_directory())
      entries[name] = "/";
    else
      entries[name] = std::to_string(entry.file_size()) + " bytes, hash " +
                      std::to_string(std::hash<std::string>{}(ReadFileBytes(entry.path())));
  }
  return entries;
}

class FolderLinkTest : public ConversionTest {
 protected:
  void SetUp() override {
    ConversionTest::SetUp();
    if (IsSkipped()) return;
    if (geteuid() != 0) GTEST_SKIP() << "*** not root: no link of another user can be planted ***";
    RawFile("KIR", {"Z"}, kMarch1, 100.0, 500).WriteTo(Raw("KIR/a.raw"));
    elsewhere = sandbox.path() / "elsewhere";
  }
  // A fresh folder outside the output root, with a file in it, and an empty root.
  void Reset(uid_t elsewhere_owner) {
    fs::remove_all(out);
    fs::create_directories(out);
    fs::remove_all(elsewhere);
    fs::create_directories(elsewhere / "00");
    WriteFileBytes(elsewhere / "passwd", "precious\n");
    ASSERT_EQ(chown(elsewhere.c_str(), elsewhere_owner, elsewhere_owner), 0);
  }
  // A link at `at` below the output root, owned by `owner`.
  void Plant(const std::string& at, const fs::path& to, uid_t owner) {
    fs::create_directories(fs::path(Out(at)).parent_path());
    fs::create_symlink(to, Out(at));
    ASSERT_EQ(lchown(Out(at).c_str(), owner, owner), 0);
  }
  CommandResult Convert(bool locks) {
    std::vector<std::string> args = {"files", "--station", "KIR", "--channel", "KIR:Z"};
    if (!locks) args.push_back("--no-lock");
    args.push_back(Raw("KIR/a.raw"));
    return Cli(args);
  }

  fs::path elsewhere;
};

// Refused once, with the link and the reason; the station's output is a
// failure; nothing outside the root changed and no row was written.
TEST_P(FolderLinkTest, AnotherUsersLinkIsRefusedWithItsPathAndReason) {
  const std::string file = "KIR/00/01032007-000000-Z.KIR";
  const std::string lock = "KIR/.korvel2tqf.lock";
  const std::string not_followed =
      ": a link owned by nobody; only links of the output root's "
      "owner (root) or of root are followed";
  struct Case {
    const char* where;
    std::string link;  // below the output root
    fs::path target;   // below `elsewhere`
    uid_t link_owner;
    uid_t target_owner;
    bool locks;
    std::string told;  // the file named, then the reason
  };
  const std::vector<Case> cases = {
      {"station folder", "KIR", "", kOperator, kOperator, true,
       lock + "'\n  " + out + "KIR" + not_followed},
      {"station folder, no locks", "KIR", "", kOperator, kOperator, false,
       file + "'\n  " + out + "KIR" + not_followed},
      {"hour folder", "KIR/00", "00", kOperator, kRoot, true,
       file + "'\n  " + out + "KIR/00" + not_followed},
      {"lock file", lock, "passwd", kOperator, kRoot, true,
       lock + "'\n  Too many levels of symbolic links"},
      {"station folder to another user's", "KIR", "", kRoot, kOperator, true,
       lock + "'\n  " + out +
           "KIR: a link to a folder owned by nobody; only folders of the output root's owner "
           "(root) are followed"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.where);
    Reset(c.target_owner);
    Plant(c.link, elsewhere / c.target, c.link_owner);
    const auto before = Everything(elsewhere);
    const auto r = Convert(c.locks);
    EXPECT_EQ(r.exit_status, 5) << r.err;
    EXPECT_NE(r.err.find("Korvel->TQF: File create error '" + out + c.told + "\n"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(Everything(elsewhere), before);
    EXPECT_TRUE(Rows().empty());
  }
}

// Mending takes the station's lock as converting does: never through a link
// in the folder's place, which is named with the reason instead.
TEST_P(FolderLinkTest, VerifyTakesNoLockThroughAnotherUsersLink) {
  Reset(kOperator);
  Plant("KIR", elsewhere, kOperator);
  const auto before = Everything(elsewhere);
  const auto r = Cli({"verify", "--fix", "--station", "KIR"});
  EXPECT_NE(r.err.find("KORVEL->TQF: Станция KIR пропущена: не удаётся заблокировать файл " + out +
                       "KIR/.korvel2tqf.lock (" + out + "KIR: a link owned by nobody;"),
            std::string::npos)
      << r.err;
  EXPECT_EQ(Everything(elsewhere), before);
}

// The site's own layout: a station moved to another disk by the root's owner
// or by root, into a folder of the root's owner, is written there.
TEST_P(FolderLinkTest, TheSitesOwnStationLinkIsFollowed) {
  struct Case {
    uid_t root_owner;
    uid_t link_owner;
    uid_t target_owner;
  };
  for (const Case& c : {Case{kRoot, kRoot, kRoot}, Case{kOperator, kOperator, kOperator},
                        Case{kOperator, kRoot, kOperator}}) {
    SCOPED_TRACE(std::to_string(c.root_owner) + " " + std::to_string(c.link_owner) + " " +
                 std::to_string(c.target_owner));
    ResetCatalogue(db);
    Reset(c.target_owner);
    ASSERT_EQ(chown(out.c_str(), c.root_owner, c.root_owner), 0);
    Plant("KIR", elsewhere, c.link_owner);
    const auto r = Convert(/*locks=*/true);
    EXPECT_EQ(r.exit_status, 0) << r.err;
    EXPECT_EQ(ReadFileBytes(elsewhere / "00/01032007-000000-Z.KIR"),
              ExpectedTqf("KIR", "Z", 0, 100.0, kMarch1, 0, 500));
    EXPECT_TRUE(fs::exists(elsewhere / ".korvel2tqf.lock"));
    const auto rows = Rows();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].cpath, "KIR/00/01032007-000000-Z.KIR");
  }
}

INSTANTIATE_TEST_SUITE_P(Drivers, FolderLinkTest, ::testing::ValuesIn(TestDsns()),
                         [](const auto& info) { return info.param; });

}  // namespace
}  // namespace korvel::test
