#pragma once
// The embedded catalogue: an SQLite database reached through its ODBC driver
// and registered as the user data source "TQF".

#include <filesystem>
#include <string>

namespace korvel {

// unixODBC's user data source file: $ODBCINI, else .odbc.ini in the home
// folder of the user's account (as unixODBC finds it, whatever $HOME says).
std::filesystem::path UserOdbcIni();

// The default place of the database file: $XDG_DATA_HOME/tqf/catalogue.sqlite
// (~/.local/share/tqf/catalogue.sqlite).
std::filesystem::path DefaultCatalogueFile();

struct InitResult {
  bool ok = false;
  std::string message;  // UTF-8, what was done or why not
};

// Registers the data source (unless it already names this file) and creates
// the tables; running it again changes nothing.
InitResult InitEmbeddedCatalogue(const std::filesystem::path& database_file,
                                 const std::string& dsn = "TQF");

}  // namespace korvel
