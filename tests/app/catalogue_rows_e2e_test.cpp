// What a conversion leaves in the catalogue on each server: every digit of
// the numbers, before and after the schema upgrade, and another program's
// row of the same path untouched.
#include <gtest/gtest.h>

#include <vector>

#include "database/catalogue_schema.h"
#include "database/statement.h"
#include "tests/app/conversion_fixture.h"
#include "tests/support/databases/live_database.h"

namespace korvel::test {
namespace {

// 2026-09-17 00:00:07.25: a single precision column would store 1789603200.
constexpr EpochSeconds kLateStart = 1789603207.25;
constexpr double kCalibration = 1.2345678901;  // in the raw file; the row holds it times 1000

TEST_P(ConversionTest, CreateTablesConversionAndUpgradeKeepEveryDigit) {
  db.ExecuteSQL("DROP TABLE FILELIST");
  db.ExecuteSQL("DROP TABLE SITECHAN");
  const auto created = Cli({"--dsn", GetParam(), "create-tables"});
  ASSERT_EQ(created.exit_status, 0) << created.err;
  EXPECT_TRUE(LossyFileListColumns(db).empty());

  // Three raw files that chain into one output file.
  std::vector<std::string> files;
  for (int i = 0; i < 3; ++i) {
    files.push_back(Raw("KIR/f" + std::to_string(i) + ".raw"));
    RawFile("KIR", {}, kLateStart + i * 100.0, 100.0, 10000, i * 10000)
        .AddChannel({"Z", kCalibration, 4.0})
        .WriteTo(files.back());
  }
  std::vector<std::string> args = {"files", "--station", "KIR", "--channel", "KIR:Z"};
  args.insert(args.end(), files.begin(), files.end());
  const auto converted = Cli(args);
  ASSERT_EQ(converted.exit_status, 0) << converted.err;

  const auto check = [&](const char* when) {
    const auto rows = Rows();
    ASSERT_EQ(rows.size(), 1u) << when;
    EXPECT_EQ(rows[0].cpath, "KIR/00/17092026-000007-Z.KIR") << when;
    EXPECT_NEAR(rows[0].tbegin, kLateStart, 1e-6) << when;
    EXPECT_EQ(rows[0].tqty, 300.0) << when;
    EXPECT_EQ(rows[0].sps, 100.0) << when;
    // SQLite's driver reads a double back through fifteen digits of text.
    EXPECT_NEAR(rows[0].calib.value_or(0), 1234.5678901, 1e-9) << when;
    EXPECT_EQ(rows[0].calper, 0.25) << when;
  };
  check("after the conversion");

  // The upgrade declares LCODE, CALPER, CALIB, FOFF and TEND again in the
  // server's own dialect; on MySQL and MariaDB a FLOAT there would cut CALIB
  // to seven digits.
  const auto upgraded = Cli({"--dsn", GetParam(), "upgrade-schema"});
  EXPECT_EQ(upgraded.exit_status, 0) << upgraded.err;
  EXPECT_EQ(upgraded.err, "");
  EXPECT_EQ(upgraded.out, "FILELIST: all five columns are in place\n");
  EXPECT_TRUE(LossyFileListColumns(db).empty());
  check("after the upgrade");
}

TEST_P(ConversionTest, AnotherProgramsRowOfOurPathKeepsItsValues) {
  if (!db.IsSqlite()) GTEST_SKIP() << "the other program is an SQLite trigger";
  // As soon as our row is in, another program catalogues the same path.
  db.ExecuteSQL(
      "CREATE TRIGGER OTHER_PROGRAM AFTER INSERT ON FILELIST WHEN NEW.CREATER = 'korvel2TQF' BEGIN "
      "INSERT INTO FILELIST (STA, CPATH, CH, CREATER, CALIB, TQTY) "
      "VALUES (NEW.STA, NEW.CPATH, 'OTHER', 'SEISMO', 42.5, 1); END");
  for (int i = 0; i < 3; ++i)
    RawFile("KIR", {"Z"}, kMarch1 + i * 100.0, 100.0, 10000, i * 10000)
        .WriteTo(Raw("KIR/f" + std::to_string(i) + ".raw"));
  const auto r = Cli({"convert", "--station", "KIR", "--all-times"});
  ASSERT_EQ(r.exit_status, 0) << r.err;

  CStatement s(db);
  s.ExecDirect("SELECT CREATER, CH, CALIB, TQTY, CPATH FROM FILELIST ORDER BY CREATER");
  ASSERT_TRUE(s.Fetch());
  EXPECT_EQ(s.Get<std::string>(1), "SEISMO");
  EXPECT_EQ(s.Get<std::string>(2), "OTHER");
  EXPECT_EQ(s.Get<double>(3), 42.5);
  EXPECT_EQ(s.Get<double>(4), 1.0);
  const auto path = s.Get<std::string>(5);
  ASSERT_TRUE(s.Fetch());
  EXPECT_EQ(s.Get<std::string>(1), "korvel2TQF");
  EXPECT_EQ(s.Get<std::string>(2), "Z");
  EXPECT_EQ(s.Get<double>(3), 1000.0);
  EXPECT_EQ(s.Get<double>(4), 300.0);
  EXPECT_EQ(s.Get<std::string>(5), path);
  EXPECT_FALSE(s.Fetch());
}

}  // namespace
}  // namespace korvel::test
