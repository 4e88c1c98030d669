#pragma once
// The embedded catalogue: an SQLite database reached through its ODBC driver
// and registered as the user data source "TQF".

#include <filesystem>
#include <string>

namespace korvel {

#ifndef _WIN32
// unixODBC's user data source file: $ODBCINI, else .odbc.ini in the home
// folder of the user's account (as unixODBC finds it, whatever $HOME says).
std::filesystem::path UserOdbcIni();
#endif

// The default place of the database file: POSIX $XDG_DATA_HOME/tqf
// (~/.local/share/tqf), Windows %LOCALAPPDATA%\tqf; named catalogue.sqlite.
std::filesystem::path DefaultCatalogueFile();

struct InitResult {
  bool ok = false;
  std::string message;  // UTF-8, what was done or why not
};

// Registers the data source (unless it already names this file) and creates
// the tables; running it again changes nothing.
InitResult InitEmbeddedCatalogue(const std::filesystem::path& database_file,
                                 const std::string& dsn = "TQF");

// The registration alone: the user data source `dsn` of the SQLite driver
// for `file` (absolute), unless it names that file already; refused when it
// names another. POSIX: unixODBC's user file ($ODBCINI, else ~/.odbc.ini),
// written line by line. Windows: the ODBC installer's user data sources,
// through the driver's own setup ("SQLite3 ODBC Driver").
InitResult RegisterUserDataSource(const std::string& dsn, const std::filesystem::path& file);

}  // namespace korvel
