#include "database/server_timeouts.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

#include "platform/text1251.h"

namespace korvel {
namespace {

constexpr const char* kTimeoutVariable = "KORVEL2TQF_DB_TIMEOUT";
constexpr unsigned kLongestTimeout = 86400;

// Keep-alive probes after this much silence, then at this interval: a peer
// gone without a word is noticed within about a minute of silence.
constexpr unsigned kKeepaliveIdleSeconds = 30;
constexpr unsigned kKeepaliveIntervalSeconds = 10;

bool Has(const std::string& driver, const char* part) {
  return CharUpper1251(driver).find(part) != std::string::npos;
}

}  // namespace

ServerTimeouts CurrentServerTimeouts() {
  ServerTimeouts timeouts;
  if (const char* text = std::getenv(kTimeoutVariable); text != nullptr) {
    unsigned seconds = 0;
    const char* end = text + std::strlen(text);
    const auto [at, ec] = std::from_chars(text, end, seconds);
    if (ec == std::errc() && at == end && seconds >= 1 && seconds <= kLongestTimeout) {
      timeouts.login_seconds = timeouts.query_seconds = seconds;
      timeouts.reserve_seconds = std::min(timeouts.reserve_seconds, seconds);
    }
  }
  return timeouts;
}

std::string TimeoutConnectKeys(const std::string& driver,
                               const std::function<bool(const std::string&)>& data_source_sets,
                               const ServerTimeouts& timeouts) {
  std::vector<std::pair<std::string, unsigned>> keys;
  if (Has(driver, "PSQLODBC") || Has(driver, "POSTGRES")) {
    // psqlODBC: its keep-alive keys. The server's own statement time-out
    // (what ODBC's query time-out becomes) covers a slow statement; a
    // silent peer is the watch's (database/statement_watch.h).
    keys = {{"KeepaliveTime", kKeepaliveIdleSeconds},
            {"KeepaliveInterval", kKeepaliveIntervalSeconds}};
  } else if (Has(driver, "MAODBC") || Has(driver, "MARIADB")) {
    // MariaDB Connector/ODBC: socket time-outs of its client library. A
    // reply may take the whole query time-out.
    const unsigned socket_seconds = timeouts.query_seconds + timeouts.reserve_seconds;
    keys = {{"CONN_TIMEOUT", timeouts.login_seconds},
            {"READ_TIMEOUT", socket_seconds},
            {"WRITE_TIMEOUT", socket_seconds}};
  }
  std::string pieces;
  for (const auto& [key, seconds] : keys)
    if (!data_source_sets(key)) pieces += key + "=" + std::to_string(seconds) + ";";
  return pieces;
}

}  // namespace korvel
