// Files checked against what their rows say, and files no row names.
#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <cmath>
#include <filesystem>

#include "engine/archive_check.h"
#include "engine/output_writer.h"
#include "engine/own_file.h"
#include "engine/tqf_file.h"
#include "platform/number_text.h"
#include "tests/support/temp_dir.h"

namespace korvel {
namespace {

namespace fs = std::filesystem;
using test::ReadFileBytes;
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

TEST(ArchiveCheck, OurFileNamesAreReadBackOnlyInTheOneSpellingWeWrite) {
  const struct {
    const char* path;
    std::optional<TqfName> name;
  } cases[] = {
      {"KIR/13/01032007-130507-N-S.KIR", TqfName{"KIR", "N-S", kT0 + 13 * 3600 + 5 * 60 + 7}},
      {"K.R/00/01032007-000000-Z.1.K.R", TqfName{"K.R", "Z.1", kT0}},
      {"K%2FR/00/01032007-000000-%25.K%2FR", TqfName{"K/R", "%", kT0}},
      {"KIR/01/01032007-000000-Z.KIR", std::nullopt},       // another hour's folder
      {"KIR/00/01032007-000000-SH%2fZ.KIR", std::nullopt},  // lower-case hex
      {"KIR/00/01032007-000000-SH%5FZ.KIR", std::nullopt},  // an escape we never write
      {"KIR/00/31022007-000000-Z.KIR", std::nullopt},
      {"KIR/00/01032007-000000-Z.KUDA", std::nullopt},
      {"KIR/00/01032007-000000-Z.KIR.part", std::nullopt},
  };
  for (const auto& c : cases) {
    const std::optional<TqfName> name = ParseTqfRelativePath(c.path);
    ASSERT_EQ(name.has_value(), c.name.has_value()) << c.path;
    if (!name) continue;
    EXPECT_EQ(name->station, c.name->station) << c.path;
    EXPECT_EQ(name->channel, c.name->channel) << c.path;
    EXPECT_EQ(name->start, c.name->start) << c.path;
  }
}

// What verify --fix may touch: only a file that is provably ours, judged as
// opened without following a link. Our header must name the row's station
// and channel; what a killed run leaves at our names (nothing yet, a header
// alone, a staging file) may go.
TEST(ArchiveCheck, OnlyAFileThatIsProvablyOursMayBeMended) {
  TempDir dir, elsewhere;
  const std::string root = dir.path().string() + "/";
  const std::string ours = Tqf("KIR", "Z", 100.0, kT0, 10);
  const std::string name = "KIR/00/01032007-000000-Z.KIR";
  std::string foreign_spelling =
      "[TQF4.0]\nStart time=0 0 0\nStart date=1 3 2007\nSpS=100\n"
      "Station=KIR\nChannel=Z\nData offset=512\n";
  foreign_spelling.resize(512, '\0');
  enum class Plant { kBytes, kNothing, kHardLinkOutside, kLink, kFolder, kPipe, kLinkedFolder };
  const struct {
    const char* what;
    std::string relative;
    Plant plant;
    std::string bytes;
    FileDoubt doubt;
    bool ours_for_kir_z;
    OrphanMend orphan;
  } cases[] = {
      {"our whole file", name, Plant::kBytes, ours, FileDoubt::kNone, true, OrphanMend::kRegister},
      {"random bytes", name, Plant::kBytes, std::string(600, '\x5A'), FileDoubt::kNone, false,
       OrphanMend::kLeave},
      {"another station's file", name, Plant::kBytes, Tqf("KUDA", "Z", 100.0, kT0, 10),
       FileDoubt::kNone, false, OrphanMend::kLeave},
      {"another channel's file", name, Plant::kBytes, Tqf("KIR", "N-S", 100.0, kT0, 10),
       FileDoubt::kNone, false, OrphanMend::kLeave},
      {"another program's spelling", name, Plant::kBytes, foreign_spelling + std::string(40, 'x'),
       FileDoubt::kNone, false, OrphanMend::kLeave},
      {"a second name of a file outside", name, Plant::kHardLinkOutside, ours,
       FileDoubt::kMoreLinks, false, OrphanMend::kLeave},
      {"a link to our file", name, Plant::kLink, ours, FileDoubt::kLink, false, OrphanMend::kLeave},
      {"in a folder linked outside", "KIR/01/01032007-010000-Z.KIR", Plant::kLinkedFolder,
       Tqf("KIR", "Z", 100.0, kT0 + 3600, 10), FileDoubt::kOutsideRoot, false, OrphanMend::kLeave},
      {"a folder", name, Plant::kFolder, "", FileDoubt::kNotAFile, false, OrphanMend::kLeave},
      {"a pipe", name, Plant::kPipe, "", FileDoubt::kNotAFile, false, OrphanMend::kLeave},
      {"nothing", name, Plant::kNothing, "", FileDoubt::kMissing, false, OrphanMend::kLeave},
      // What a run killed as it made the file leaves.
      {"empty at our name", name, Plant::kBytes, "", FileDoubt::kNone, false, OrphanMend::kRemove},
      {"our header alone", name, Plant::kBytes, ours.substr(0, 512), FileDoubt::kNone, true,
       OrphanMend::kRemove},
      {"another second's header alone", name, Plant::kBytes, Tqf("KIR", "Z", 100.0, kT0 + 1, 0),
       FileDoubt::kNone, true, OrphanMend::kLeave},
      {"empty at no name of ours", "KIR/00/notes.txt", Plant::kBytes, "", FileDoubt::kNone, false,
       OrphanMend::kLeave},
      {"an empty staging file", name + ".part", Plant::kBytes, "", FileDoubt::kNone, false,
       OrphanMend::kRemove},
      {"a staging file of ours", name + ".part", Plant::kBytes, ours + "ab", FileDoubt::kNone, true,
       OrphanMend::kRemove},
      {"a staging file of another station", name + ".part", Plant::kBytes,
       Tqf("KUDA", "Z", 100.0, kT0, 10), FileDoubt::kNone, false, OrphanMend::kLeave},
      {"a staging file beside no name of ours", "KIR/00/notes.txt.part", Plant::kBytes, "",
       FileDoubt::kNone, false, OrphanMend::kLeave},
  };
  const RootFolder root_folder(dir.path());
  for (const auto& c : cases) {
    fs::remove_all(dir / "KIR");
    fs::remove_all(elsewhere / "f");
    const fs::path file = dir / c.relative;
    fs::create_directories(file.parent_path());
    const fs::path outside = elsewhere / "f";
    std::error_code ec;
    switch (c.plant) {
      case Plant::kBytes:
        WriteFileBytes(file, c.bytes);
        break;
      case Plant::kNothing:
        break;
      case Plant::kHardLinkOutside:
        WriteFileBytes(outside, c.bytes);
        fs::create_hard_link(outside, file, ec);
        break;
      case Plant::kLink:
        WriteFileBytes(dir / "KIR/elsewhere.KIR", c.bytes);
        fs::create_symlink(dir / "KIR/elsewhere.KIR", file, ec);
        break;
      case Plant::kFolder:
        fs::create_directory(file);
        break;
      case Plant::kPipe:
#ifndef _WIN32
        ASSERT_EQ(mkfifo(file.c_str(), 0600), 0);
#endif
        break;
      case Plant::kLinkedFolder:
        fs::remove(file.parent_path());
        fs::create_directories(outside);
        WriteFileBytes(outside / file.filename(), c.bytes);
        fs::create_directory_symlink(outside, file.parent_path(), ec);
        break;
    }
    if (ec) continue;  // Wine makes no links
#ifdef _WIN32
    if (c.plant == Plant::kPipe) continue;
#endif
    const OwnFileCandidate candidate(root_folder, root, c.relative, FileAccess::kRead);
    EXPECT_EQ(candidate.Doubt(), c.doubt) << c.what;
    EXPECT_EQ(candidate.OursFor("KIR", "Z"), c.ours_for_kir_z) << c.what;
    EXPECT_EQ(JudgeOrphan(candidate, c.relative, "KIR"), c.orphan) << c.what;
    if (c.plant == Plant::kHardLinkOutside) {
      EXPECT_EQ(ReadFileBytes(outside), c.bytes);
    }
  }
}

}  // namespace
}  // namespace korvel
