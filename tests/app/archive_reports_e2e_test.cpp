// korvel2tqf-cli coverage and verify on the real catalogues: crafted rows,
// planted problems, the lines printed, the exit statuses, and what --fix
// changes (our rows only, and only files that are provably ours).
#include <gtest/gtest.h>
#include <signal.h>

#include <filesystem>
#include <map>

#include "database/statement.h"
#include "engine/output_writer.h"
#include "engine/tqf_file.h"
#include "platform/file_lock.h"
#include "platform/native_path.h"
#include "platform/number_text.h"
#include "tests/app/conversion_fixture.h"
#include "tests/support/databases/live_database.h"

#ifdef KORVEL_TESTS_HAVE_QT_XML
#include <QFile>
#include <QXmlStreamReader>
#endif

namespace korvel::test {
namespace {

namespace fs = std::filesystem;

// Every row as one line of text, in path and creator order.
std::vector<std::string> RowTexts(CDatabase& db) {
  CStatement s(db);
  s.ExecDirect(
      "SELECT CPATH, CREATER, STA, CH, TBEGIN, TQTY, SPS, CALIB FROM FILELIST ORDER BY CPATH, "
      "CREATER");
  std::vector<std::string> rows;
  while (s.Fetch()) {
    std::string line;
    for (int c = 1; c <= 4; ++c) line += s.Get<std::string>(c).value_or("NULL") + " ";
    for (int c = 5; c <= 8; ++c) {
      const auto v = s.Get<double>(c);
      line += v ? FixedNumber(*v, 6) + " " : "NULL ";
    }
    rows.push_back(line);
  }
  return rows;
}

constexpr const char* kHourStart = "00:00:00 01/03/2007";

TEST_P(ConversionTest, CoverageReportsGapsAndOverlapsOfEveryCreator) {
  // KIR Z: our file, another program's over its end, and ours again after a
  // jitter of half a sample; nothing at either edge of the hour.
  InsertFileRow(db, "KIR", "Z", "KIR/00/a", kMarch1 + 300, 900, 100, "korvel2TQF");
  InsertFileRow(db, "KIR", "Z", "KIR/00/b", kMarch1 + 900, 1500, 100, "DRANOVEX");
  InsertFileRow(db, "KIR", "Z", "KIR/00/c", kMarch1 + 2400.004, 900, 100, "korvel2TQF");
  // KIR N-S: a gap inside; KIR E-W: whole; KUDA: nothing at all.
  InsertFileRow(db, "KIR", "N-S", "KIR/00/d", kMarch1, 1800, 100, "korvel2TQF");
  InsertFileRow(db, "KIR", "N-S", "KIR/00/e", kMarch1 + 2100, 1500, 100, "korvel2TQF");
  InsertFileRow(db, "KIR", "E-W", "KIR/00/f", kMarch1, 3600, 100, "korvel2TQF");
  const fs::path svg = sandbox.path() / "coverage.svg";
  auto r = Cli({"coverage", "--start", kHourStart, "--length", "01:00:00", "--svg", svg.string()});
  EXPECT_EQ(r.exit_status, 1) << r.err;
  EXPECT_EQ(r.out,
            "KIR\tE-W\tcoverage\t100.0\t1\n"
            "KIR\tN-S\tgap\t2007-03-01T00:30:00.00\t2007-03-01T00:35:00.00\t300.00\n"
            "KIR\tN-S\tcoverage\t91.6\t2\n"
            "KIR\tZ\tgap\t2007-03-01T00:00:00.00\t2007-03-01T00:05:00.00\t300.00\n"
            "KIR\tZ\toverlap\t2007-03-01T00:15:00.00\t2007-03-01T00:20:00.00\t300.00\n"
            "KIR\tZ\tgap\t2007-03-01T00:55:00.00\t2007-03-01T01:00:00.00\t300.00\n"
            "KIR\tZ\tcoverage\t83.3\t3\n"
            "KUDA\t\tgap\t2007-03-01T00:00:00.00\t2007-03-01T01:00:00.00\t3600.00\n"
            "KUDA\t\tcoverage\t0.0\t0\n");
  EXPECT_TRUE(r.err.empty()) << r.err;

  // The picture: a document of its own with a red box per gap and an
  // orange one per overlap (and one of each in the legend).
  const std::string picture = ReadFileBytes(svg);
  EXPECT_EQ(picture.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<svg ", 0), 0u);
#ifdef KORVEL_TESTS_HAVE_QT_XML
  QFile file(QString::fromStdString(svg.string()));
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  QXmlStreamReader xml(&file);
  std::map<QString, int> fills;
  QStringList texts;
  QString root;
  while (!xml.atEnd()) {
    if (!xml.readNext() || !xml.isStartElement()) continue;
    if (root.isEmpty()) root = xml.namespaceUri().toString() + " " + xml.name().toString();
    if (xml.name() == u"rect") ++fills[xml.attributes().value(QStringLiteral("fill")).toString()];
    if (xml.name() == u"text") texts << xml.readElementText();
  }
  EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
  EXPECT_EQ(root, "http://www.w3.org/2000/svg svg");
  EXPECT_EQ(fills["#D62728"], 1 + 4);
  EXPECT_EQ(fills["#FF9F1A"], 1 + 1);
  for (const char* label :
       {"KIR  E-W", "KIR  N-S", "KIR  Z", "KUDA", "91.6%", "00:00", "00:30", "01:00", "01.03.2007"})
    EXPECT_TRUE(texts.contains(QString::fromUtf8(label))) << label;
#endif

  // Nothing missing: 0; one station and the whole time of its files.
  InsertFileRow(db, "KUDA", "Z", "KUDA/00/g", kMarch1, 3600, 50, "DRANOVEX");
  r = Cli({"coverage", "--station", "KUDA", "--start", kHourStart, "--length", "01:00:00"});
  EXPECT_EQ(r.exit_status, 0) << r.err;
  EXPECT_EQ(r.out, "KUDA\tZ\tcoverage\t100.0\t1\n");
  r = Cli({"coverage", "--station", "KIR", "--all-times"});
  EXPECT_EQ(r.exit_status, 1);
  EXPECT_NE(r.out.find("KIR\tZ\tgap\t2007-03-01T00:00:00.00\t2007-03-01T00:05:00.00\t300.00\n"),
            std::string::npos)
      << r.out;  // from the first start of the station's files, KIR N-S's
  // The saved window of korvel2tqf.ini: 00:00:00 01/03/2007 and an hour.
  EXPECT_EQ(
      Cli({"coverage", "--station", "KIR"}).out,
      Cli({"coverage", "--station", "KIR", "--start", kHourStart, "--length", "01:00:00"}).out);

  // Usage, a time that is none, and no connection.
  EXPECT_EQ(Cli({"coverage", "--length", "01:00:00", "--all-times"}).exit_status, 2);
  EXPECT_EQ(Cli({"coverage", "--start", "25:00:00 01/03/2007"}).exit_status, 2);
  EXPECT_EQ(Cli({"--dsn", "NO_SUCH_SOURCE", "coverage"}).exit_status, 3);
  EXPECT_EQ(
      Cli({"coverage", "--svg", (sandbox.path() / "no/such/folder.svg").string()}).exit_status, 5);
}

// An archive with a problem of every kind planted: those of our rows that
// --fix may mend at KIR, the rest (a changed header, another program's
// rows, a file of no one's) at KUDA.
TEST_P(ConversionTest, VerifyFindsEachProblemAndFixesOnlyOurOwnRows) {
  RawFile("KIR", {"Z", "N-S"}, kMarch1, 100.0, 10000).WriteTo(Raw("KIR/a.raw"));
  RawFile("KIR", {"Z", "N-S"}, kMarch1 + 1000.0, 100.0, 10000).WriteTo(Raw("KIR/b.raw"));
  RawFile("KIR", {"Z", "N-S"}, kMarch1 + 2000.0, 100.0, 10000).WriteTo(Raw("KIR/c.raw"));
  RawFile("KUDA", {"Z"}, kMarch1, 50.0, 5000).WriteTo(Raw("KUDA/k.raw"));
  ASSERT_EQ(Cli({"convert", "--all-times"}).exit_status, 0);
  ASSERT_EQ(Cli({"verify"}).out, "problems\t0\n");
  // Longer than its row, as a converter killed before its row caught up leaves it.
  const std::string long_file = Out("KIR/00/01032007-003320-Z.KIR");
  const std::string as_its_row_says = ReadFileBytes(long_file);
  WriteFileBytes(long_file, as_its_row_says + std::string(4 * 5000, '\x01'));

  fs::remove(Out("KIR/00/01032007-001640-Z.KIR"));                         // deleted
  fs::resize_file(Out("KIR/00/01032007-000000-N-S.KIR"), 512 + 4 * 9000);  // cut short
  db.ExecuteSQL("DELETE FROM FILELIST WHERE CPATH = 'KIR/00/01032007-001640-N-S.KIR'");  // orphan
  std::string kuda = ReadFileBytes(Out("KUDA/00/01032007-000000-Z.KUDA"));
  kuda[kuda.find("Station=KUDA") + 8] = 'X';  // a changed header byte
  WriteFileBytes(Out("KUDA/00/01032007-000000-Z.KUDA"), kuda);
  // Another program's rows: one names a missing file, one a short file, one
  // a good one; and a file of no one's.
  fs::create_directories(Out("KUDA/04"));
  const TqfHeader header = BuildHeader("KUDA", "Z", 50.0, kMarch1 + 4 * 3600);
  WriteFileBytes(Out("KUDA/04/short.KUDA"), std::string(header.data(), 512) + std::string(400, 0));
  WriteFileBytes(Out("KUDA/04/good.KUDA"), std::string(header.data(), 512) + std::string(2000, 0));
  WriteFileBytes(Out("KUDA/00/stray.dat"), "not a TQF file");
  InsertFileRow(db, "KUDA", "Z", "KUDA/03/gone.KUDA", kMarch1 + 3 * 3600, 10, 50, "DRANOVEX");
  InsertFileRow(db, "KUDA", "Z", "KUDA/04/short.KUDA", kMarch1 + 4 * 3600, 10, 50, "DRANOVEX");
  InsertFileRow(db, "KUDA", "Z", "KUDA/04/good.KUDA", kMarch1 + 4 * 3600 + 0.5, 10, 50, "DRANOVEX");
  // A file in KUDA's folder that another station's row names: no orphan.
  WriteFileBytes(Out("KUDA/04/named.KUDA"), std::string(header.data(), 512) + std::string(2000, 0));
  InsertFileRow(db, "OTHER", "Z", "KUDA/04/named.KUDA", kMarch1 + 4 * 3600, 10, 50, "DRANOVEX");
  // A row that names no file below the output root is not the archive's.
  InsertFileRow(db, "KUDA", "Z", "/elsewhere/x.KUDA", kMarch1, 10, 50, "DRANOVEX");

  const std::string kir_lines =
      "length\tKIR\tN-S\tKIR/00/01032007-000000-N-S.KIR\tkorvel2TQF\t10000\t9000";
  const std::string kir_missing = "missing\tKIR\tZ\tKIR/00/01032007-001640-Z.KIR\tkorvel2TQF";
  const std::string kir_long =
      "length\tKIR\tZ\tKIR/00/01032007-003320-Z.KIR\tkorvel2TQF\t10000\t15000";
  const std::string kir_orphan = "orphan\tKIR\tN-S\tKIR/00/01032007-001640-N-S.KIR\t";
  const std::string kuda_lines =
      "header\tKUDA\tZ\tKUDA/00/01032007-000000-Z.KUDA\tkorvel2TQF\tStation\tKUDA\tXUDA\n"
      "missing\tKUDA\tZ\tKUDA/03/gone.KUDA\tDRANOVEX\n"
      "length\tKUDA\tZ\tKUDA/04/short.KUDA\tDRANOVEX\t500\t100\n"
      "orphan\tKUDA\t\tKUDA/00/stray.dat\t\n";
  auto r = Cli({"verify"});
  EXPECT_EQ(r.exit_status, 1) << r.err;
  EXPECT_EQ(r.out, kir_lines + "\n" + kir_missing + "\n" + kir_long + "\n" + kir_orphan + "\n" +
                       kuda_lines + "problems\t8\n");

  auto files = ReadTree(out);
  const auto rows = RowTexts(db);
  r = Cli({"verify", "--fix"});
  EXPECT_EQ(r.exit_status, 1) << r.err;
  std::string left = kuda_lines;
  for (std::size_t at = left.find('\n'); at != std::string::npos; at = left.find('\n', at + 6))
    left.replace(at, 1, "\tleft\n");
  EXPECT_EQ(r.out, kir_lines + "\ttqty=90.000000\n" + kir_missing + "\tdeleted\n" + kir_long +
                       "\tcut to 10000\n" + kir_orphan + "\tregistered\n" + left +
                       "problems\t8\nfixed\t4\n");
  // Only our file that was longer than its row changed: back to what its row says.
  files[fs::path("KIR/00/01032007-003320-Z.KIR").string()] = as_its_row_says;
  EXPECT_EQ(ReadTree(out), files);

  // Our KIR rows tell the truth now; everything at KUDA is as it was.
  r = Cli({"verify", "--station", "KIR"});
  EXPECT_EQ(r.exit_status, 0) << r.out;
  EXPECT_EQ(r.out, "problems\t0\n");
  r = Cli({"verify"});
  EXPECT_EQ(r.exit_status, 1);
  EXPECT_EQ(r.out, kuda_lines + "problems\t4\n");
  std::vector<std::string> kuda_before, kuda_after;
  for (const std::string& row : rows)
    if (row.rfind("KIR/", 0) != 0) kuda_before.push_back(row);
  for (const std::string& row : RowTexts(db))
    if (row.rfind("KIR/", 0) != 0) kuda_after.push_back(row);
  EXPECT_EQ(kuda_after, kuda_before);
  std::vector<CatalogueRow> kir;
  for (const CatalogueRow& row : Rows())
    if (row.cpath.rfind("KIR/", 0) == 0) kir.push_back(row);
  ASSERT_EQ(kir.size(), 5u);
  EXPECT_EQ(kir[0].cpath, "KIR/00/01032007-000000-N-S.KIR");
  EXPECT_EQ(kir[0].tqty, 90.0);
  EXPECT_EQ(kir[2].cpath, "KIR/00/01032007-001640-N-S.KIR");  // registered, uncalibrated
  EXPECT_EQ(kir[2].tbegin, kMarch1 + 1000.0);
  EXPECT_EQ(kir[2].tqty, 100.0);
  EXPECT_EQ(kir[2].sps, 100.0);
  EXPECT_FALSE(kir[2].calib);
  EXPECT_EQ(kir[1].cpath, "KIR/00/01032007-000000-Z.KIR");  // the missing file's row is gone
  EXPECT_EQ(kir[4].cpath, "KIR/00/01032007-003320-Z.KIR");  // its row kept, its file cut
  EXPECT_EQ(kir[4].tqty, 100.0);

  sandbox.WriteTqfIni("[DATABASE]\nODBC=" + GetParam() + "\n");  // no output root
  r = Cli({"verify"});
  EXPECT_EQ(r.exit_status, 5);
  EXPECT_EQ(r.err,
            "KORVEL->TQF: Не задан каталог для файлов TQF (tqf.ini, раздел DATA, ключ DIR)\n"
            "korvel2tqf-cli: error: tqf.ini was read at " +
                (sandbox.path() / "tqf.ini").string() +
                ": it has no [DATA] DIR= naming the output root\n");
}

// While another converter holds the station, its rows lag its files: --fix
// reports what it finds and mends nothing there.
TEST_P(ConversionTest, VerifyMendsNothingWhileAConverterHoldsTheStation) {
  RawFile("KIR", {"Z"}, kMarch1, 100.0, 1000).WriteTo(Raw("KIR/a.raw"));
  ASSERT_EQ(Cli({"files", "--station", "KIR", Raw("KIR/a.raw")}).exit_status, 0);
  fs::remove(Out("KIR/00/01032007-000000-Z.KIR"));
  const std::string missing = "missing\tKIR\tZ\tKIR/00/01032007-000000-Z.KIR\tkorvel2TQF";
  {
    FileLock held;
    ASSERT_EQ(held.Acquire(Out("KIR") + "/" + kStationLockFile, 0), FileLock::Result::kLocked);
    const auto r = Cli({"verify", "--station", "KIR", "--fix"});
    EXPECT_EQ(r.exit_status, 6);
    EXPECT_EQ(r.err, "KORVEL->TQF: Станция KIR уже конвертируется другой программой\n");
    EXPECT_EQ(r.out, missing + "\tleft\nproblems\t1\nfixed\t0\n");
  }
  auto r = Cli({"verify", "--station", "KIR", "--fix"});
  EXPECT_EQ(r.exit_status, 1) << r.err;
  EXPECT_EQ(r.out, missing + "\tdeleted\nproblems\t1\nfixed\t1\n");
  r = Cli({"verify", "--station", "KIR"});
  EXPECT_EQ(r.out, "problems\t0\n");  // the lock file is no orphan
  EXPECT_EQ(r.exit_status, 0);
}

// A row of ours may name anything that was put at its path since: --fix
// changes only a file that is provably ours. Each thing planted here is
// reported, left as it is, and so is its row; nothing outside the output
// root changes through a second name or a link.
TEST_P(ConversionTest, VerifyFixChangesOnlyFilesThatAreProvablyOurs) {
  RawFile("KIR", {"Z"}, kMarch1, 100.0, 1000).WriteTo(Raw("KIR/a.raw"));
  ASSERT_EQ(Cli({"files", "--station", "KIR", Raw("KIR/a.raw")}).exit_status, 0);
  const std::string name = Out("KIR/00/01032007-000000-Z.KIR");
  const std::string ours = ReadFileBytes(name);
  const fs::path outside = sandbox.path() / "outside.dat";
  const TqfHeader kuda = BuildHeader("KUDA", "Z", 100.0, kMarch1);
  enum class Plant { kBytes, kSecondNameOfOutside, kLinkToOutside };
  const struct {
    const char* what;
    Plant plant;
    std::string bytes;  // longer than the row says: a cut; shorter: a new TQTY
  } cases[] = {
      {"random bytes, longer", Plant::kBytes, std::string(ours.size() + 400, '\x5A')},
      {"random bytes, shorter", Plant::kBytes, std::string(ours.size() - 400, '\x5A')},
      {"another station's file", Plant::kBytes,
       std::string(kuda.data(), kuda.size()) + ours.substr(512) + std::string(400, '\0')},
      {"a second name of a file outside", Plant::kSecondNameOfOutside, ours + std::string(400, 1)},
      {"a link to a file outside", Plant::kLinkToOutside, ours.substr(0, ours.size() - 400)},
  };
  const auto rows = RowTexts(db);
  for (const auto& c : cases) {
    fs::remove(name);
    if (c.plant == Plant::kBytes) {
      WriteFileBytes(name, c.bytes);
    } else {
      WriteFileBytes(outside, c.bytes);
      if (c.plant == Plant::kSecondNameOfOutside)
        fs::create_hard_link(outside, name);
      else
        fs::create_symlink(outside, name);
    }
    const auto files = ReadTree(out);
    const auto r = Cli({"verify", "--station", "KIR", "--fix"});
    EXPECT_EQ(r.exit_status, 1) << c.what << "\n" << r.err;
    EXPECT_NE(r.out.find("\tKIR/00/01032007-000000-Z.KIR\tkorvel2TQF\t"), std::string::npos)
        << c.what << "\n"
        << r.out;
    for (std::size_t at = 0, end; (end = r.out.find('\n', at)) != std::string::npos; at = end + 1) {
      const std::string line = r.out.substr(at, end - at);
      if (line.rfind("problems\t", 0) != 0 && line.rfind("fixed\t", 0) != 0) {
        EXPECT_TRUE(line.ends_with("\tleft")) << c.what << ": " << line;
      }
    }
    EXPECT_NE(r.out.find("\nfixed\t0\n"), std::string::npos) << c.what << "\n" << r.out;
    EXPECT_EQ(ReadTree(out), files) << c.what;
    EXPECT_EQ(RowTexts(db), rows) << c.what;
    if (c.plant != Plant::kBytes) {
      EXPECT_EQ(ReadFileBytes(outside), c.bytes) << c.what;
    }
  }
}

// What a run killed as it made a file leaves at our names, with no row: an
// empty file, our header alone, a staging file beside a name of ours. --fix
// removes them under the station's lock, and verify is clean; anything that
// is not provably such is left.
TEST_P(ConversionTest, VerifyFixRemovesWhatARunKilledAsItMadeAFileLeft) {
  RawFile("KIR", {"Z"}, kMarch1, 100.0, 1000).WriteTo(Raw("KIR/a.raw"));
  ASSERT_EQ(Cli({"files", "--station", "KIR", Raw("KIR/a.raw")}).exit_status, 0);
  const TqfHeader header = BuildHeader("KIR", "N-S", 100.0, kMarch1 + 10);
  const TqfHeader kuda = BuildHeader("KUDA", "Z", 100.0, kMarch1 + 30);
  const fs::path outside = sandbox.path() / "outside.dat";
  WriteFileBytes(outside, "");
  const struct {
    std::string relative;
    std::string bytes;
    std::string header_names;  // station and channel columns
    bool removed;
  } cases[] = {
      {"KIR/00/01032007-000000-Z.KIR.part", ReadFileBytes(Out("KIR/00/01032007-000000-Z.KIR")),
       "KIR\tZ", true},
      {"KIR/00/01032007-000010-N-S.KIR", std::string(header.data(), 512), "KIR\tN-S", true},
      {"KIR/00/01032007-000020-E-W.KIR", "", "KIR\t", true},
      {"KIR/00/01032007-000020-E-W.KIR.part", "", "KIR\t", true},
      {"KIR/00/01032007-000030-Z.KIR", std::string(kuda.data(), 512), "KUDA\tZ", false},
      {"KIR/00/01032007-000040-Z.KIR", "", "KIR\t", false},  // a second name of `outside`
      {"KIR/00/notes.txt", "", "KIR\t", false},
  };
  fs::create_hard_link(outside, Out("KIR/00/01032007-000040-Z.KIR"));
  for (const auto& c : cases)
    if (!fs::exists(Out(c.relative))) WriteFileBytes(Out(c.relative), c.bytes);
  const auto files = ReadTree(out);
  const auto rows = RowTexts(db);

  // Without the station's lock a converter may be on its way: all is left.
  WriteProgramIni("LOCK=0\n");
  auto r = Cli({"verify", "--station", "KIR", "--fix"});
  EXPECT_EQ(r.exit_status, 1) << r.err;
  std::string expected;
  for (const auto& c : cases)
    expected += "orphan\t" + c.header_names + "\t" + c.relative + "\t\tleft\n";
  EXPECT_EQ(r.out, expected + "problems\t7\nfixed\t0\n");
  EXPECT_EQ(ReadTree(out), files);

  WriteProgramIni();
  r = Cli({"verify", "--station", "KIR", "--fix"});
  EXPECT_EQ(r.exit_status, 1) << r.err;
  expected.clear();
  auto left = files;
  for (const auto& c : cases) {
    expected += "orphan\t" + c.header_names + "\t" + c.relative + "\t\t" +
                (c.removed ? "removed" : "left") + "\n";
    if (c.removed) left.erase(c.relative);
  }
  EXPECT_EQ(r.out, expected + "problems\t7\nfixed\t4\n");
  EXPECT_EQ(ReadTree(out), left);
  EXPECT_EQ(RowTexts(db), rows);
  EXPECT_EQ(fs::hard_link_count(outside), 2u);

  for (const auto& c : cases)
    if (!c.removed) fs::remove(Out(c.relative));
  r = Cli({"verify", "--station", "KIR"});
  EXPECT_EQ(r.exit_status, 0) << r.out;
  EXPECT_EQ(r.out, "problems\t0\n");
}

// A conversion killed right as it makes a file (strace kills it as the
// file's first or second write begins): --fix leaves an archive that verify
// finds clean, and the same conversion again gives what a clean run gives.
TEST_P(ConversionTest, VerifyFixMendsAConversionKilledAsItMadeAFile) {
  const std::string strace = "/usr/bin/strace";
  if (!fs::exists(strace) || RunCommand(strace, {"-o", "/dev/null", "true"}).exit_status != 0)
    GTEST_SKIP() << "*** no strace that may trace here: a kill as a file is made untested ***";
  RawFile("KIR", {"Z"}, kMarch1, 100.0, 1000).WriteTo(Raw("KIR/a.raw"));
  const std::vector<std::string> convert = {"files", "--station", "KIR", Raw("KIR/a.raw")};
  const std::string name = Out("KIR/00/01032007-000000-Z.KIR");
  const std::string whole = ExpectedTqf("KIR", "Z", 0, 100.0, kMarch1, 0, 1000);
  const struct {
    const char* what;
    bool converted_before;  // the kill comes in a re-conversion, at the staging file
    int write;              // the file's write that the kill comes at
    std::uintmax_t left_size;
  } cases[] = {
      {"as the file was made", false, 1, 0},
      {"after its header", false, 2, 512},
      {"as the staging file was made", true, 1, 0},
  };
  for (const auto& c : cases) {
    db.ExecuteSQL("DELETE FROM FILELIST");
    fs::remove_all(out);
    fs::create_directories(out);
    if (c.converted_before) {
      ASSERT_EQ(Cli(convert).exit_status, 0) << c.what;
    }
    const std::string target = c.converted_before ? StagedTqfPath(name) : name;
    std::vector<std::string> args = {"-f",
                                     "-qq",
                                     "-o",
                                     "/dev/null",
                                     "-P",
                                     target,
                                     "-e",
                                     "trace=write",
                                     "-e",
                                     "inject=write:signal=KILL:when=" + std::to_string(c.write),
                                     BinDir() + "/korvel2tqf-cli"};
    args.insert(args.end(), convert.begin(), convert.end());
    const auto killed = RunCommand(strace, args);
    EXPECT_EQ(killed.exit_status, 128 + SIGKILL) << c.what << "\n" << killed.err;
    ASSERT_TRUE(fs::exists(target)) << c.what;
    EXPECT_EQ(fs::file_size(target), c.left_size) << c.what;
    EXPECT_EQ(Cli({"verify", "--station", "KIR"}).exit_status, 1) << c.what;
    auto r = Cli({"verify", "--station", "KIR", "--fix"});
    EXPECT_NE(r.out.find("\t" + CataloguePathText(fs::relative(target, out)) + "\t\tremoved\n"),
              std::string::npos)
        << c.what << "\n"
        << r.out;
    r = Cli({"verify", "--station", "KIR"});
    EXPECT_EQ(r.out, "problems\t0\n") << c.what;
    EXPECT_EQ(r.exit_status, 0) << c.what;
    ExpectFilesAgreeWithRows();
    EXPECT_EQ(Cli(convert).exit_status, 0) << c.what;
    EXPECT_EQ(ReadFileBytes(name), whole) << c.what;
    ExpectFilesAgreeWithRows();
  }
}

}  // namespace
}  // namespace korvel::test
