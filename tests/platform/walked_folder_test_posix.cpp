// Folders below a root are reached without following another user's link:
// links are planted as a second user of the machine would (owned by nobody,
// through lchown), so these cases need root.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <functional>

#include "platform/file_io.h"
#include "platform/walked_folder.h"
#include "tests/support/temp_dir.h"

namespace korvel {
namespace {

namespace fs = std::filesystem;
using Refusal = WalkFailure::Refusal;

constexpr uid_t kRoot = 0;
constexpr uid_t kOther = 65534;  // nobody

class WalkedFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (geteuid() != 0) GTEST_SKIP() << "*** not root: no link of another user can be planted ***";
  }
  void Link(const std::string& at, const fs::path& to, uid_t owner) const {
    fs::create_symlink(to, dir / at);
    ASSERT_EQ(lchown((dir / at).c_str(), owner, owner), 0);
  }
  void Own(const std::string& at, uid_t owner) const {
    ASSERT_EQ(chown((dir / at).c_str(), owner, owner), 0);
  }

  test::TempDir dir;
};

TEST_F(WalkedFolderTest, OnlyTheSitesOwnLinksAreFollowed) {
  struct Case {
    const char* what;
    std::function<void()> plant;  // below the temporary folder: root/ and else/
    Refusal refusal = Refusal::kNone;
    int system_error = 0;
    std::string link = "";   // the link refused
    std::string owner = "";  // of the link or target refused
    std::string lands = "";  // where a file made in root/KIR/05 is, when it is made
  };
  const fs::path outside = dir / "else";
  const std::vector<Case> cases = {
      {"plain folders, made", [] {}, Refusal::kNone, 0, "", "", "root/KIR/05/f"},
      {"another user's station link", [&] { Link("root/KIR", outside, kOther); },
       Refusal::kLinkOwner, 0, "root/KIR", "nobody"},
      {"another user's hour link",
       [&] {
         fs::create_directory(dir / "root/KIR");
         Link("root/KIR/05", outside, kOther);
       },
       Refusal::kLinkOwner, 0, "root/KIR/05", "nobody"},
      {"root's link to another user's folder",
       [&] {
         Link("root/KIR", outside, kRoot);
         Own("else", kOther);
       },
       Refusal::kTargetOwner, 0, "root/KIR", "nobody"},
      {"root's link to a file", [&] { Link("root/KIR", outside / "file", kRoot); },
       Refusal::kTargetNotFolder, 0, "root/KIR"},
      {"root's link to nothing", [&] { Link("root/KIR", outside / "none", kRoot); },
       Refusal::kTargetNotFolder, 0, "root/KIR"},
      {"another user's link on the way to the target",
       [&] {
         fs::create_directory(dir / "hop");
         Link("root/KIR", dir / "hop/next", kRoot);
         Link("hop/next", outside, kOther);
       },
       Refusal::kLinkOwner, 0, "hop/next", "nobody"},
      {"root's link to root's folder, the root another user's",
       [&] {
         Own("root", kOther);
         Link("root/KIR", outside, kRoot);
       },
       Refusal::kTargetOwner, 0, "root/KIR", "root"},
      {"a file in a folder's place", [&] { test::WriteFileBytes(dir / "root/KIR", "x"); },
       Refusal::kNone, ENOTDIR},
      {"a link to itself", [&] { Link("root/KIR", "KIR", kRoot); }, Refusal::kNone, ELOOP},
      {"the site's station moved away", [&] { Link("root/KIR", outside, kRoot); }, Refusal::kNone,
       0, "", "", "else/05/f"},
      {"the same by a relative link", [&] { Link("root/KIR", "../else", kRoot); }, Refusal::kNone,
       0, "", "", "else/05/f"},
      {"the same by the root's owner",
       [&] {
         Own("root", kOther);
         Own("else", kOther);
         Link("root/KIR", outside, kOther);
       },
       Refusal::kNone, 0, "", "", "else/05/f"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    for (const char* folder : {"root", "else", "hop"}) fs::remove_all(dir / folder);
    fs::create_directories(dir / "root");
    fs::create_directories(outside);
    test::WriteFileBytes(outside / "file", "precious");
    c.plant();

    const WalkedFolder folder = WalkedFolder::Root(dir / "root/").Below("KIR/05", /*make=*/true);
    EXPECT_EQ(folder.Failure().refusal, c.refusal);
    EXPECT_EQ(folder.Failure().system_error, c.system_error);
    if (c.refusal != Refusal::kNone) {
      EXPECT_EQ(folder.Failure().link, dir / c.link);
      if (!c.owner.empty()) {
        EXPECT_EQ(folder.Failure().owner, c.owner);
      }
      EXPECT_EQ(folder.Failure().root_owner, c.owner == "root" ? "nobody" : "root");
    }
    ASSERT_EQ(folder.IsOpen(), !c.lands.empty());
    if (c.lands.empty()) {
      // Nothing was made outside the root.
      EXPECT_FALSE(fs::exists(outside / "05"));
      EXPECT_EQ(test::ReadFileBytes(outside / "file"), "precious");
      continue;
    }
    const int fd = folder.CreateNewFile("f");
    ASSERT_GE(fd, 0);
    CloseFile(fd);
    EXPECT_TRUE(fs::is_regular_file(dir / c.lands));
  }
}

// A walk never leaves the tree by its own names.
TEST(WalkedFolder, NamesThatLeaveTheTreeAreRefused) {
  test::TempDir dir;
  fs::create_directories(dir / "root/KIR");
  const WalkedFolder root = WalkedFolder::Root(dir / "root");
  for (const char* relative : {"..", "KIR/../..", "/etc", "./KIR"}) {
    SCOPED_TRACE(relative);
    const WalkedFolder folder = root.Below(relative, /*make=*/true);
    EXPECT_FALSE(folder.IsOpen());
    EXPECT_EQ(folder.Failure().system_error, EINVAL);
  }
  EXPECT_TRUE(root.Below("KIR", /*make=*/false).IsOpen());
}

}  // namespace
}  // namespace korvel
