#pragma once
// The real data sources that tools/test sets up (KORVEL_TEST_DSNS, one per
// driver, in the ODBCINI it writes), and a fresh catalogue on each.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "database/database.h"

namespace korvel::test {

// Always the same three data sources, so that ctest's list of cases never
// depends on which servers were up when it was made; a case whose source is
// not among KORVEL_TEST_DSNS skips itself (reported so, never as passed).
std::vector<std::string> TestDsns();
bool TestDsnConfigured(const std::string& dsn);

// Cases run once per data source. A fixture's own SetUp calls this one
// first and returns when IsSkipped().
class LiveCatalogueTest : public ::testing::TestWithParam<std::string> {
 protected:
  void SetUp() override {
    if (!TestDsnConfigured(GetParam()))
      GTEST_SKIP() << GetParam()
                   << " is not among KORVEL_TEST_DSNS (tools/test starts the servers)";
  }
};

// The same with a fresh catalogue on the case's data source, in m_db.
class FreshCatalogueTest : public LiveCatalogueTest {
 protected:
  void SetUp() override;
  CDatabase m_db;
};
// The servers' second login, TQFDML: it may change rows but not tables, and
// its password needs braces in a connect string.
inline constexpr const char* kDmlPassword = "ab;cd}x";
// The servers' third login, TQFWIDE: its password (UTF-8) has letters code
// page 1251 lacks and is longer than 63 bytes.
inline constexpr const char* kWideUser = "TQFWIDE";
inline constexpr const char* kWidePassword =
    "pässwörd-пароль-0123456789abcdef0123456789abcdef0123456789abcdef";
std::string TestConnectString(const std::string& dsn);
// Drops both tables and creates them again.
void ResetCatalogue(CDatabase& database);

// A FILELIST row with the values a converter gives a TQF file (GAIN 1,
// DATATYPE 3, FOFF 512), of any creator, whether or not a file is there.
void InsertFileRow(CDatabase& database, const std::string& sta, const std::string& ch,
                   const std::string& cpath, double tbegin, double tqty, double sps,
                   const std::string& creator);

// Makes the catalogue refuse every FILELIST update, or every insert once the
// table holds `inserts_allowed` rows, with a trigger of its own dialect.
enum class FileListRefusal { kUpdates, kInsertsAfter };
void RefuseFileListStatements(CDatabase& database, FileListRefusal what, int inserts_allowed = 0);
// Makes the catalogue refuse every FILELIST update of the channel's rows alone.
void RefuseFileListUpdatesOf(CDatabase& database, const std::string& channel);

// PostgreSQL only: SITECHAN becomes a view of station KIR's channels Z, N-S
// (rates 100 and 50), E-W and SH Z whose third row fails with a division by
// zero when it is fetched. The tables are made anew when it goes.
class SiteChanFailingOnThirdRow {
 public:
  explicit SiteChanFailingOnThirdRow(CDatabase& database);
  ~SiteChanFailingOnThirdRow();

 private:
  CDatabase& m_database;
};
// The connect string of a PostgreSQL source whose driver fetches one row at
// a time, so that a failing row shows only when it is reached.
inline std::string RowByRowConnectString(const std::string& dsn) {
  return TestConnectString(dsn) + "UseDeclareFetch=1;Fetch=1;";
}

}  // namespace korvel::test
