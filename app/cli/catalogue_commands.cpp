#include <cstdio>

#include "app/cli/cli_commands.h"
#include "app/cli/open_catalogue.h"
#include "database/catalogue_schema.h"
#include "database/chan_list.h"
#include "database/connection.h"
#include "database/db_exception.h"
#include "database/embedded_catalogue.h"
#include "database/schema_upgrade.h"
#include "platform/native_path.h"
#include "platform/text1251.h"

namespace korvel::cli {

int RunInitCatalogue(const ConnectionOptions& connection, const std::string& database_file) {
  const ConnectionSettings settings =
      ResolveConnection(Utf8ToCp1251(connection.dsn.empty() ? "TQF" : connection.dsn),
                        Utf8ToCp1251(connection.user), Utf8ToCp1251(connection.password));
  const InitResult result = InitEmbeddedCatalogue(
      database_file.empty() ? DefaultCatalogueFile() : Utf8Path(database_file),
      !database_file.empty(), Cp1251ToUtf8(settings.dsn), Cp1251ToUtf8(ConnectString(settings)));
  std::fprintf(result.ok ? stdout : stderr, "%s\n", result.message.c_str());
  return result.ok ? kConverted : kDatabaseOpenFailed;
}

int RunChannels(const ConnectionOptions& connection, const std::string& station) {
  StderrNotifier notifier;
  return WithCatalogue(connection, notifier, [&]() -> int {
    int status = kNothing;
    // Printed as read: the rows before an error are shown, then the error.
    CChanList(theDatabase)
        .ListStation(CharUpper1251(Utf8ToCp1251(station)), [&](SiteChannelRow&& row) {
          std::printf("%s\t%.3f\t%s\n", DisplayName(row.chan).c_str(), row.sps,
                      IsTickedByDefault(row.chan) ? "x" : "");
          status = kConverted;
        });
    return status;
  });
}

int RunCreateTables(const ConnectionOptions& connection) {
  StderrNotifier notifier;
  return WithCatalogue(connection, notifier, []() -> int {
    CreateCatalogueTables(theDatabase);
    std::printf("FILELIST, SITECHAN and their indexes are in place\n");
    return kConverted;
  });
}

int RunUpgradeSchema(const ConnectionOptions& connection) {
  StderrNotifier notifier;
  return WithCatalogue(connection, notifier, [&]() -> int {
    const int failures = UpgradeSchema(theDatabase, notifier);
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

}  // namespace korvel::cli
