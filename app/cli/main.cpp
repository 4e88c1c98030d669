// korvel2tqf-cli: the converter's engine, catalogue and configuration driven
// from a command line, for automation and for tests.

#include <CLI/CLI.hpp>
#include <cstdio>

#include "app/cli/archive_commands.h"
#include "app/cli/cli_commands.h"
#include "app/cli/first_use_hints.h"
#include "app/cli/password_options.h"
#include "korvel_version.h"
#include "platform/console.h"
#include "platform/native_path.h"

namespace {

// What the help says of each system's places and interrupts.
#ifdef _WIN32
constexpr const char* kTqfIniWhere = "%TQF_CONFIG_DIR% when set, else the Windows directory";
constexpr const char* kDataSourceWhere = "a user data source of the driver \"SQLite3 ODBC Driver\"";
constexpr const char* kDefaultCatalogue = "%LOCALAPPDATA%\\tqf\\catalogue.sqlite";
constexpr const char* kStopRequests = "Ctrl+C (130), Ctrl+Break or the console's closing (143)";
#else
constexpr const char* kTqfIniWhere = "$TQF_CONFIG_DIR, else $XDG_CONFIG_HOME/tqf or ~/.config/tqf";
constexpr const char* kDataSourceWhere = "$ODBCINI, else ~/.odbc.ini";
constexpr const char* kDefaultCatalogue =
    "$XDG_DATA_HOME/tqf/catalogue.sqlite, ~/.local/share/tqf/catalogue.sqlite";
constexpr const char* kStopRequests = "SIGINT or SIGTERM (130 or 143)";
#endif

}  // namespace

int main(int argc, char** argv) {
  using namespace korvel::cli;
  korvel::UseUtf8Output();
  CLI::App app{
      "korvel2tqf-cli: converts Korvel raw recorder files into TQF4.0 files and registers them\n"
      "in the TQF catalogue, with the same configuration as the korvel2tqf window:\n"
      "tqf.ini (in " +
          std::string(kTqfIniWhere) +
          ") and\n"
          "korvel2tqf.ini in the current directory.\n\n"
          "Exit status: 0 at least one file gave a result, 1 none did, 2 usage error,\n"
          "3 the database cannot be opened, 4 a conversion stopped on a database error,\n"
          "5 some output could not be written (an output file could not be created or\n"
          "written, or tqf.ini names no output root DATA/DIR), 6 a station was left\n"
          "because another converter was writing it, stopped by " +
          kStopRequests +
          "\n(the files and rows written so far agree; a second interrupt kills at once).",
      "korvel2tqf-cli"};
  app.require_subcommand(1);
  app.set_version_flag("--version", std::string("korvel2tqf-cli ") + korvel::kBuildVersion);
  app.set_help_all_flag("--help-all", "Print the help of every command and exit");
  // Options are --name on every system; a path may begin with "/".
  app.allow_windows_style_options(false);

  ConnectionOptions connection;
  app.add_option("--dsn", connection.dsn,
                 "ODBC data source (default: tqf.ini DATABASE/ODBC, else TQF)");
  app.add_option("--user", connection.user,
                 "database user (default: tqf.ini DATABASE/USER, else TQF)");
  std::string password_file;
  AddPasswordOptions(app, connection, password_file);

  std::vector<std::string> info_files;
  CLI::App* info = app.add_subcommand(
      "info",
      "print the summary of raw files: one line per channel with station, channel,\n"
      "sampling rate, start and duration separated by tabs; nothing for a file that\n"
      "is not a usable raw file");
  info->add_option("FILE", info_files, "raw files")->required();

  std::string database_file;
  CLI::App* init = app.add_subcommand(
      "init-catalogue",
      "create the embedded SQLite catalogue (FILELIST, SITECHAN and their indexes) and\n"
      "register it as the user ODBC data source \"TQF\" (or --dsn NAME; " +
          std::string(kDataSourceWhere) +
          ").\n"
          "A data source of the name that exists already (user or system) is never changed:\n"
          "when it opens, the tables are made there; when it does not, nothing is done and\n"
          "the message says where it is defined. Running it again changes nothing");
  init->add_option("--database", database_file,
                   "database file (default: " + std::string(kDefaultCatalogue) + ")");

  std::string channels_station;
  CLI::App* channels = app.add_subcommand(
      "channels",
      "list a station's SITECHAN rows: channel, sampling rate, and x where the window\n"
      "ticks the channel when the station is picked (Z, N-S, E-W)");
  channels->add_option("--station", channels_station, "station name")->required();

  std::vector<std::string> channel_files;
  CLI::App* add_channels = app.add_subcommand(
      "add-channels",
      "add to SITECHAN the channels of raw files that it does not list: for each file,\n"
      "a row (station, channel, rate) per channel whose station has no row of that\n"
      "channel, names upper-cased as the conversion compares them, LDDATE now, the\n"
      "other columns NULL; rows already there are never changed. Prints the rows\n"
      "added (station, channel, rate, tab-separated); a file that is not a usable raw\n"
      "file is named on standard error with the reason, and the other files go on.\n"
      "Exit status 0 every file was read (also when nothing was missing), 1 a file\n"
      "was refused, 3 and 4 as for every command (rows added before a database error\n"
      "stay)");
  add_channels->add_option("FILE", channel_files, "raw files")->required();

  CLI::App* create_tables = app.add_subcommand(
      "create-tables",
      "create FILELIST, SITECHAN and the indexes FILELIST (CPATH), FILELIST (STA, CREATER)\n"
      "and SITECHAN (STA) on the data source where they are missing (a new server catalogue)");

  CLI::App* upgrade = app.add_subcommand(
      "upgrade-schema",
      "add FILELIST's optional columns LCODE, CALPER, CALIB, FOFF and TEND, or declare\n"
      "their types again (the window's CHKDB switch); exit 1 when a change failed; also\n"
      "names the catalogue indexes that are missing, without creating them");

  ConvertOptions convert_options;
  const auto channel_option = [&](CLI::App* command) {
    command
        ->add_option("--channel", convert_options.channels,
                     "a STATION:CHANNEL pair to convert, as the window lists it (repeatable);\n"
                     "default: the station's SITECHAN channels Z, N-S and E-W")
        ->allow_extra_args(false);
    command->add_flag("--no-coalesce", convert_options.no_coalesce,
                      "send a file's catalogue row at every flush instead of once per raw file\n"
                      "(the same final rows, more statements; for comparison runs)");
    command
        ->add_option("--lock-wait", convert_options.lock_wait,
                     "seconds to wait for a station that another converter is writing (its\n"
                     "lock file .korvel2tqf.lock in the station's output folder) before leaving\n"
                     "it with exit status 6; default: korvel2tqf.ini SYSTEM/LOCKWAIT, else 0")
        ->check(CLI::NonNegativeNumber);
    command->add_flag("--no-lock", convert_options.no_lock,
                      "convert without station locks (as korvel2tqf.ini SYSTEM/LOCK=0 does), for\n"
                      "output folders on file systems that have none; two converters of one\n"
                      "station must then never run at once. Without it, a station whose lock\n"
                      "file cannot be made or locked is left with exit status 6");
    command->add_flag("--continue", convert_options.continue_output,
                      "let a channel continue the output file of an earlier run that ends where\n"
                      "its samples begin (as korvel2tqf.ini SYSTEM/CONTINUE=1 does)");
    command->add_flag("--stats", convert_options.stats,
                      "at the end, print to standard error the catalogue statements sent, the\n"
                      "flushes and the statements per flush");
  };
  CLI::App* convert = app.add_subcommand(
      "convert",
      "what the window's \"Конвертировать\" does: for each station, the raw files of its\n"
      "data directory (korvel2tqf.ini: the station's DIR, else SYSTEM DIR, else " +
          std::string(korvel::kDefaultDataDirectory) +
          ")\n"
          "that overlap the time window, written below tqf.ini DATA/DIR and catalogued");
  convert
      ->add_option("--station", convert_options.stations,
                   "station (repeatable; default: every station listed in korvel2tqf.ini)")
      ->allow_extra_args(false);
  convert->add_option("--start", convert_options.start,
                      "window start \"hh:mm:ss dd/mm/yyyy\" (default: korvel2tqf.ini SYSTEM/TIME)");
  convert->add_option("--length", convert_options.length,
                      "window length hh:mm:ss (default: korvel2tqf.ini SYSTEM/TIMEQTY)");
  convert->add_flag("--all-times", convert_options.all_times,
                    "no time filter: every file of the station");
  channel_option(convert);

  CLI::App* files = app.add_subcommand(
      "files",
      "what \"Конв. файл(ы)...\" does: the given raw files, whole, in order; stops at the\n"
      "first file that gives nothing");
  files->add_option("--station", convert_options.current_station, "the current station")
      ->required();
  files->add_option("FILE", convert_options.files, "raw files")->required();
  channel_option(files);

  CLI::App* dir = app.add_subcommand(
      "dir",
      "what \"Конв. каталог(и)...\" does: every raw file of the station in DIR, whole\n"
      "(sub-directories too when korvel2tqf.ini SYSTEM/SCANDIR is non-zero)");
  dir->add_option("--station", convert_options.current_station, "the current station")->required();
  dir->add_option("DIR", convert_options.directory, "directory")->required();
  channel_option(dir);

  CoverageOptions coverage_options;
  CLI::App* coverage = AddCoverageCommand(app, coverage_options);
  VerifyOptions verify_options;
  CLI::App* verify = AddVerifyCommand(app, verify_options);

  // Arguments are UTF-8 everywhere (on Windows taken from the wide command line).
  std::vector<std::string> arguments = korvel::Utf8Arguments(argc, argv);
  WipePasswordArguments(argc, argv);
  std::vector<char*> utf8_argv;
  for (std::string& argument : arguments) utf8_argv.push_back(argument.data());
  try {
    app.parse(static_cast<int>(utf8_argv.size()), utf8_argv.data());
  } catch (const CLI::ParseError& e) {
    if (e.get_exit_code() == 0) return app.exit(e);  // the help or the version
    if (HintUnknownCommand(app, ArgumentsWithoutPasswords(arguments))) return kUsage;
    std::fprintf(stderr, "%s\nRun with --help or --help-all for more information.\n",
                 WithoutPasswords(e.what(), arguments).c_str());
    return kUsage;
  }
  if (!TakePasswordFromElsewhere(connection, password_file)) return kUsage;

  if (info->parsed()) return RunInfo(info_files);
  if (init->parsed()) return RunInitCatalogue(connection, database_file);
  if (channels->parsed()) return RunChannels(connection, channels_station);
  if (add_channels->parsed()) return RunAddChannels(connection, channel_files);
  if (create_tables->parsed()) return RunCreateTables(connection);
  if (upgrade->parsed()) return RunUpgradeSchema(connection);
  if (convert->parsed()) return RunConvert(connection, convert_options);
  if (files->parsed()) return RunFiles(connection, convert_options);
  if (dir->parsed()) return RunDir(connection, convert_options);
  if (coverage->parsed()) return RunCoverage(connection, coverage_options);
  if (verify->parsed()) return RunVerify(connection, verify_options);
  return kUsage;
}
