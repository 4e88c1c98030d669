#include <cstdio>
#include <string>
#include <vector>

#include "app/cli/cli_commands.h"
#include "app/cli/cli_host.h"
#include "app/cli/cli_messages.h"
#include "app/cli/next_steps.h"
#include "app/cli/open_catalogue.h"
#include "database/catalogue_schema.h"
#include "database/chan_list.h"
#include "database/connection.h"
#include "database/db_exception.h"
#include "database/embedded_catalogue.h"
#include "database/schema_upgrade.h"
#include "platform/native_path.h"
#include "platform/number_text.h"
#include "platform/text1251.h"

namespace korvel::cli {

int RunInitCatalogue(const ConnectionOptions& connection, const std::string& database_file) {
  const ConnectionSettings settings =
      ResolveConnection(Utf8ToCp1251(connection.dsn.empty() ? "TQF" : connection.dsn),
                        Utf8ToCp1251(connection.user), connection.password);
  const InitResult result = InitEmbeddedCatalogue(
      database_file.empty() ? DefaultCatalogueFile() : Utf8Path(database_file),
      !database_file.empty(), Cp1251ToUtf8(settings.dsn), ConnectString(settings));
  if (!result.ok) {
    SayError(result.message);
    return kDatabaseOpenFailed;
  }
  std::printf("%s\n", result.message.c_str());
  SayNextAfterInitCatalogue(Cp1251ToUtf8(settings.dsn));
  return kConverted;
}

int RunChannels(const ConnectionOptions& connection, const std::string& station) {
  CliNotifier notifier;
  return WithCatalogue(connection, notifier, [&]() -> int {
    int status = kNothing;
    // Printed as read: the rows before an error are shown, then the error.
    CChanList(theDatabase)
        .ListStation(CharUpper1251(Utf8ToCp1251(station)), [&](SiteChannelRow&& row) {
          std::printf("%s\t%s\t%s\n", DisplayName(row.chan).c_str(),
                      FixedNumber(row.sps, 3).c_str(), IsTickedByDefault(row.chan) ? "x" : "");
          status = kConverted;
        });
    if (status == kNothing) SayNoChannelsListed(CharUpper1251(Utf8ToCp1251(station)));
    return status;
  });
}

int RunCreateTables(const ConnectionOptions& connection) {
  CliNotifier notifier;
  return WithCatalogue(connection, notifier, []() -> int {
    CreateCatalogueTables(theDatabase);
    std::printf("FILELIST, SITECHAN and their indexes are in place\n");
    return kConverted;
  });
}

int RunUpgradeSchema(const ConnectionOptions& connection) {
  CliNotifier notifier;
  return WithCatalogue(connection, notifier, [&]() -> int {
    std::vector<std::string> changed;
    const int failures = UpgradeSchema(theDatabase, notifier, &changed);
    for (const std::string& change : changed) std::printf("%s\n", change.c_str());
    if (failures == 0) std::printf("FILELIST: all five columns are in place\n");
    bool unchecked = false;
    // Reported, not changed: retyping a shared server's columns is its
    // administrator's call, as are its indexes.
    try {
      for (const LossyColumn& lossy : LossyFileListColumns(theDatabase))
        std::printf(
            "FILELIST.%s is %s, which does not keep every double: start times, rates and "
            "calibrations stored there are rounded; declare it DOUBLE PRECISION\n",
            lossy.column.c_str(), lossy.type.c_str());
    } catch (const CDBException& e) {
      notifier.Message("cannot read the column types of FILELIST: " + e.ErrorText(),
                       kApplicationTitle, MessageIcon::Error);
      unchecked = true;
    }
    try {
      for (const std::string& column : CaseBlindFileListColumns(theDatabase))
        std::printf(
            "FILELIST.%s ignores case: the program compares its values byte for byte itself, "
            "but other programs reading the table see KIR and kir as one; give it a binary "
            "collation (utf8mb4_bin)\n",
            column.c_str());
    } catch (const CDBException& e) {
      notifier.Message("cannot read the collations of FILELIST: " + e.ErrorText(),
                       kApplicationTitle, MessageIcon::Error);
      unchecked = true;
    }
    try {
      for (const CatalogueIndex& index : MissingCatalogueIndexes(theDatabase))
        std::printf(
            "%s has no index on (%s): each conversion statement would scan the whole table; "
            "add it with: CREATE INDEX %s ON %s (%s)\n",
            index.table, index.columns, index.name, index.table, index.columns);
    } catch (const CDBException& e) {
      notifier.Message("cannot read the catalogue's indexes: " + e.ErrorText(), kApplicationTitle,
                       MessageIcon::Error);
      unchecked = true;
    }
    return failures == 0 && !unchecked ? kConverted : kNothing;
  });
}

namespace {

// What the help says of each system's places.
#ifdef _WIN32
constexpr const char* kDataSourceWhere = "a user data source of the driver \"SQLite3 ODBC Driver\"";
constexpr const char* kDefaultCatalogue = "%LOCALAPPDATA%\\tqf\\catalogue.sqlite";
#else
constexpr const char* kDataSourceWhere = "$ODBCINI, else ~/.odbc.ini";
constexpr const char* kDefaultCatalogue =
    "$XDG_DATA_HOME/tqf/catalogue.sqlite, ~/.local/share/tqf/catalogue.sqlite";
#endif

}  // namespace

CliCommand AddInitCatalogueCommand(CLI::App& app) {
  auto database_file = std::make_shared<std::string>();
  CLI::App* init = app.add_subcommand(
      "init-catalogue",
      "create the embedded SQLite catalogue (FILELIST, SITECHAN and their indexes) and\n"
      "register it as the user ODBC data source \"TQF\" (or --dsn NAME; " +
          std::string(kDataSourceWhere) +
          ").\n"
          "A data source of the name that exists already (user or system) is never changed:\n"
          "when it opens, the tables are made there; when it does not, nothing is done and\n"
          "the message says where it is defined. Running it again changes nothing");
  init->add_option("--database", *database_file,
                   "database file (default: " + std::string(kDefaultCatalogue) + ")");
  return {init, [database_file](const ConnectionOptions& connection) {
            return RunInitCatalogue(connection, *database_file);
          }};
}

CliCommand AddChannelsCommand(CLI::App& app) {
  auto station = std::make_shared<std::string>();
  CLI::App* channels = app.add_subcommand(
      "channels",
      "list a station's SITECHAN rows: channel, sampling rate, and x where the window\n"
      "ticks the channel when the station is picked (Z, N-S, E-W)");
  channels->add_option("--station", *station, "station name")->required();
  return {channels, [station](const ConnectionOptions& connection) {
            return RunChannels(connection, *station);
          }};
}

CliCommand AddCreateTablesCommand(CLI::App& app) {
  CLI::App* create_tables = app.add_subcommand(
      "create-tables",
      "create FILELIST, SITECHAN and the indexes FILELIST (CPATH), FILELIST (STA, CREATER),\n"
      "FILELIST (STA, CH, TBEGIN) and SITECHAN (STA) on the data source where they are\n"
      "missing (a new server catalogue, or one made before an index was added)");
  return {create_tables, RunCreateTables};
}

CliCommand AddUpgradeSchemaCommand(CLI::App& app) {
  CLI::App* upgrade = app.add_subcommand(
      "upgrade-schema",
      "add FILELIST's optional columns LCODE, CALPER, CALIB, FOFF and TEND, or declare\n"
      "their types again (the window's CHKDB switch), one line for each column changed;\n"
      "a text keeps its charset and collation, times become seconds since 1970 (UTC) by\n"
      "their time where the server can, else the column is left and named; exit 1 when\n"
      "a change failed or a column was left; also names the catalogue indexes that are\n"
      "missing, without creating them");
  return {upgrade, RunUpgradeSchema};
}

}  // namespace korvel::cli
