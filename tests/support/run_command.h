#pragma once
// Runs one of our executables the way an operator's script would, capturing
// standard output and the exit status.

#include <sys/types.h>

#include <functional>
#include <string>

#include "tests/support/test_paths.h"
#include <vector>

namespace korvel::test {

struct CommandResult {
  int exit_status = -1;
  std::string out;
  std::string err;
};


// `while_running`, when given, is called with the child's process id once it
// has started (to signal it part-way, say); the call then waits for its end.
CommandResult RunCommand(const std::string& program, const std::vector<std::string>& args,
                         const std::function<void(pid_t)>& while_running = nullptr);

}  // namespace korvel::test
