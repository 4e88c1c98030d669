#include "tests/support/run_command.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <stdexcept>

#include "tests/support/temp_dir.h"

extern char** environ;

namespace korvel::test {

CommandResult RunCommand(const std::string& program, const std::vector<std::string>& args,
                         const std::function<void(pid_t)>& while_running) {
  TempDir capture;
  const std::string out_path = (capture / "out").string();
  const std::string err_path = (capture / "err").string();
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0644);
  posix_spawn_file_actions_addopen(&actions, 2, err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0644);
  std::vector<char*> argv;
  std::string path = program.find('/') == std::string::npos ? BinDir() + "/" + program : program;
  argv.push_back(path.data());
  std::vector<std::string> copies = args;
  for (std::string& a : copies) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid = 0;
  const int rc = posix_spawn(&pid, path.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) throw std::runtime_error("cannot start " + path);
  if (while_running) while_running(pid);
  int status = 0;
  waitpid(pid, &status, 0);
  CommandResult result;
  result.exit_status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  result.out = ReadFileBytes(out_path);
  result.err = ReadFileBytes(err_path);
  return result;
}

}  // namespace korvel::test
