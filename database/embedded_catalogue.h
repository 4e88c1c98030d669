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

// Registers the user data source `dsn` for the database file and creates the
// tables there (`connect` opens the source). A data source of the name that
// exists already, user or system, whatever its keys, is never changed: when it
// opens, the tables are made there (when `database_given`, only if it names
// that file); when it does not, nothing is done and the message names where
// it is defined and how to choose another name. Running it again changes
// nothing.
InitResult InitEmbeddedCatalogue(const std::filesystem::path& database_file, bool database_given,
                                 const std::string& dsn, const std::string& connect);

// The database file a user data source names (its Database key); empty when
// it names none.
std::string UserDataSourceDatabase(const std::string& dsn);

// The registration alone: a new user data source `dsn` of the SQLite driver
// for `file` (absolute). POSIX: unixODBC's user file ($ODBCINI, else
// ~/.odbc.ini), written line by line. Windows: the ODBC installer's user data
// sources, through the driver's own setup ("SQLite3 ODBC Driver").
InitResult RegisterUserDataSource(const std::string& dsn, const std::filesystem::path& file);

}  // namespace korvel
