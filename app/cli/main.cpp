// korvel2tqf-cli: the converter's engine, catalogue and configuration driven
// from a command line, for automation and for tests.

#include <CLI/CLI.hpp>
#include <cstdio>

#include "app/cli/archive_commands.h"
#include "app/cli/cli_commands.h"
#include "app/cli/cli_messages.h"
#include "app/cli/first_use_hints.h"
#include "app/cli/password_options.h"
#include "korvel_version.h"
#include "platform/console.h"
#include "platform/native_path.h"

namespace {

// What the help says of each system's places and interrupts.
#ifdef _WIN32
constexpr const char* kTqfIniWhere = "%TQF_CONFIG_DIR% when set, else the Windows directory";
constexpr const char* kStopRequests = "Ctrl+C (130), Ctrl+Break or the console's closing (143)";
#else
constexpr const char* kTqfIniWhere = "$TQF_CONFIG_DIR, else $XDG_CONFIG_HOME/tqf or ~/.config/tqf";
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
          "because another converter was writing it, 7 some selected raw data was\n"
          "left (a raw folder or file that cannot be read whole, or a channel name\n"
          "twice in one raw file: what could be read is converted),\nstopped by " +
          kStopRequests +
          "\n(the files and rows written so far agree; a second interrupt kills at once).\n\n"
          "A catalogue server is waited for 15 s per login or statement (environment\n"
          "KORVEL2TQF_DB_TIMEOUT=SECONDS changes it); a call still unanswered 5 s later is\n"
          "cancelled and, if that does not end it, its connection closed (exit 4). A stop\n"
          "request cancels the statement in progress the same way after 1 s.",
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

  // In the order --help lists them.
  std::vector<CliCommand> commands = {
      AddInfoCommand(app),        AddInitCatalogueCommand(app), AddChannelsCommand(app),
      AddAddChannelsCommand(app), AddCreateTablesCommand(app),  AddUpgradeSchemaCommand(app),
      AddConvertCommand(app),     AddFilesCommand(app),         AddDirCommand(app),
      AddCoverageCommand(app),    AddVerifyCommand(app)};
#ifdef KORVEL_WITH_SEED
  commands.push_back(AddExportSdsCommand(app));
#endif

  // Arguments are UTF-8 everywhere (on Windows taken from the wide command line).
  std::vector<std::string> arguments = korvel::Utf8Arguments(argc, argv);
  WipePasswordArguments(argc, argv);
  std::vector<char*> utf8_argv;
  for (std::string& argument : arguments) utf8_argv.push_back(argument.data());
  try {
    app.parse(static_cast<int>(utf8_argv.size()), utf8_argv.data());
  } catch (const CLI::ParseError& e) {
    if (e.get_exit_code() == 0) return app.exit(e);  // the help or the version
    if (HintUnknownWord(app, ArgumentsWithoutPasswords(arguments))) return kUsage;
    SayError(UsageErrorWithoutPasswords(app, e, arguments));
    std::fprintf(stderr, "Run with --help or --help-all for more information.\n");
    return kUsage;
  }
  if (!TakePasswordFromElsewhere(connection, password_file)) return kUsage;

  for (const CliCommand& command : commands)
    if (command.parser->parsed()) return command.run(connection);
  return kUsage;
}
