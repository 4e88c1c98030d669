#include "database/embedded_catalogue.h"

#include <cstdlib>
#if __has_include(<pwd.h>)
#include <pwd.h>
#include <unistd.h>
#endif

#include "database/catalogue_schema.h"
#include "database/database.h"
#include "database/db_exception.h"
#include "platform/profile.h"
#include "platform/text1251.h"

namespace korvel {
namespace {

// The driver options: WAL keeps each auto-committed statement cheap, and
// synchronous NORMAL stays safe against a crash of the program.
const std::pair<const char*, const char*> kDsnOptions[] = {
    {"Driver", "SQLite3"},  {"Description", "korvel2tqf embedded catalogue"},
    {"JournalMode", "WAL"}, {"SyncPragma", "NORMAL"},
    {"Timeout", "15000"},
};

std::filesystem::path HomePath() {
  const char* home = std::getenv("HOME");
  return home != nullptr ? std::filesystem::path(home) : std::filesystem::path("/");
}

// The home folder of the account, where unixODBC looks for ~/.odbc.ini: it
// asks the password database, not $HOME, and the two differ under sudo -E,
// in some containers and wherever HOME is set by hand.
std::filesystem::path AccountHomePath() {
#if __has_include(<pwd.h>)
  if (const passwd* account = getpwuid(getuid());
      account != nullptr && account->pw_dir != nullptr && *account->pw_dir != '\0')
    return account->pw_dir;
#endif
  return HomePath();
}

}  // namespace

std::filesystem::path UserOdbcIni() {
  if (const char* ini = std::getenv("ODBCINI"); ini != nullptr && *ini != '\0') return ini;
  return AccountHomePath() / ".odbc.ini";
}

std::filesystem::path DefaultCatalogueFile() {
  if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg != nullptr && *xdg != '\0')
    return std::filesystem::path(xdg) / "tqf" / "catalogue.sqlite";
  return HomePath() / ".local" / "share" / "tqf" / "catalogue.sqlite";
}

InitResult InitEmbeddedCatalogue(const std::filesystem::path& database_file,
                                 const std::string& dsn) {
  std::error_code ec;
  const std::filesystem::path file = std::filesystem::absolute(database_file, ec);
  if (ec) return {false, "cannot resolve " + database_file.string()};
  std::filesystem::create_directories(file.parent_path(), ec);
  if (ec) return {false, "cannot create " + file.parent_path().string() + ": " + ec.message()};

  const std::filesystem::path ini = UserOdbcIni();
  const std::string section = Utf8ToCp1251(dsn);
  const std::string registered = GetProfileString(section, "Database", "", 4096, ini);
  const std::string wanted = Utf8ToCp1251(file.string());
  if (!registered.empty() && registered != wanted) {
    return {false, "the data source \"" + dsn + "\" in " + ini.string() + " already names " +
                       Cp1251ToUtf8(registered) + "; remove it there or choose that file"};
  }
  std::string message;
  if (registered.empty()) {
    for (const auto& [key, value] : kDsnOptions)
      if (!WriteProfileString(section, key, value, ini))
        return {false, "cannot write " + ini.string()};
    if (!WriteProfileString(section, "Database", wanted, ini))
      return {false, "cannot write " + ini.string()};
    message = "registered the data source \"" + dsn + "\" in " + ini.string() + "\n";
  } else {
    message = "the data source \"" + dsn + "\" in " + ini.string() + " already names this file\n";
  }

  try {
    CDatabase database;
    if (database.OpenEx("DSN=" + dsn + ";") != CDatabase::OpenResult::Opened)
      return {false, message + "cannot open the data source \"" + dsn + "\""};
    CreateCatalogueTables(database);
  } catch (const CDBException& e) {
    return {false, message + e.ErrorText()};
  }
  return {true, message + "catalogue ready: " + file.string()};
}

}  // namespace korvel
