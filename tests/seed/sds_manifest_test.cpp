// The list of day files this program wrote into a folder: a file is ours by
// the hash of its bytes, or by an older list's size and time while they hold,
// or up to where a write of ours began that did not finish.
#include <gtest/gtest.h>

#include <fstream>

#include "seed/content_hash.h"
#include "seed/sds_manifest.h"
#include "tests/support/temp_dir.h"

namespace korvel {
namespace {

namespace fs = std::filesystem;

long long ChangedAt(const fs::path& file) {
  return static_cast<long long>(fs::last_write_time(file).time_since_epoch().count());
}

TEST(SdsManifestTest, AFileIsOursByItsBytesOrByAnOlderListsSizeAndTime) {
  // xxh128sum of nothing, as its own documentation gives it.
  EXPECT_EQ(ContentHash(""), "99aa06d3014798d86001c324468d497f");
  const std::string bytes = "records of a day";
  const struct {
    const char* what;
    std::string line;  // of the manifest; NAME stands for the file's name
    std::string now;   // what the file holds when it is asked about
    SdsManifest::Claim claim;
  } cases[] = {
      {"its hash", "NAME\tXXH3-128\t" + ContentHash(bytes), bytes, SdsManifest::Claim::kHash},
      {"a byte changed", "NAME\tXXH3-128\t" + ContentHash(bytes), "records of a dax",
       SdsManifest::Claim::kNone},
      {"another file's hash", "OTHER\tXXH3-128\t" + ContentHash(bytes), bytes,
       SdsManifest::Claim::kNone},
      {"size and time agree", "NAME\t16\tCHANGED", bytes, SdsManifest::Claim::kOldStamp},
      {"another time", "NAME\t16\tCHANGED+1", bytes, SdsManifest::Claim::kNone},
      {"another size", "NAME\t17\tCHANGED", bytes, SdsManifest::Claim::kNone},
      {"a hash cut short", "NAME\tXXH3-128\t" + ContentHash(bytes).substr(1), bytes,
       SdsManifest::Claim::kNone},
      {"no tabs", "NAME 16 CHANGED", bytes, SdsManifest::Claim::kNone},
      {"a write begun, none of it there", "NAME\tXXH3-128\t" + ContentHash(bytes) + "\t16", bytes,
       SdsManifest::Claim::kUnfinished},
      {"a write begun, some of it there", "NAME\tXXH3-128\t" + ContentHash(bytes) + "\t16",
       bytes + " and more", SdsManifest::Claim::kUnfinished},
      {"a write begun, a byte before it changed", "NAME\tXXH3-128\t" + ContentHash(bytes) + "\t16",
       "records of a dax and more", SdsManifest::Claim::kNone},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    test::TempDir folder;
    const fs::path file = folder / "XX.KIR..HHZ.D.2007.060";
    { std::ofstream(file, std::ios::binary) << c.now; }
    std::string line = c.line;
    if (const std::size_t at = line.find("NAME"); at != std::string::npos)
      line.replace(at, 4, file.filename().string());
    if (const std::size_t at = line.find("CHANGED"); at != std::string::npos) {
      const bool later = line.ends_with("+1");
      line.replace(at, std::string::npos, std::to_string(ChangedAt(file) + (later ? 1 : 0)));
    }
    { std::ofstream(folder / kSdsManifestName, std::ios::binary) << line << '\n'; }
    const SdsManifest manifest(folder.path());
    const std::string prefix =
        c.now.substr(0, static_cast<std::size_t>(manifest.UnfinishedFrom(file).value_or(0)));
    EXPECT_EQ(manifest.ClaimOn(file, c.now.size(), ContentHash(c.now), ContentHash(prefix)),
              c.claim);
  }
}

TEST(SdsManifestTest, ANoteRecordsTheHashAndKeepsTheOtherLines) {
  test::TempDir folder;
  const std::string older = "XX.KIR..HHN.D.2007.059\t4096\t1234567890123456789\n";
  { std::ofstream(folder / kSdsManifestName, std::ios::binary) << older; }
  const fs::path file = folder / "XX.KIR..HHZ.D.2007.060";
  { std::ofstream(file, std::ios::binary) << "v1"; }
  SdsManifest manifest(folder.path());
  ASSERT_TRUE(manifest.Note(file, ContentHash("v1")));
  EXPECT_EQ(test::ReadFileBytes(folder / kSdsManifestName),
            older + "XX.KIR..HHZ.D.2007.060\tXXH3-128\t" + ContentHash("v1") + "\n");
  // Copied elsewhere, with other times: still ours.
  test::TempDir copy;
  fs::copy(folder.path(), copy.path(), fs::copy_options::recursive);
  const fs::path copied = copy / file.filename().string();
  fs::last_write_time(copied, fs::last_write_time(copied) + std::chrono::hours(1));
  EXPECT_EQ(SdsManifest(copy.path()).ClaimOn(copied, 2, ContentHash("v1")),
            SdsManifest::Claim::kHash);
}

}  // namespace
}  // namespace korvel
