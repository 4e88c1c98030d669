// Conversions end to end through korvel2tqf-cli: files byte for byte, rows
// read back from the real catalogue.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "platform/text1251.h"
#include "tests/app/conversion_fixture.h"
#include "tests/support/databases/live_database.h"

namespace korvel::test {
namespace {

namespace fs = std::filesystem;

TEST_P(ConversionTest, AnHourAtOneHundredSamplesPerSecondIsOneFile) {
  RawFile("KIR", {"Z", "N-S"}, kMarch1, 100.0, 360000).WriteTo(Raw("KIR/a.raw"));
  RawFile("KIR", {"Z", "N-S"}, kMarch1 + 3600.0, 100.0, 1000, 360000).WriteTo(Raw("KIR/b.raw"));
  const auto r =
      Cli({"files", "--station", "KIR", "--channel", "KIR:Z", Raw("KIR/a.raw"), Raw("KIR/b.raw")});
  EXPECT_EQ(r.exit_status, 0) << r.err;
  EXPECT_EQ(r.out, "Успешно завершена конверсия 2 файлов\n");
  EXPECT_EQ(ReadFileBytes(Out("KIR/00/01032007-000000-Z.KIR")),
            ExpectedTqf("KIR", "Z", 0, 100.0, kMarch1, 0, 360000));
  // The continuing raw file begins a new output file.
  EXPECT_EQ(ReadFileBytes(Out("KIR/01/01032007-010000-Z.KIR")),
            ExpectedTqf("KIR", "Z", 0, 100.0, kMarch1 + 3600.0, 360000, 1000));
  const auto rows = Rows();
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].cpath, "KIR/00/01032007-000000-Z.KIR");
  EXPECT_EQ(rows[0].tqty, 3600.0);
  EXPECT_EQ(rows[0].tbegin, kMarch1);
  EXPECT_EQ(rows[0].calib, 1000.0);
  EXPECT_EQ(rows[0].calper, 1.0);
  EXPECT_EQ(rows[1].tqty, 10.0);
  EXPECT_FALSE(fs::exists(Out("KIR/00/01032007-000000-N-S.KIR")));  // not ticked
}

TEST_P(ConversionTest, RawFilesChainAcrossARunInNameOrder) {
  // Written last-first, so that the directory's own order is not time order.
  RawFile("KIR", {"Z"}, kMarch1 + 200.0 + 0.5, 100.0, 5000, 30000)
      .WriteTo(Raw("KIR/k3.raw"));  // 50 intervals late
  RawFile("KIR", {"Z"}, kMarch1 + 100.0 + 0.01, 100.0, 10000, 20000)
      .WriteTo(Raw("KIR/k2.raw"));  // one interval late
  RawFile("KIR", {"Z"}, kMarch1, 100.0, 10000).WriteTo(Raw("KIR/k1.raw"));
  RawFile("KIR", {"Z"}, kMarch1 + 1000.0, 100.0, 100)
      .WriteTo(Raw("KIR/K0.raw"));  // case-insensitive order: first
  const auto r = Cli({"convert", "--station", "KIR", "--all-times"});
  EXPECT_EQ(r.exit_status, 0) << r.err;
  EXPECT_EQ(r.out, "Успешно завершена конверсия 4 файлов\n");
  const auto rows = Rows();
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0].cpath, "KIR/00/01032007-000000-Z.KIR");
  EXPECT_DOUBLE_EQ(rows[0].tqty, 200.0);
  EXPECT_EQ(rows[1].cpath, "KIR/00/01032007-000320-Z.KIR");
  EXPECT_EQ(rows[2].cpath, "KIR/00/01032007-001640-Z.KIR");
  EXPECT_EQ(fs::file_size(Out(rows[0].cpath)), 512u + 4 * 20000);
  EXPECT_EQ(fs::file_size(Out(rows[1].cpath)), 512u + 4 * 5000);
}

TEST_P(ConversionTest, OnlyTickedPairsAndUpperCaseStationsConvert) {
  RawFile("kir", {"z", "N-S", "SH Z"}, kMarch1, 100.0, 100).WriteTo(Raw("KIR/a.raw"));
  auto r = Cli({"files", "--station", "KIR", "--channel", "kir:Z", Raw("KIR/a.raw")});
  EXPECT_EQ(r.exit_status, 1);
  EXPECT_NE(r.err.find("Ошибка конверсии файла '" + Raw("KIR/a.raw") + "'"), std::string::npos)
      << r.err;
  EXPECT_TRUE(Rows().empty());
  // Without --channel the window's ticks apply: Z and N-S, never SH Z.
  r = Cli({"files", "--station", "KIR", Raw("KIR/a.raw")});
  EXPECT_EQ(r.exit_status, 0) << r.err;
  const auto rows = Rows();
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].ch, "N-S");
  EXPECT_EQ(rows[1].ch, "Z");
  r = Cli({"files", "--station", "KIR", "--channel", "KIR:SH Z", Raw("KIR/a.raw")});
  EXPECT_EQ(r.exit_status, 0) << r.err;
  EXPECT_TRUE(fs::exists(Out("KIR/00/01032007-000000-SH%20Z.KIR")));
}

TEST_P(ConversionTest, AnotherRateOrCalibrationStartsAnotherFile) {
  RawFile("KIR", {"Z"}, kMarch1, 100.0, 1000).WriteTo(Raw("KIR/a.raw"));
  RawFile("KIR", {"Z"}, kMarch1 + 10.0, 50.0, 500).WriteTo(Raw("KIR/b.raw"));
  RawFileBuilder c = RawFile("KIR", {}, kMarch1 + 20.0, 50.0, 500);
  c.AddChannel({"Z", 2.5, 4.0}).WriteTo(Raw("KIR/c.raw"));
  const auto r = Cli({"convert", "--station", "KIR", "--all-times"});
  EXPECT_EQ(r.exit_status, 0) << r.err;
  const auto rows = Rows();
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[1].cpath, "KIR/00/01032007-000010-Z.KIR");
  EXPECT_EQ(rows[1].sps, 50.0);
  EXPECT_NE(ReadFileBytes(Out(rows[1].cpath)).find("SpS=50.000000\r\n"), std::string::npos);
  EXPECT_EQ(rows[2].calib, 2500.0);
  EXPECT_EQ(rows[2].calper, 0.25);
}

TEST_P(ConversionTest, AMissingOutputRootIsReportedAndTheRunGoesOn) {
  sandbox.WriteTqfIni("[DATA]\nDIR=" + out + "missing\n[DATABASE]\nODBC=" + GetParam() + "\n");
  RawFile("KIR", {"Z", "N-S"}, kMarch1, 100.0, 15000).WriteTo(Raw("KIR/a.raw"));
  const auto r = Cli({"files", "--station", "KIR", Raw("KIR/a.raw")});
  const std::string z = out + "missing/KIR/00/01032007-000000-Z.KIR";
  // Each channel's first block fails to create, its tail then fails to create
  // a file of its own at the final flush; the other channel is still tried,
  // and its failures, of the same kind, are counted. Each refused create is
  // told once, with the system's reason on the next line. The raw file did
  // not reach the disk, so it is not converted.
  const std::string reason = "'\n  No such file or directory\n";
  EXPECT_EQ(r.err, "korvel2tqf-cli: error: the output root " + out +
                       "missing/ (tqf.ini [DATA] DIR=, read at " +
                       (sandbox.path() / "tqf.ini").string() +
                       ") is no folder: make the folder or correct DIR=\n"
                       "Korvel->TQF: File create error '" +
                       z + reason +
                       "Korvel->TQF: Ещё ошибок того же рода не показано: 3\n"
                       "KORVEL->TQF: Ошибка конверсии файла '" +
                       Raw("KIR/a.raw") + "'\n");
  EXPECT_EQ(r.exit_status, 5);
  EXPECT_TRUE(Rows().empty());
}

TEST_P(ConversionTest, TheTimeWindowSelectsWholeFiles) {
  // Window 01:00:00 + 1 h.
  RawFile("KIR", {"Z"}, kMarch1 + 7200.0, 100.0, 100)
      .WriteTo(Raw("KIR/at-end.raw"));  // begins at its end
  RawFile("KIR", {"Z"}, kMarch1 + 3500.0, 100.0, 10000)
      .WriteTo(Raw("KIR/to-start.raw"));  // ends at its start
  RawFile("KIR", {"Z"}, kMarch1 + 7201.0, 100.0, 100).WriteTo(Raw("KIR/after.raw"));
  fs::create_directories(Raw("KIR/sub"));
  RawFile("KIR", {"Z"}, kMarch1 + 4000.0, 100.0, 100).WriteTo(Raw("KIR/sub/inside.raw"));
  auto r = Cli(
      {"convert", "--station", "KIR", "--start", "01:00:00 01/03/2007", "--length", "01:00:00"});
  EXPECT_EQ(r.out, "Успешно завершена конверсия 1 файлов\n") << r.err;
  auto rows = Rows();
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].cpath, "KIR/02/01032007-020000-Z.KIR");

  WriteProgramIni("SCANDIR=1\n");
  db.ExecuteSQL("DELETE FROM FILELIST");
  r = Cli(
      {"convert", "--station", "KIR", "--start", "01:00:00 01/03/2007", "--length", "01:00:00"});
  EXPECT_EQ(r.out, "Успешно завершена конверсия 2 файлов\n") << r.err;
  // A length of 0 takes every file of the station.
  db.ExecuteSQL("DELETE FROM FILELIST");
  r = Cli(
      {"convert", "--station", "KIR", "--start", "01:00:00 01/03/2007", "--length", "00:00:00"});
  EXPECT_EQ(r.out, "Успешно завершена конверсия 4 файлов\n") << r.err;
  EXPECT_EQ(Cli({"convert", "--station", "KIR", "--start", "01:00:00 41/03/2007"}).exit_status, 2);
}

TEST_P(ConversionTest, TheCommandsSummaries) {
  for (int i = 0; i < 3; ++i)
    RawFile("KIR", {"Z"}, kMarch1 + i * 100.0, 100.0, 100)
        .WriteTo(Raw("KIR/f" + std::to_string(i) + ".raw"));
  RawFile("OTHER", {"Z"}, kMarch1, 100.0, 100).WriteTo(Raw("KUDA/o.raw"));
  auto r = Cli({"convert", "--all-times"});
  EXPECT_EQ(r.out, "Успешно завершена конверсия 3 файлов\n") << r.err;
  EXPECT_EQ(r.exit_status, 0);

  r = Cli({"convert", "--station", "KUDA", "--all-times"});
  EXPECT_EQ(r.err,
            "KORVEL->TQF: В каталогах файла настройки нет файлов для выбраных станций!!!\n"
            "korvel2tqf-cli: error: station KUDA: none of the 1 files in the raw folder " +
                Raw("KUDA/") + " (korvel2tqf.ini [KUDA] DIR=) is a raw file of KUDA\n");
  EXPECT_EQ(r.exit_status, 1);

  // The second file holds no ticked channel: it is named, the third is not tried.
  db.ExecuteSQL("DELETE FROM FILELIST");
  RawFile("KIR", {"X"}, kMarch1, 100.0, 100).WriteTo(Raw("KIR/x.raw"));
  r = Cli({"files", "--station", "KIR", Raw("KIR/f0.raw"), Raw("KIR/x.raw"), Raw("KIR/f2.raw")});
  EXPECT_EQ(r.err, "KORVEL->TQF: Ошибка конверсии файла '" + Raw("KIR/x.raw") + "'\n" +
                       Raw("KIR/x.raw") +
                       ": none of its channels (X) is selected for station KIR: name one with "
                       "--channel KIR:CHANNEL\n");
  EXPECT_EQ(Rows().size(), 1u);

  r = Cli({"dir", "--station", "KIR", Raw("KUDA")});
  EXPECT_EQ(r.err, "KORVEL->TQF: Ошибка конверсии !!!\n В каталоге: " + Raw("KUDA") +
                       " \nнет подходящих файлов для станции: KIR\n");
  r = Cli({"dir", "--station", "KIR", Raw("KIR")});
  EXPECT_EQ(r.out, "Успешно завершена конверсия 3 файлов\n") << r.err;

  // A file of a long name holding no ticked channel (one that cannot be read
  // would be told before the summary).
  RawFile("KIR", {"Z"}, kMarch1, 100.0, 100).WriteTo(Raw(std::string(200, 'p')));
  r = Cli({"files", "--station", "KIR", "--channel", "KIR:Q", Raw(std::string(200, 'p'))});
  // A path too long for the summary loses its beginning; the text keeps to 127 characters.
  const std::string summary = r.err.substr(0, r.err.find('\n') + 1);
  const std::string text = Utf8ToCp1251(summary.substr(13, summary.size() - 14));
  EXPECT_EQ(text.size(), 127u) << r.err;
  EXPECT_EQ(r.err.rfind("KORVEL->TQF: Ошибка конверсии файла '...", 0), 0u) << r.err;
  EXPECT_NE(r.err.find(std::string(50, 'p') + "'\n"), std::string::npos);
  EXPECT_NE(r.err.find(Raw(std::string(200, 'p')) + ": none of its channels (Z) is selected"),
            std::string::npos);
  EXPECT_EQ(r.exit_status, 1);
}

TEST_P(ConversionTest, DamagedRawFilesAreSkippedAndTheGoodOnesConvert) {
  RawFile("KIR", {"Z"}, kMarch1, 100.0, 100).WriteTo(Raw("KIR/a-good.raw"));
  RawFile("KIR", {"Z"}, kMarch1 + 10.0, 100.0, 100)
      .TruncateTo(150)
      .WriteTo(Raw("KIR/b-truncated.raw"));
  RawFile("KIR", {"Z"}, kMarch1, 100.0, 100).ChannelCountField(0).WriteTo(Raw("KIR/c-zero.raw"));
  RawFile("KIR", {"Z"}, kMarch1, 100.0, 100)
      .ChannelCountField(30000)
      .WriteTo(Raw("KIR/d-many.raw"));
  RawFile("KIR", {"Z"}, kMarch1, 100.0, 100).SampleInterval(0.0).WriteTo(Raw("KIR/e-interval.raw"));
  RawFile("KIR", {"Z"}, kMarch1, 100.0, 100).Date(1, 13, 7).WriteTo(Raw("KIR/f-month.raw"));
  WriteFileBytes(Raw("KIR/g-empty.raw"), "");
  RawFile("KIR", {"Z"}, kMarch1, 100.0, 100).WriteTo(Raw("KIR/h-closed.raw"));
  chmod(Raw("KIR/h-closed.raw").c_str(), 0);
  ASSERT_EQ(mkfifo(Raw("KIR/i-fifo.raw").c_str(), 0600), 0);
  fs::create_symlink(Raw("KIR/nowhere"), Raw("KIR/j-dangling.raw"));
  RawFile("KIR", {"Z"}, kMarch1 + 1000.0, 100.0, 100).WriteTo(Raw("KIR/z-good.raw"));
  const auto r = Cli({"convert", "--station", "KIR", "--all-times"});
  // As root the closed file can still be read, and converts too; otherwise
  // it is told as left. The FIFO and the dangling link are no raw files.
  const int expected = geteuid() == 0 ? 3 : 2;
  EXPECT_EQ(r.out, "Успешно завершена конверсия " + std::to_string(expected) + " файлов\n")
      << r.err;
  EXPECT_EQ(r.exit_status, geteuid() == 0 ? 0 : 7);
  EXPECT_TRUE(fs::exists(Out("KIR/00/01032007-000000-Z.KIR")));
  EXPECT_TRUE(fs::exists(Out("KIR/00/01032007-001640-Z.KIR")));
}

INSTANTIATE_TEST_SUITE_P(Drivers, ConversionTest, ::testing::ValuesIn(TestDsns()),
                         [](const auto& info) { return info.param; });
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(ConversionTest);

}  // namespace
}  // namespace korvel::test
