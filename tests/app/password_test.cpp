// The database password off the record: wiped from the command line others
// can read, never repeated in a usage error, taken from a file or the
// environment instead, and sent in braces when it needs them.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
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

// Every way a password comes in reaches the server byte for byte: no code
// page 1251 round trip, no length limit. The login's password has letters
// 1251 lacks and is 74 bytes long.
TEST_P(ConversionTest, APasswordReachesTheServerByteForByteWhereverItComesFrom) {
  if (db.IsSqlite()) GTEST_SKIP() << "SQLite asks for no password";
  const fs::path file = sandbox.path() / "password";
  const std::string ini = "[DATA]\nDIR=" + out + "\n[DATABASE]\nODBC=" + GetParam() + "\n";
  const struct {
    const char* from;
    std::function<void()> give;
    std::vector<std::string> args;
  } cases[] = {
      {"--password", [] {}, {"--password", kWidePassword}},
      {"--password-file",
       [&] { std::ofstream(file) << kWidePassword << "\n"; },
       {"--password-file", file.string()}},
      {"KORVEL2TQF_PASSWORD", [] { setenv("KORVEL2TQF_PASSWORD", kWidePassword, 1); }, {}},
      {"tqf.ini", [&] { sandbox.WriteTqfIni(ini + "PASSWORD=" + kWidePassword + "\n"); }, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.from);
    c.give();
    std::error_code no_file;  // the other ways write none
    fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write, fs::perm_options::replace,
                    no_file);
    std::vector<std::string> args = c.args;
    for (const char* word : {"--user", kWideUser, "channels", "--station", "KIR"})
      args.push_back(word);
    const auto r = Cli(args);
    unsetenv("KORVEL2TQF_PASSWORD");
    sandbox.WriteTqfIni(ini);
    EXPECT_NE(r.exit_status, 3) << r.err;  // the login was taken
    EXPECT_EQ(r.err.find("warning"), std::string::npos) << r.err;
  }
}

// A password file that is empty is a mistake, not a reason to fall back on
// tqf.ini's; one that other users can read is warned about.
TEST_P(ConversionTest, APasswordFileIsRefusedWhenEmptyAndWarnedAboutWhenOthersCanRead) {
  const fs::path file = sandbox.path() / "password";
  std::ofstream(file) << "\n";
  auto r = Cli({"--password-file", file.string(), "channels", "--station", "KIR"});
  EXPECT_EQ(r.exit_status, 2);
  EXPECT_EQ(r.err, "korvel2tqf-cli: error: the password file " + file.string() +
                       " holds no password: write it on the file's first line\n");
  std::ofstream(file) << "KXM\n";
  fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write | fs::perms::others_read,
                  fs::perm_options::replace);
  r = Cli({"--password-file", file.string(), "channels", "--station", "KIR"});
  EXPECT_EQ(r.exit_status, 0) << r.err;
  EXPECT_EQ(r.err, "korvel2tqf-cli: warning: the password file " + file.string() +
                       " can be read by other users (mode 604): chmod 600 " + file.string() + "\n");
}

}  // namespace
}  // namespace korvel::test
