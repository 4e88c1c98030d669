// A MariaDB catalogue whose tables are in a legacy charset (cp1251, latin1):
// a conversion run again replaces its rows instead of adding more, verify
// finds them, and a name the charset cannot hold stops the run with the
// server's reason, never reported as success.
#include <gtest/gtest.h>

#include <filesystem>

#include "database/statement.h"
#include "tests/app/conversion_fixture.h"
#include "tests/support/databases/live_database.h"

namespace korvel::test {
namespace {

namespace fs = std::filesystem;

TEST_P(ConversionTest, ARunAgainOnALegacyCharsetTableKeepsOneRowPerFile) {
  if (db.Kind() != DbmsKind::MySql) GTEST_SKIP() << "charsets per column are MySQL's";
  const struct {
    const char* charset;
    const char* station;      // as the command line and the catalogue write it
    const char* raw_station;  // code page 1251, as the raw header holds it
    bool holds;               // the charset can hold the name
  } cases[] = {{"utf8mb4", "КИР", "\xCA\xC8\xD0", true},
               {"cp1251", "KIR", "KIR", true},
               {"cp1251", "КИР", "\xCA\xC8\xD0", true},
               {"latin1", "KIR", "KIR", true},
               {"latin1", "КИР", "\xCA\xC8\xD0", false}};
  // The stations named in the program's ini: SITECHAN may be unable to hold them.
  sandbox.WriteProgramIni("[SYSTEM]\nNSTA=2\n[STA0]\nNAME=KIR\n[STA1]\nNAME=КИР\n");
  RawFile("KIR", {"Z", "N-S"}, kMarch1, 100.0, 6000).WriteTo(Raw("KIR/a.raw"));
  RawFile("\xCA\xC8\xD0", {"Z", "N-S"}, kMarch1, 100.0, 6000).WriteTo(Raw("KUDA/a.raw"));
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.charset) + " " + c.station);
    ResetCatalogue(db);
    for (const char* table : {"FILELIST", "SITECHAN"})
      db.ExecuteSQL(std::string("ALTER TABLE ") + table + " CONVERT TO CHARACTER SET " + c.charset);
    fs::remove_all(Out(""));
    fs::create_directories(Out(""));
    const std::string raw = Raw(c.raw_station[0] == 'K' ? "KIR/a.raw" : "KUDA/a.raw");
    for (int run = 0; run < 2; ++run) {
      const std::string sta = c.station;
      const auto r =
          Cli({"files", "--station", sta, "--channel", sta + ":Z", "--channel", sta + ":N-S", raw});
      if (!c.holds) {
        EXPECT_EQ(r.exit_status, 4) << r.err;
        EXPECT_NE(r.err.find("Incorrect string value"), std::string::npos) << r.err;
        EXPECT_TRUE(Rows().empty());
        continue;
      }
      ASSERT_EQ(r.exit_status, 0) << r.err;
      const auto rows = Rows();
      ASSERT_EQ(rows.size(), 2u);  // one per channel file, however often it runs
      EXPECT_EQ(rows[0].sta, c.station);
    }
    ExpectFilesAgreeWithRows();
    if (!c.holds) continue;
    const auto verify = Cli({"verify", "--station", c.station});
    EXPECT_EQ(verify.out, "problems\t0\n") << verify.err;
    EXPECT_EQ(verify.exit_status, 0);
  }
}

}  // namespace
}  // namespace korvel::test
