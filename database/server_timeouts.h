#pragma once
// How long the program waits on a catalogue server before it gives up, and
// the keys that tell a driver so where ODBC's own time-outs do not reach
// (a socket whose peer stopped answering).

#include <chrono>
#include <functional>
#include <string>

#include "database/database.h"

namespace korvel {

// Seconds for the login, for each statement on the server, and the reserve
// a call may take beyond them before the program cancels it and then ends
// the connection. KORVEL2TQF_DB_TIMEOUT (whole seconds, 1 or more) changes
// the first two, for slow links or tests; the reserve is then at most that.
struct ServerTimeouts {
  unsigned login_seconds = kLoginTimeoutSeconds;
  unsigned query_seconds = kQueryTimeoutSeconds;
  unsigned reserve_seconds = 5;
  // A call running longer than this is cancelled.
  std::chrono::seconds CallLimit() const {
    return std::chrono::seconds(query_seconds + reserve_seconds);
  }
};

ServerTimeouts CurrentServerTimeouts();

// The connect string pieces ("KEY=value;") that bound a wait on the
// driver's socket (keep-alive probes, read and write time-outs), for the
// drivers that have such keys, leaving out every key the data source sets
// itself. `driver` is what DataSourceDriver says.
std::string TimeoutConnectKeys(const std::string& driver,
                               const std::function<bool(const std::string&)>& data_source_sets,
                               const ServerTimeouts& timeouts);

}  // namespace korvel
