#include "database/server_timeouts.h"

#include <gtest/gtest.h>

#include <fstream>

#include "database/data_source_names.h"
#include "tests/support/environment.h"
#include "tests/support/temp_dir.h"

namespace korvel {
namespace {

using test::ScopedVariable;
using test::TempDir;

#ifndef _WIN32  // the data sources of unixODBC's files; Windows keeps them in the registry
// The socket time-out keys a data source's driver gets, leaving the ones
// the data source sets itself, as its odbc.ini and odbcinst.ini say.
TEST(ServerTimeouts, DriverKeysAreAddedWhereTheDataSourceSetsNone) {
  TempDir dir;
  std::ofstream(dir / "odbcinst.ini") << "[PostgreSQL ANSI]\nDriver=psqlodbca.so\n"
                                         "[MariaDB Unicode]\nDriver=libmaodbc.so\n"
                                         "[SQLite3]\nDriver=libsqlite3odbc.so\n";
  std::ofstream(dir / "odbc.ini") << "[PG]\nDriver=PostgreSQL ANSI\nkeepalivetime=5\n"
                                     "[MARIA]\nDriver=MariaDB Unicode\nREAD_TIMEOUT=99\n"
                                     "[LITE]\nDriver=SQLite3\n";
  const ScopedVariable user_sources("ODBCINI", (dir / "odbc.ini").c_str());
  const ScopedVariable system_folder("ODBCSYSINI", dir.path().c_str());
  const ServerTimeouts timeouts;
  const struct {
    const char* dsn;
    const char* keys;
  } cases[] = {{"PG", "KeepaliveInterval=10;"},
               {"MARIA", "CONN_TIMEOUT=15;WRITE_TIMEOUT=20;"},
               {"LITE", ""},
               {"NONE", ""}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.dsn);
    EXPECT_EQ(TimeoutConnectKeys(
                  DataSourceDriver(c.dsn),
                  [&](const std::string& key) { return DataSourceValue(c.dsn, key).has_value(); },
                  timeouts),
              c.keys);
  }
}

#endif

// KORVEL2TQF_DB_TIMEOUT: whole seconds from 1, anything else leaves 15.
TEST(ServerTimeouts, TheEnvironmentSetsTheTimeOutAndBoundsTheReserve) {
  const struct {
    const char* value;
    unsigned query, reserve;
  } cases[] = {{nullptr, 15, 5}, {"2", 2, 2}, {"60", 60, 5}, {"0", 15, 5}, {"1.5", 15, 5}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.value ? c.value : "unset");
    const ScopedVariable variable("KORVEL2TQF_DB_TIMEOUT", c.value);
    const ServerTimeouts timeouts = CurrentServerTimeouts();
    EXPECT_EQ(timeouts.query_seconds, c.query);
    EXPECT_EQ(timeouts.login_seconds, c.query);
    EXPECT_EQ(timeouts.reserve_seconds, c.reserve);
  }
}

}  // namespace
}  // namespace korvel
