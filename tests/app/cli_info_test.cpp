#include <gtest/gtest.h>

#include "tests/support/raw_file_builder.h"
#include "tests/support/run_command.h"
#include "tests/support/temp_dir.h"

namespace korvel {
namespace {

using test::RawFileBuilder;
using test::RunCommand;
using test::TempDir;

TEST(CliInfo, OneTabSeparatedLinePerChannelInUtf8) {
  TempDir dir;
  RawFileBuilder()
      .Station("\xCA\xC8\xD0.01")  // КИР in code page 1251
      .Date(7, 3, 7)
      .TimeOfDay(22320.5)
      .SampleInterval(0.01)
      .Channels({"SH Z", "\xD1\xC2", "Z\nN\t"})  // СВ, and control characters
      .Frames(100)
      .WriteTo(dir / "a.raw");
  RawFileBuilder().Channels({"Z"}).TruncateTo(100).WriteTo(dir / "short.raw");
  RawFileBuilder()
      .Station("KUDA")
      .SampleFormat(32)
      .SampleInterval(0.02)
      .Channels({"Z"})
      .Frames(50)
      .WriteTo(dir / "b.raw");

  const auto r =
      RunCommand("korvel2tqf-cli", {"info", (dir / "a.raw").string(), (dir / "short.raw").string(),
                                    (dir / "missing.raw").string(), (dir / "b.raw").string()});
  EXPECT_EQ(r.exit_status, 0);
  EXPECT_EQ(r.out,
            "КИР\tSH Z\t100.000\t06:12:0.50 07.03.2007\t00:00:1.00\n"
            "КИР\tСВ\t100.000\t06:12:0.50 07.03.2007\t00:00:1.00\n"
            "КИР\tZ\\x0AN\\x09\t100.000\t06:12:0.50 07.03.2007\t00:00:1.00\n"
            "KUDA\tZ\t50.000\t06:12:0.00 07.03.2007\t00:00:1.00\n");
}

TEST(CliInfo, ExitStatusTellsWhetherAnyFileGaveARow) {
  TempDir dir;
  RawFileBuilder().Channels({"Z"}).Date(1, 13, 7).Frames(10).WriteTo(dir / "bad-month.raw");
  const auto none = RunCommand("korvel2tqf-cli", {"info", (dir / "bad-month.raw").string()});
  EXPECT_EQ(none.exit_status, 1);
  EXPECT_EQ(none.out, "");

  EXPECT_EQ(RunCommand("korvel2tqf-cli", {"info"}).exit_status, 2);
  EXPECT_EQ(RunCommand("korvel2tqf-cli", {}).exit_status, 2);
  EXPECT_EQ(RunCommand("korvel2tqf-cli", {"--bogus", "info", "x"}).exit_status, 2);
  const auto help = RunCommand("korvel2tqf-cli", {"--help"});
  EXPECT_EQ(help.exit_status, 0);
  EXPECT_NE(help.out.find("info"), std::string::npos);
  EXPECT_NE(help.out.find("--dsn"), std::string::npos);
  EXPECT_NE(help.out.find("Exit status"), std::string::npos);
}

// The generator writes names as a recorder does, in code page 1251, and says
// what is wrong with a folder it cannot write into.
TEST(CliInfo, TheGeneratorsFilesReadBackWithTheirCyrillicNames) {
  TempDir dir;
  auto r = RunCommand("korvel-rawgen", {"--out", dir.path().string(), "--station", "КИР",
                                        "--channels", "Z,СВ", "--seconds", "2"});
  ASSERT_EQ(r.exit_status, 0) << r.err;
  r = RunCommand("korvel2tqf-cli", {"info", (dir / "КИР-20070301-000000.kor").string()});
  EXPECT_EQ(r.out,
            "КИР\tZ\t100.000\t00:00:0.00 01.03.2007\t00:00:2.00\n"
            "КИР\tСВ\t100.000\t00:00:0.00 01.03.2007\t00:00:2.00\n");
  r = RunCommand("korvel-rawgen", {"--out", (dir / "missing").string()});
  EXPECT_EQ(r.exit_status, 2);
  EXPECT_EQ(r.err, "korvel-rawgen: --out '" + (dir / "missing").string() +
                       "' is no folder; make it first\n");
}

}  // namespace
}  // namespace korvel
