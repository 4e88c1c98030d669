#pragma once
// The subcommands of korvel2tqf-cli; each returns the process exit status.

#include <CLI/CLI.hpp>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace korvel::cli {

enum ExitStatus {
  kConverted = 0,
  kNothing = 1,
  kUsage = 2,
  kDatabaseOpenFailed = 3,
  kDatabaseError = 4,
  kOutputFailed = 5,   // an output file could not be written, or no output root
  kStationLocked = 6,  // a station was left: another converter was writing it
  kRawDataLeft = 7,    // some selected raw data was left (unreadable, cut, a name twice)
};

struct ConnectionOptions {
  std::string dsn;
  std::string user;
  std::string password;
  // Where a password given to the program came from, for messages: "given
  // with --password", "read from --password-file FILE" or "in
  // KORVEL2TQF_PASSWORD"; empty: none was (tqf.ini's or the default is used).
  std::string password_from;
};

// A subcommand as main() sees it: its parser, and what runs it once the
// command line chose it. Each Add…Command keeps its own options.
struct CliCommand {
  CLI::App* parser = nullptr;
  std::function<int(const ConnectionOptions&)> run;
};
CliCommand AddInfoCommand(CLI::App& app);
CliCommand AddInitCatalogueCommand(CLI::App& app);
CliCommand AddChannelsCommand(CLI::App& app);
CliCommand AddAddChannelsCommand(CLI::App& app);
CliCommand AddCreateTablesCommand(CLI::App& app);
CliCommand AddUpgradeSchemaCommand(CLI::App& app);
CliCommand AddConvertCommand(CLI::App& app);
CliCommand AddFilesCommand(CLI::App& app);
// Built where libmseed is (KORVEL_WITH_SEED).
CliCommand AddExportSdsCommand(CLI::App& app);
CliCommand AddDirCommand(CLI::App& app);
CliCommand AddCoverageCommand(CLI::App& app);
CliCommand AddVerifyCommand(CLI::App& app);

// The summary rows of each file: station, channel, rate, start, duration.
int RunInfo(const std::vector<std::string>& files);

// Creates the embedded SQLite catalogue and its "TQF" data source.
// The data source is --dsn, else "TQF".
int RunInitCatalogue(const ConnectionOptions& connection, const std::string& database_file);

// The SITECHAN rows of a station: channel, rate, "x" where the window ticks it.
int RunChannels(const ConnectionOptions& connection, const std::string& station);

// The SITECHAN rows that the raw files' channels are missing, added; exit 1
// when a file was refused.
int RunAddChannels(const ConnectionOptions& connection, const std::vector<std::string>& files);

// FILELIST, SITECHAN and their indexes on the data source, where missing.
int RunCreateTables(const ConnectionOptions& connection);
// The CHKDB schema upgrade.
int RunUpgradeSchema(const ConnectionOptions& connection);

struct ConvertOptions {
  std::vector<std::string> stations;  // UTF-8
  std::string current_station;        // UTF-8, for files and dir
  std::vector<std::string> channels;  // STA:CHAN, UTF-8
  std::string start;                  // "hh:mm:ss dd/mm/yyyy"; empty: korvel2tqf.ini TIME
  std::string length;                 // "hh:mm:ss"; empty: korvel2tqf.ini TIMEQTY
  bool all_times = false;
  std::vector<std::string> files;  // native, as given
  std::string directory;           // native, as given
  bool no_coalesce = false;
  bool stats = false;
  std::optional<double> lock_wait;  // seconds; none: korvel2tqf.ini SYSTEM/LOCKWAIT
  bool no_lock = false;             // else korvel2tqf.ini SYSTEM/LOCK
  bool durable = false;             // else korvel2tqf.ini SYSTEM/DURABLE
  bool continue_output = false;     // else korvel2tqf.ini SYSTEM/CONTINUE
};

// "Конвертировать": every station's data directory over the time window.
int RunConvert(const ConnectionOptions& connection, const ConvertOptions& options);
// "Конв. файл(ы)...": the given files, whole.
int RunFiles(const ConnectionOptions& connection, const ConvertOptions& options);
// "Конв. каталог(и)...": the station's files of one directory, whole.
int RunDir(const ConnectionOptions& connection, const ConvertOptions& options);

}  // namespace korvel::cli
