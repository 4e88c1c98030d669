#include <pwd.h>
#include <unistd.h>

#include "database/embedded_catalogue.h"
#include "platform/config_folder.h"
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

// The home folder of the account, where unixODBC looks for ~/.odbc.ini: it
// asks the password database, not $HOME, and the two differ under sudo -E,
// in some containers and wherever HOME is set by hand.
std::filesystem::path AccountHomePath() {
  if (const passwd* account = getpwuid(getuid());
      account != nullptr && account->pw_dir != nullptr && *account->pw_dir != '\0')
    return account->pw_dir;
  if (auto home = EnvironmentPath("HOME"); !home.empty()) return home;
  return "/";
}

}  // namespace

std::filesystem::path UserOdbcIni() {
  if (auto ini = EnvironmentPath("ODBCINI"); !ini.empty()) return ini;
  return AccountHomePath() / ".odbc.ini";
}

InitResult RegisterUserDataSource(const std::string& dsn, const std::filesystem::path& file) {
  const std::filesystem::path ini = UserOdbcIni();
  const std::string section = Utf8ToCp1251(dsn);
  const std::string registered = GetProfileString(section, "Database", "", 4096, ini);
  const std::string wanted = Utf8ToCp1251(file.string());
  if (!registered.empty() && registered != wanted) {
    return {false, "the data source \"" + dsn + "\" in " + ini.string() + " already names " +
                       Cp1251ToUtf8(registered) + "; remove it there or choose that file"};
  }
  if (!registered.empty())
    return {true,
            "the data source \"" + dsn + "\" in " + ini.string() + " already names this file"};
  for (const auto& [key, value] : kDsnOptions)
    if (!WriteProfileString(section, key, value, ini))
      return {false, "cannot write " + ini.string()};
  if (!WriteProfileString(section, "Database", wanted, ini))
    return {false, "cannot write " + ini.string()};
  return {true, "registered the data source \"" + dsn + "\" in " + ini.string()};
}

}  // namespace korvel
