#include "tests/database/live_database.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>

#include "database/catalogue_schema.h"
#include "database/db_exception.h"

namespace korvel::test {

std::vector<std::string> TestDsns() {
  std::vector<std::string> dsns;
  if (const char* list = std::getenv("KORVEL_TEST_DSNS")) {
    std::istringstream words(list);
    for (std::string dsn; words >> dsn;) dsns.push_back(dsn);
  }
  return dsns;
}

std::string TestConnectString(const std::string& dsn) { return "DSN=" + dsn + ";UID=TQF;PWD=KXM;"; }

void ResetCatalogue(CDatabase& database) {
  for (const char* table : {"FILELIST", "SITECHAN"}) {
    try {
      database.ExecuteSQL(std::string("DROP TABLE ") + table);
    } catch (const CDBException&) {
      // not there yet
    }
  }
  CreateCatalogueTables(database);
}

std::string DbmsName(CDatabase& database) {
  SQLCHAR name[256] = {};
  SQLSMALLINT length = 0;
  SQLGetInfo(database.RawHandle(), SQL_DBMS_NAME, name, sizeof name, &length);
  return reinterpret_cast<const char*>(name);
}

namespace {

// Says loudly when the database tests have nothing to run on.
TEST(LiveDatabases, AreConfigured) {
  const auto dsns = TestDsns();
  const char* ci = std::getenv("CI");
  const bool in_ci = ci != nullptr && std::string(ci) == "true";
  if (dsns.size() < 2) {
    const std::string what = "database tests run on " + std::to_string(dsns.size()) +
                             " driver(s) only; tools/test sets up SQLite and PostgreSQL";
    if (in_ci) FAIL() << what;
    std::fprintf(stderr, "\n*** WARNING: %s ***\n\n", what.c_str());
    if (dsns.empty()) GTEST_SKIP() << what;
  }
  SUCCEED();
}

}  // namespace
}  // namespace korvel::test
