// The database password off the record: wiped from the command line others
// can read, never repeated in a usage error, taken from a file or the
// environment instead, and sent in braces when it needs them.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "platform/file_lock.h"
#include "tests/app/conversion_fixture.h"
#include "tests/support/databases/live_database.h"

namespace korvel::test {
namespace {

namespace fs = std::filesystem;

// A converter kept waiting for a station: what the system shows of its
// command line meanwhile.
TEST_P(ConversionTest, ThePasswordLeavesNoTraceOnTheCommandLine) {
  RawFile("KIR", {"Z"}, kMarch1, 100.0, 100).WriteTo(Raw("KIR/a.raw"));
  fs::create_directories(Out("KIR"));
  FileLock held;
  ASSERT_EQ(held.Acquire(Out("KIR/.korvel2tqf.lock"), 0), FileLock::Result::kLocked);
  std::string shown;
  RunCommand("korvel2tqf-cli",
             {"--password", "KXM", "--user=TQF", "convert", "--station", "KIR", "--all-times",
              "--lock-wait", "30"},
             [&](pid_t pid) {
               const fs::path cmdline = "/proc/" + std::to_string(pid) + "/cmdline";
               for (int waited = 0; waited < 10000 && shown.find("convert") == std::string::npos;
                    ++waited) {
                 std::this_thread::sleep_for(std::chrono::milliseconds(1));
                 shown = ReadFileBytes(cmdline);
               }
               std::this_thread::sleep_for(std::chrono::milliseconds(300));
               shown = ReadFileBytes(cmdline);
               kill(pid, SIGTERM);
             });
  EXPECT_EQ(shown.find("KXM"), std::string::npos) << shown;
  EXPECT_NE(shown.find("xxx"), std::string::npos) << shown;
}

TEST_P(ConversionTest, APasswordComesFromAFileOrTheEnvironmentAndNeverFromAnError) {
  // Usage errors, a misspelt option among them, never repeat it.
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"--pasword", "Secret1", "channels", "--station", "KIR"},
        {"--password", "Secret1", "channels", "--station", "KIR", "extra"},
        {"--password=Secret1", "convrt"}}) {
    const auto r = Cli(args);
    EXPECT_EQ(r.exit_status, 2);
    EXPECT_EQ(r.err.find("Secret1"), std::string::npos) << r.err;
  }
  if (db.IsSqlite()) return;  // SQLite asks for no password
  const fs::path file = sandbox.path() / "password";
  std::ofstream(file) << "wrong\n";
  auto r = Cli({"--password-file", file.string(), "channels", "--station", "KIR"});
  EXPECT_EQ(r.exit_status, 3) << r.err;  // the file's password was used
  EXPECT_EQ(r.err.find("wrong"), std::string::npos) << r.err;
  std::ofstream(file) << "KXM\r\n";
  r = Cli({"--password-file", file.string(), "channels", "--station", "KIR"});
  EXPECT_EQ(r.exit_status, 0) << r.err;
  r = Cli({"--password-file", (sandbox.path() / "none").string(), "channels", "--station", "KIR"});
  EXPECT_EQ(r.exit_status, 2);
  setenv("KORVEL2TQF_PASSWORD", "wrong", 1);
  r = Cli({"channels", "--station", "KIR"});
  unsetenv("KORVEL2TQF_PASSWORD");
  EXPECT_EQ(r.exit_status, 3) << r.err;
  // A password with the connect string's own marks logs in (the servers'
  // second login has one).
  r = Cli({"--user", "TQFDML", "--password", kDmlPassword, "channels", "--station", "KIR"});
  EXPECT_NE(r.exit_status, 3) << r.err;
}

}  // namespace
}  // namespace korvel::test
