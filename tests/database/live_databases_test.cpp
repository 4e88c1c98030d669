// The live data sources the database tests run on are really there.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "tests/support/databases/live_database.h"

namespace korvel::test {
namespace {

// Says loudly when the database tests have nothing to run on.
TEST(LiveDatabases, AreConfigured) {
  const auto dsns = TestDsns();
  const char* ci = std::getenv("CI");
  const bool in_ci = ci != nullptr && std::string(ci) == "true";
  if (dsns.size() < 3) {
    const std::string what = "database tests run on " + std::to_string(dsns.size()) +
                             " driver(s) only; tools/test sets up SQLite, PostgreSQL and MariaDB";
    if (in_ci) FAIL() << what;
    std::fprintf(stderr, "\n*** WARNING: %s ***\n\n", what.c_str());
    if (dsns.empty()) GTEST_SKIP() << what;
  }
  SUCCEED();
}

}  // namespace
}  // namespace korvel::test
