// Files checked against what their rows say, and files no row names.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

#include "engine/archive_check.h"
#include "engine/output_writer.h"
#include "engine/tqf_file.h"
#include "platform/number_text.h"
#include "tests/support/temp_dir.h"

namespace korvel {
namespace {

namespace fs = std::filesystem;
using test::TempDir;
using test::WriteFileBytes;

constexpr EpochSeconds kT0 = 1172707200.0;  // 2007-03-01 00:00:00

std::string Tqf(const std::string& station, const std::string& channel, double rate,
                EpochSeconds start, std::size_t samples) {
  const TqfHeader header = BuildHeader(station, channel, rate, start);
  return std::string(header.data(), header.size()) + std::string(4 * samples, '\0');
}

std::string Describe(const std::vector<FileProblem>& problems) {
  std::string text;
  for (const FileProblem& p : problems) {
    switch (p.kind) {
      case FileProblemKind::kMissing:
        text += p.absent ? "missing;" : "missing (there);";
        break;
      case FileProblemKind::kLength:
        text +=
            "length " + (p.row_samples ? std::to_string(*p.row_samples) : "?") + " " +
            FixedNumber(std::trunc(p.file_samples * 100.0) / 100.0, 2) + ";";
        break;
      case FileProblemKind::kHeader:
        text += "header " + p.field + " " + p.row_value + "/" + p.file_value + ";";
        break;
    }
  }
  return text;
}

TEST(ArchiveCheck, ACataloguedFileIsThereWholeAndNamedAsItsRow) {
  TempDir dir;
  const RowClaim row{"KIR", "Z", kT0 + 0.5, 1.0, 100.0};
  const std::string good = Tqf("KIR", "Z", 100.0, kT0 + 0.5, 100);
  std::string foreign_spelling =
      "[TQF4.0]\nStart time=0 0 0\nStart date=1 3 2007\nSpS=100\n"
      "Station=KIR\nChannel=Z\nData offset=512\n";
  foreign_spelling.resize(512, '\0');
  std::string damaged = good;
  damaged[48] = 'X';  // "Xtart date=..."
  const struct {
    const char* what;
    std::string bytes;  // nothing written when empty
    RowClaim row;
    std::string problems;
  } cases[] = {
      {"as its row says", good, row, ""},
      {"another program's spelling", foreign_spelling + std::string(400, 'x'), row, ""},
      {"missing", "", row, "missing;"},
      {"a sample short", good.substr(0, good.size() - 4), row, "length 100 99.00;"},
      {"a part of a sample more", good + "ab", row, "length 100 100.50;"},
      {"a row with no length", good, {"KIR", "Z", kT0, std::nullopt, 100.0}, "length ? 100.00;"},
      {"another station", Tqf("KIX", "Z", 100.0, kT0, 100), row, "header Station KIR/KIX;"},
      {"another channel and rate", Tqf("KIR", "N-S", 50.0, kT0, 100), row,
       "header Channel Z/N-S;header SpS 100.000000/50.000000;"},
      {"another second", Tqf("KIR", "Z", 100.0, kT0 + 1.0, 100), row,
       "header Start 2007-03-01 00:00:00/2007-03-01 00:00:01;"},
      {"a damaged line", damaged, row, "header Start date /unreadable;"},
      {"shorter than a header", good.substr(0, 300), row,
       "length 100 0.00;header header 512 bytes/300 bytes;"},
  };
  for (const auto& c : cases) {
    const fs::path file = dir / "f";
    fs::remove(file);
    if (!c.bytes.empty()) WriteFileBytes(file, c.bytes);
    EXPECT_EQ(Describe(CheckCataloguedFile(file, c.row)), c.problems) << c.what;
  }
  // Something that is no file at the path is not "missing" in the sense
  // that its row may go.
  EXPECT_EQ(Describe(CheckCataloguedFile(dir.path(), row)), "missing (there);");
}

TEST(ArchiveCheck, StoredPathsBelowTheRoot) {
  const struct {
    const char* cpath;
    std::optional<std::string> below;
  } cases[] = {
      {"KIR/00/a.KIR", "KIR/00/a.KIR"},
      {"KIR//00/./a.KIR", "KIR/00/a.KIR"},
      {"/srv/tqf/KIR/00/a.KIR", "KIR/00/a.KIR"},
      {"/srv/tqf2/KIR/00/a.KIR", std::nullopt},
      {"/srv/KIR/00/a.KIR", std::nullopt},
      {"KIR/../../etc/passwd", std::nullopt},
      {"KIR\\..\\..\\etc\\passwd", std::nullopt},  // Windows separators climb too
      {"\\\\server\\KIR\\a.KIR", std::nullopt},
      {"", std::nullopt},
      {"KIR/", std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(PathBelowRoot("/srv/tqf", c.cpath), c.below) << c.cpath;
  // Cyrillic roots and paths (code page 1251), whatever the system's own code page.
  const std::string root = "/srv/\xC0\xF0\xF5\xE8\xE2 TQF";  // Архив TQF
  const std::string kir = "\xCA\xC8\xD0/00/a.\xCA\xC8\xD0";  // КИР/00/a.КИР
  EXPECT_EQ(PathBelowRoot(root, kir), kir);
  EXPECT_EQ(PathBelowRoot(root, root + "/" + kir), kir);
  EXPECT_EQ(PathBelowRoot(root, "/srv/\xC0\xF0\xF5\xE8\xE2/" + kir), std::nullopt);
}

TEST(ArchiveCheck, OrphansAreTheFilesNoRowNamesAndOnlyExactOnesAreOurs) {
  TempDir dir;
  const std::string root = dir.path().string() + "/";
  fs::create_directories(dir / "KIR/00");
  fs::create_directories(dir / "KIR/01");
  fs::create_directories(dir / "OTHER");
  const std::string ours = Tqf("KIR", "Z", 100.0, kT0, 10);
  WriteFileBytes(dir / "KIR/00/01032007-000000-Z.KIR", ours);  // named by a row
  WriteFileBytes(dir / "KIR/00/01032007-000010-Z.KIR", Tqf("KIR", "Z", 100.0, kT0 + 10, 7));
  WriteFileBytes(dir / "KIR/00/01032007-000010-Z.KIR.part", ours);  // a leftover
  WriteFileBytes(dir / "KIR/01/renamed.KIR", ours);                 // not our name
  WriteFileBytes(dir / "KIR/01/01032007-010000-Z.KIR", Tqf("KIR", "Z", 100.0, kT0 + 3600, 3) + "x");
  WriteFileBytes(dir / "KIR/01/notes.txt", "text");
  WriteFileBytes(dir / "KIR" / kStationLockFile, "");  // a converter's, not an orphan
  WriteFileBytes(dir / "OTHER/elsewhere.KIR", ours);   // another folder
  std::error_code no_links;  // a link, not followed (Wine makes none: the listing is the same)
  fs::create_symlink(dir / "OTHER/elsewhere.KIR", dir / "KIR/01/link.KIR", no_links);
  const std::vector<OrphanFile> orphans =
      FindOrphans(root, "KIR", {"KIR/00/01032007-000000-Z.KIR"});
  std::string found;
  for (const OrphanFile& o : orphans)
    found += o.relative_path + (o.ours ? " ours " + std::to_string(o.samples) : "") + ";";
  EXPECT_EQ(found,
            "KIR/00/01032007-000010-Z.KIR ours 7;KIR/00/01032007-000010-Z.KIR.part;"
            "KIR/01/01032007-010000-Z.KIR;KIR/01/notes.txt;KIR/01/renamed.KIR;");
  ASSERT_TRUE(orphans[0].header);
  EXPECT_EQ(orphans[0].header->start, kT0 + 10);
  EXPECT_FALSE(orphans[3].header);
  EXPECT_TRUE(FindOrphans(root, "NONE", {}).empty());
}

}  // namespace
}  // namespace korvel
