// Output that continues across runs, end to end through korvel2tqf-cli on the
// real catalogues: the files and rows of several runs are those of one.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <utility>

#include "database/statement.h"
#include "tests/app/conversion_fixture.h"
#include "tests/support/databases/live_database.h"

namespace korvel::test {
namespace {

namespace fs = std::filesystem;

void ExpectSameRows(const std::vector<CatalogueRow>& got, const std::vector<CatalogueRow>& want) {
  ASSERT_EQ(got.size(), want.size());
  for (std::size_t i = 0; i < got.size(); ++i) {
    EXPECT_EQ(got[i].cpath, want[i].cpath);
    EXPECT_EQ(got[i].sta, want[i].sta) << got[i].cpath;
    EXPECT_EQ(got[i].ch, want[i].ch) << got[i].cpath;
    EXPECT_EQ(got[i].tbegin, want[i].tbegin) << got[i].cpath;
    EXPECT_EQ(got[i].tqty, want[i].tqty) << got[i].cpath;  // to the last bit
    EXPECT_EQ(got[i].sps, want[i].sps) << got[i].cpath;
    EXPECT_EQ(got[i].calib, want[i].calib) << got[i].cpath;
    EXPECT_EQ(got[i].calper, want[i].calper) << got[i].cpath;
  }
}

TEST_P(ConversionTest, ThreeRunsThatContinueGiveTheFilesAndRowsOfOne) {
  // 25 minutes each, 16- then 32-bit samples: the hour passes in the third.
  RawFile("KIR", {"Z", "N-S"}, kMarch1, 100.0, 150000).WriteTo(Raw("KIR/a.raw"));
  RawFile("KIR", {"Z", "N-S"}, kMarch1 + 1500.0, 100.0, 150000, 150000, 4)
      .WriteTo(Raw("KIR/b.raw"));
  RawFile("KIR", {"Z", "N-S"}, kMarch1 + 3000.0, 100.0, 150000, 300000).WriteTo(Raw("KIR/c.raw"));
  auto r = Cli({"files", "--station", "KIR", Raw("KIR/a.raw"), Raw("KIR/b.raw"), Raw("KIR/c.raw")});
  ASSERT_EQ(r.exit_status, 0) << r.err;
  const auto one_run = ReadTree(out);
  const auto one_run_rows = Rows();
  ASSERT_EQ(one_run.size(), 4u);  // an hour and 15 minutes of each channel

  fs::remove_all(Out("KIR"));
  db.ExecuteSQL("DELETE FROM FILELIST");
  // By the option, by the option on another command, and by the ini key.
  r = Cli({"files", "--continue", "--station", "KIR", Raw("KIR/a.raw")});
  ASSERT_EQ(r.exit_status, 0) << r.err;
  fs::create_directories(Raw("KIR/only-b"));
  fs::rename(Raw("KIR/b.raw"), Raw("KIR/only-b/b.raw"));
  r = Cli({"dir", "--continue", "--station", "KIR", Raw("KIR/only-b")});
  ASSERT_EQ(r.exit_status, 0) << r.err;
  WriteProgramIni("CONTINUE=1\n");
  r = Cli(
      {"convert", "--station", "KIR", "--start", "00:50:00 01/03/2007", "--length", "00:05:00"});
  ASSERT_EQ(r.out, "Успешно завершена конверсия 1 файлов\n") << r.err;  // c.raw alone
  EXPECT_EQ(ReadTree(out), one_run);
  ExpectSameRows(Rows(), one_run_rows);
  ExpectFilesAgreeWithRows();
}

TEST_P(ConversionTest, WithoutContinuingEachRunBeginsItsOwnFiles) {
  RawFile("KIR", {"Z"}, kMarch1, 100.0, 15000).WriteTo(Raw("KIR/a.raw"));
  RawFile("KIR", {"Z"}, kMarch1 + 150.0, 100.0, 15000, 15000).WriteTo(Raw("KIR/b.raw"));
  ASSERT_EQ(Cli({"files", "--station", "KIR", Raw("KIR/a.raw")}).exit_status, 0);
  const std::string first = ReadFileBytes(Out("KIR/00/01032007-000000-Z.KIR"));
  ASSERT_EQ(Cli({"files", "--station", "KIR", Raw("KIR/b.raw")}).exit_status, 0);
  EXPECT_EQ(ReadFileBytes(Out("KIR/00/01032007-000000-Z.KIR")), first);
  EXPECT_EQ(ReadFileBytes(Out("KIR/00/01032007-000230-Z.KIR")),
            ExpectedTqf("KIR", "Z", 0, 100.0, kMarch1 + 150.0, 15000, 15000));
  EXPECT_EQ(Rows().size(), 2u);
}

// Only a file that is exactly what our row says, at the rate and calibration
// of the samples that follow, is extended; everything else begins anew and
// the file found is left as it was.
TEST_P(ConversionTest, OnlyAnExactFileOfOursAtTheSameRateAndCalibrationIsContinued) {
  RawFile("KIR", {"Z", "N-S", "E-W"}, kMarch1, 100.0, 15000).WriteTo(Raw("KIR/a.raw"));
  const auto all = [](std::vector<std::string> args) {
    for (const char* c : {"KIR:Z", "KIR:N-S", "KIR:E-W"})
      args.insert(args.begin() + 1, {"--channel", c});
    return args;
  };
  ASSERT_EQ(Cli(all({"files", "--station", "KIR", Raw("KIR/a.raw")})).exit_status, 0);
  const std::string z = "KIR/00/01032007-000000-Z.KIR";
  const std::string ns = "KIR/00/01032007-000000-N-S.KIR";
  const std::string ew = "KIR/00/01032007-000000-E-W.KIR";
  fs::resize_file(Out(z), fs::file_size(Out(z)) - 4);                          // cut short
  db.ExecuteSQL("UPDATE FILELIST SET TQTY = 149.0 WHERE CH = 'N-S'");          // the row changed
  db.ExecuteSQL("UPDATE FILELIST SET CREATER = 'DRANOVEX' WHERE CH = 'E-W'");  // not ours
  const auto before = ReadTree(out);
  RawFile("KIR", {"Z", "N-S", "E-W"}, kMarch1 + 150.0, 100.0, 15000, 15000)
      .WriteTo(Raw("KIR/b.raw"));
  const auto r = Cli(all({"files", "--continue", "--station", "KIR", Raw("KIR/b.raw")}));
  EXPECT_EQ(r.exit_status, 0) << r.err;
  for (const std::string& path : {z, ns, ew}) EXPECT_EQ(ReadFileBytes(Out(path)), before.at(path));
  const auto rows = Rows();
  ASSERT_EQ(rows.size(), 6u);
  for (const CatalogueRow& row : rows)
    EXPECT_EQ(row.tqty, row.cpath == ns ? 149.0 : 150.0) << row.cpath;
  for (const char* channel : {"Z", "N-S", "E-W"})
    EXPECT_TRUE(fs::exists(Out("KIR/00/01032007-000230-" + std::string(channel) + ".KIR")));

  // Another rate, then another calibration, continuing in time: new files;
  // the same rate and calibration again: the file goes on.
  db.ExecuteSQL("DELETE FROM FILELIST");
  fs::remove_all(Out("KIR"));
  RawFile("KIR", {"Z"}, kMarch1, 100.0, 15000).WriteTo(Raw("KIR/z.raw"));
  ASSERT_EQ(Cli({"files", "--station", "KIR", Raw("KIR/z.raw")}).exit_status, 0);
  RawFile("KIR", {"Z"}, kMarch1 + 150.0, 50.0, 500).WriteTo(Raw("KIR/c.raw"));
  RawFileBuilder other_calibration = RawFile("KIR", {}, kMarch1 + 160.0, 50.0, 500);
  other_calibration.AddChannel({"Z", 2.5, 1.0}).WriteTo(Raw("KIR/d.raw"));
  RawFileBuilder same_again = RawFile("KIR", {}, kMarch1 + 170.0, 50.0, 500);
  same_again.AddChannel({"Z", 2.5, 1.0}).WriteTo(Raw("KIR/e.raw"));
  for (const char* name : {"c.raw", "d.raw", "e.raw"})
    EXPECT_EQ(Cli({"files", "--continue", "--station", "KIR", Raw(std::string("KIR/") + name)})
                  .exit_status,
              0);
  const auto last = Rows();
  ASSERT_EQ(last.size(), 3u);
  EXPECT_EQ(last[0].cpath, "KIR/00/01032007-000000-Z.KIR");
  EXPECT_EQ(last[0].tqty, 150.0);
  EXPECT_EQ(last[1].cpath, "KIR/00/01032007-000230-Z.KIR");
  EXPECT_EQ(last[1].sps, 50.0);
  EXPECT_EQ(last[1].tqty, 10.0);
  EXPECT_EQ(last[2].cpath, "KIR/00/01032007-000240-Z.KIR");
  EXPECT_EQ(last[2].calib, 2500.0);
  EXPECT_EQ(last[2].tqty, 20.0);
  EXPECT_EQ(fs::file_size(Out(last[2].cpath)), 512u + 4 * 1000);
  ExpectFilesAgreeWithRows();
}

// Every column of every row as the driver gives it in text, LDDATE included.
std::vector<std::vector<std::string>> RowsAsStored(const std::string& dsn) {
  CDatabase reader;
  EXPECT_EQ(reader.OpenEx(TestConnectString(dsn)), CDatabase::OpenResult::Opened);
  CStatement s(reader);
  s.ExecDirect(
      "SELECT STA, CH, CPATH, CREATER, LDDATE, TBEGIN, TQTY, SPS, CALIB, CALPER, GAIN, DATATYPE, "
      "FOFF FROM FILELIST ORDER BY CPATH");
  std::vector<std::vector<std::string>> rows;
  while (s.Fetch()) {
    rows.emplace_back();
    for (int column = 1; column <= 13; ++column)
      rows.back().push_back(s.Get<std::string>(column).value_or("NULL"));
  }
  return rows;
}

// Every file below the root with its bytes and the time it was last written.
std::map<std::string, std::pair<std::string, fs::file_time_type>> FilesAndTimes(
    const std::string& root) {
  std::map<std::string, std::pair<std::string, fs::file_time_type>> files;
  for (const auto& [path, bytes] : ReadTree(root))
    files[path] = {bytes, fs::last_write_time(root + path)};
  return files;
}

// Raw samples whose times the channel's own files hold are not written
// again: the same continuing job run twice leaves every file and row as the
// first run left it, and a raw file that partly overlaps (its clock 3 ms
// late) adds just what is new, continuing the file. Both say what they left.
TEST_P(ConversionTest, AContinuingJobRunAgainWritesOnlyWhatIsNew) {
  RawFile("KIR", {"Z", "N-S"}, kMarch1, 100.0, 150000).WriteTo(Raw("KIR/a.raw"));
  RawFile("KIR", {"Z", "N-S"}, kMarch1 + 1500.0, 100.0, 150000, 150000).WriteTo(Raw("KIR/b.raw"));
  RawFile("KIR", {"Z", "N-S"}, kMarch1 + 750.003, 100.0, 150000, 75000).WriteTo(Raw("KIR/ab.raw"));
  const auto told = [&](const char* raw, const char* held) {
    return "korvel2tqf-cli: " + Raw(raw) + ": already in the archive, not written again: KIR Z " +
           held + ", KIR N-S " + held + "\n";
  };
  const struct {
    const char* what;
    std::vector<std::string> first, again;
    std::string err;
    std::int64_t frames;  // then in the hour's file of each channel
  } cases[] = {
      {"the same job",
       {Raw("KIR/a.raw"), Raw("KIR/b.raw")},
       {Raw("KIR/a.raw"), Raw("KIR/b.raw")},
       told("KIR/a.raw", "150000 samples (1500.00 s)") +
           told("KIR/b.raw", "150000 samples (1500.00 s)"),
       300000},
      {"a raw file that overlaps half",
       {Raw("KIR/a.raw")},
       {Raw("KIR/ab.raw")},
       told("KIR/ab.raw", "75000 samples (750.00 s)"),
       225000},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove_all(Out("KIR"));
    db.ExecuteSQL("DELETE FROM FILELIST");
    std::vector<std::string> args = {"files", "--continue", "--station", "KIR"};
    auto first = args;
    first.insert(first.end(), c.first.begin(), c.first.end());
    ASSERT_EQ(Cli(first).exit_status, 0);
    const auto files = FilesAndTimes(out);
    const auto rows = RowsAsStored(GetParam());
    args.insert(args.end(), c.again.begin(), c.again.end());
    const auto r = Cli(args);
    EXPECT_EQ(r.exit_status, 0) << r.err;
    EXPECT_EQ(r.err, c.err);
    ExpectFilesAgreeWithRows();
    if (c.first == c.again) {
      EXPECT_EQ(FilesAndTimes(out), files);
      EXPECT_EQ(RowsAsStored(GetParam()), rows);
      continue;
    }
    const std::vector<std::string> channels = {"Z", "N-S"};
    for (int ch = 0; ch < 2; ++ch)
      EXPECT_EQ(ReadFileBytes(Out("KIR/00/01032007-000000-" + channels[ch] + ".KIR")),
                ExpectedTqf("KIR", channels[ch], ch, 100.0, kMarch1, 0, c.frames));
    EXPECT_EQ(Rows().size(), 2u);
  }
}

}  // namespace
}  // namespace korvel::test
