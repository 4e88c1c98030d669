// A catalogue server that stops answering mid-conversion, behind a relay
// that stalls the connection: a stop request, or the server time-out, ends
// the run within seconds, with files and rows in agreement.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <thread>

#include "tests/app/conversion_fixture.h"
#include "tests/support/environment.h"
#include "tests/support/tcp_relay.h"

namespace korvel::test {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// The case's data source reached through a relay: a copy of it under
// another name with the relay's port, in an odbc.ini of the sandbox that
// the programs read while it lives (the real one is left alone).
class RelayedSource {
 public:
  RelayedSource(const std::string& dsn, const fs::path& folder) : m_name(dsn + "_RELAYED") {
    const char* ini = std::getenv("ODBCINI");
    if (ini == nullptr) throw std::runtime_error("ODBCINI is not set");
    std::ifstream in(ini);
    std::stringstream whole;
    whole << in.rdbuf();
    std::string text = whole.str();
    // The case's own section, as written by the test set-up.
    const std::size_t start = text.find("[" + dsn + "]");
    if (start == std::string::npos) throw std::runtime_error(dsn + " is not in " + ini);
    const std::size_t end = text.find("\n[", start);
    std::istringstream section(text.substr(start, end == std::string::npos ? end : end - start));
    std::string copy = "\n[" + m_name + "]\n";
    int target = 0;
    for (std::string line; std::getline(section, line);) {
      if (line.starts_with("[")) continue;
      if (line.starts_with("Port=")) {
        target = std::stoi(line.substr(5));
        continue;
      }
      copy += line + "\n";
    }
    m_relay = std::make_unique<TcpRelay>(target);
    copy += "Port=" + std::to_string(m_relay->Port()) + "\n";
    const fs::path written = folder / "odbc.ini";
    std::ofstream(written) << text << copy;
    m_odbcini = std::make_unique<ScopedVariable>("ODBCINI", written.c_str());
  }
  const std::string& Name() const { return m_name; }
  TcpRelay& Relay() { return *m_relay; }

 private:
  std::string m_name;
  std::unique_ptr<TcpRelay> m_relay;
  std::unique_ptr<ScopedVariable> m_odbcini;
};

TEST_P(ConversionTest, AStalledServerEndsTheRunWithinSecondsFilesAgreeingWithRows) {
  if (GetParam() == "TQF_SQLITE") GTEST_SKIP() << "SQLite has no server to go silent";
  for (int i = 0; i < 100; ++i)
    RawFile("KIR", {"Z", "N-S", "E-W"}, kMarch1 + i * 60.0, 100.0, 6000, i * 6000)
        .WriteTo(Raw("KIR/f" + std::to_string(1000 + i) + ".raw"));
  const struct {
    const char* what;
    int signal;  // 0: none, the server time-out ends the wait
    int exit_status;
  } cases[] = {{"SIGTERM", SIGTERM, 143}, {"SIGINT", SIGINT, 130}, {"time-out", 0, 4}};
  // One second on the server, so that the time-out case is quick; the stop
  // requests do not wait for it.
  const ScopedVariable timeout("KORVEL2TQF_DB_TIMEOUT", "1");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    db.ExecuteSQL("DELETE FROM FILELIST");
    fs::remove_all(Out("KIR"));
    RelayedSource source(GetParam(), sandbox.path());
    sandbox.WriteTqfIni("[DATA]\nDIR=" + out + "\n[DATABASE]\nODBC=" + source.Name() + "\n");
    Clock::time_point stalled;
    const auto stall_part_way = [&](pid_t pid) {
      const auto first = Out("KIR/00/01032007-000000-Z.KIR");
      for (int waited = 0; !fs::exists(first) && waited < 20000; ++waited)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      source.Relay().Stall();
      stalled = Clock::now();
      // Long enough for the run to be waiting on the silent server.
      std::this_thread::sleep_for(std::chrono::milliseconds(500));
      if (c.signal != 0) kill(pid, c.signal);
      // A run that would wait for good fails the time asserted below rather
      // than hanging the test: the relay lets it go after 30 s.
      for (int waited = 0; waited < 300; ++waited) {
        siginfo_t ended{};
        if (waitid(P_PID, static_cast<id_t>(pid), &ended, WEXITED | WNOHANG | WNOWAIT) == 0 &&
            ended.si_pid == pid)
          return;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
      }
      source.Relay().DropAll();
    };
    const auto r = RunCommand("korvel2tqf-cli", {"convert", "--station", "KIR", "--all-times"},
                              stall_part_way);
    const auto waited = Clock::now() - stalled;
    EXPECT_EQ(r.exit_status, c.exit_status) << r.err;
    // The time-out: a second, its reserve and the cancel's grace.
    EXPECT_LT(waited, std::chrono::seconds(10));
    // The server ends the stalled session once its socket closes.
    source.Relay().DropAll();
    ExpectFilesAgreeWithRows();
    if (c.signal != 0) {
      EXPECT_TRUE(r.out.starts_with("Конверсия прервана")) << r.out;
    }
  }
}

}  // namespace
}  // namespace korvel::test
