#include <pwd.h>

#include <unistd.h>

#include <algorithm>
#include <fstream>

#include "database/data_source_names.h"
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

bool UserDataSourceDefined(const std::string& dsn) {
  std::ifstream in(UserOdbcIni());
  for (std::string line; std::getline(in, line);) {
    const std::size_t open = line.find_first_not_of(" \t");
    const std::size_t close = line.find(']');
    if (open == std::string::npos || line[open] != '[' || close == std::string::npos) continue;
    // unixODBC reads "[ TQF ]" as TQF: blanks around the name are no part of it.
    std::string name = line.substr(open + 1, close - open - 1);
    name.erase(0, name.find_first_not_of(" \t"));
    name.erase(name.find_last_not_of(" \t") + 1);
    if (EqualNoCase1251(Utf8ToCp1251(name), Utf8ToCp1251(dsn))) return true;
  }
  return false;
}

std::string DataSourcePlace(DataSourceScope scope) {
  if (scope == DataSourceScope::kUser) return UserOdbcIni().string();
  const std::filesystem::path folder = EnvironmentPath("ODBCSYSINI");
  return ((folder.empty() ? std::filesystem::path("/etc") : folder) / "odbc.ini").string();
}

std::filesystem::path UserOdbcIni() {
  if (auto ini = EnvironmentPath("ODBCINI"); !ini.empty()) return ini;
  return AccountHomePath() / ".odbc.ini";
}

namespace {

// A profile value, or nothing where the file has no such key.
std::optional<std::string> ProfileValue(const std::string& section, const std::string& key,
                                        const std::filesystem::path& file) {
  constexpr const char* kMissing = "\x7f";
  std::string value = GetProfileString(section, key, kMissing, 4096, file);
  if (value == kMissing) return std::nullopt;
  return value;
}

std::filesystem::path SystemFolder() {
  const std::filesystem::path folder = EnvironmentPath("ODBCSYSINI");
  return folder.empty() ? std::filesystem::path("/etc") : folder;
}

}  // namespace

std::optional<std::string> DataSourceValue(const std::string& dsn, const std::string& key) {
  const std::string section = Utf8ToCp1251(dsn);
  // The driver manager takes the user's definition of a name first, whole.
  const std::filesystem::path file =
      UserDataSourceDefined(dsn) ? UserOdbcIni() : SystemFolder() / "odbc.ini";
  return ProfileValue(section, key, file);
}

std::string DataSourceDriver(const std::string& dsn) {
  const std::string driver = DataSourceValue(dsn, "Driver").value_or("");
  if (driver.empty()) return {};
  return driver + " " +
         ProfileValue(driver, "Driver", SystemFolder() / "odbcinst.ini").value_or("");
}

std::string UserDataSourceDatabase(const std::string& dsn) {
  return Cp1251ToUtf8(GetProfileString(Utf8ToCp1251(dsn), "Database", "", 4096, UserOdbcIni()));
}

InitResult RegisterUserDataSource(const std::string& dsn, const std::filesystem::path& file) {
  // A data source of a driver that is not there would only fail to open, and
  // stay behind to be refused on the next try.
  const std::vector<std::string> drivers = OdbcDriverNames();
  if (std::none_of(drivers.begin(), drivers.end(), [](const std::string& driver) {
        return EqualNoCase1251(driver, kDsnOptions[0].second);
      }))
    return {false, std::string("the SQLite ODBC driver \"") + kDsnOptions[0].second +
                       "\" is not installed (unixODBC's odbcinst.ini names no such driver): "
                       "install the package libsqliteodbc (as root: apt install libsqliteodbc), "
                       "then run init-catalogue again; nothing was registered"};
  const std::filesystem::path ini = UserOdbcIni();
  const std::string section = Utf8ToCp1251(dsn);
  const std::string wanted = Utf8ToCp1251(file.string());
  for (const auto& [key, value] : kDsnOptions)
    if (!WriteProfileString(section, key, value, ini))
      return {false, "cannot write " + ini.string()};
  if (!WriteProfileString(section, "Database", wanted, ini))
    return {false, "cannot write " + ini.string()};
  return {true, "registered the data source \"" + dsn + "\" in " + ini.string()};
}

}  // namespace korvel
