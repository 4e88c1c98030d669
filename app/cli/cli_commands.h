#pragma once
// The subcommands of korvel2tqf-cli; each returns the process exit status.

#include <string>
#include <vector>

namespace korvel::cli {

enum ExitStatus {
  kConverted = 0,
  kNothing = 1,
  kUsage = 2,
  kDatabaseOpenFailed = 3,
  kDatabaseError = 4,
};

struct ConnectionOptions {
  std::string dsn;
  std::string user;
  std::string password;
};

// The summary rows of each file: station, channel, rate, start, duration.
int RunInfo(const std::vector<std::string>& files);

// Creates the embedded SQLite catalogue and its "TQF" data source.
int RunInitCatalogue(const std::string& database_file);

// The SITECHAN rows of a station: channel, rate, "x" where the window ticks it.
int RunChannels(const ConnectionOptions& connection, const std::string& station);

// The CHKDB schema upgrade.
int RunUpgradeSchema(const ConnectionOptions& connection);

}  // namespace korvel::cli
