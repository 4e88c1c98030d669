#pragma once
// Where the built programs and the test data are: KORVEL_BIN_DIR and
// KORVEL_TEST_DATA when the environment sets them, else the folders this
// build was configured with, so that a case runs alike from ctest, from a
// debugger or by hand.

#include <cstdlib>
#include <string>

namespace korvel::test {

inline std::string BinDir() {
  const char* dir = std::getenv("KORVEL_BIN_DIR");
  return dir != nullptr && *dir != '\0' ? dir : KORVEL_DEFAULT_BIN_DIR;
}

inline std::string TestDataDir() {
  const char* dir = std::getenv("KORVEL_TEST_DATA");
  return dir != nullptr && *dir != '\0' ? dir : KORVEL_DEFAULT_TEST_DATA;
}

}  // namespace korvel::test
