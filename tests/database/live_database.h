#pragma once
// The real data sources that tools/test sets up (KORVEL_TEST_DSNS, one per
// driver, in the ODBCINI it writes), and a fresh catalogue on each.

#include <string>
#include <vector>

#include "database/database.h"

namespace korvel::test {

std::vector<std::string> TestDsns();
std::string TestConnectString(const std::string& dsn);
// Drops both tables and creates them again.
void ResetCatalogue(CDatabase& database);
// What the driver calls its database system (SQL_DBMS_NAME).
std::string DbmsName(CDatabase& database);

}  // namespace korvel::test
