#pragma once
// Runs one of our executables the way an operator's script would, capturing
// standard output and the exit status.

#include <string>
#include <vector>

namespace korvel::test {

struct CommandResult {
  int exit_status = -1;
  std::string out;
  std::string err;
};

// The folder of the built executables (KORVEL_BIN_DIR, set by the test runner).
std::string BinDir();

CommandResult RunCommand(const std::string& program, const std::vector<std::string>& args);

}  // namespace korvel::test
