#include <windows.h>
// After windows.h, which it needs.
#include <odbcinst.h>

#include <algorithm>
#include <string>

#include "database/data_source_names.h"
#include "database/embedded_catalogue.h"
#include "platform/native_path.h"
#include "platform/text1251.h"
#include "platform/wide_text.h"

namespace korvel {
namespace {

// The name the SQLite ODBC driver's Windows installer gives it.
constexpr const wchar_t* kDriver = L"SQLite3 ODBC Driver";

// What the installer said about its last failure.
std::string InstallerError() {
  std::string text;
  for (WORD record = 1; record <= 8; ++record) {
    DWORD code = 0;
    wchar_t message[SQL_MAX_MESSAGE_LENGTH] = {};
    WORD length = 0;
    if (SQLInstallerErrorW(record, &code, message, SQL_MAX_MESSAGE_LENGTH, &length) != SQL_SUCCESS)
      break;
    text += (text.empty() ? "" : "; ") + Utf8FromWide(message);
  }
  return text.empty() ? "no reason given" : text;
}

}  // namespace

bool UserDataSourceDefined(const std::string& dsn) {
  const std::vector<std::string> names = DataSourceNames(DataSourceScope::kUser);
  return std::any_of(names.begin(), names.end(),
                     [&](const std::string& name) { return EqualNoCase1251(name, dsn); });
}

std::string DataSourcePlace(DataSourceScope scope) {
  return scope == DataSourceScope::kUser
             ? "the user data sources (HKEY_CURRENT_USER\\Software\\ODBC)"
             : "the system data sources (HKEY_LOCAL_MACHINE\\Software\\ODBC)";
}

std::string UserDataSourceDatabase(const std::string& dsn) {
  SQLSetConfigMode(ODBC_USER_DSN);
  wchar_t registered[4096] = {};
  SQLGetPrivateProfileStringW(WideFromUtf8(dsn).c_str(), L"Database", L"", registered, 4096,
                              L"ODBC.INI");
  SQLSetConfigMode(ODBC_BOTH_DSN);
  return Utf8FromWide(registered);
}

std::optional<std::string> DataSourceValue(const std::string& dsn, const std::string& key) {
  constexpr const wchar_t* kMissing = L"\x7f";
  wchar_t value[4096] = {};
  SQLGetPrivateProfileStringW(WideFromUtf8(dsn).c_str(), WideFromUtf8(key).c_str(), kMissing, value,
                              4096, L"ODBC.INI");
  if (std::wstring(value) == kMissing) return std::nullopt;
  return Utf8FromWide(value);
}

// The registry keeps the driver's library under the data source.
std::string DataSourceDriver(const std::string& dsn) {
  return DataSourceValue(dsn, "Driver").value_or("");
}

InitResult RegisterUserDataSource(const std::string& dsn, const std::filesystem::path& file) {
  const std::wstring name = WideFromUtf8(dsn);
  const std::string where = "the user data sources";
  const std::wstring wanted = file.native();
  // The driver's setup writes the data source: key=value pairs, each ended by
  // a NUL, the list by another. WAL and NORMAL as on every system.
  std::wstring attributes = L"DSN=" + name + L'\0' + L"Description=korvel2tqf embedded catalogue" +
                            L'\0' + L"Database=" + wanted + L'\0' + L"JournalMode=WAL" + L'\0' +
                            L"SyncPragma=NORMAL" + L'\0' + L"Timeout=15000" + L'\0' + L'\0';
  if (!SQLConfigDataSourceW(nullptr, ODBC_ADD_DSN, kDriver, attributes.c_str()))
    return {false, "cannot register the data source \"" + dsn + "\" of the driver \"" +
                       Utf8FromWide(kDriver) + "\": " + InstallerError() +
                       "\nInstall the 64-bit SQLite ODBC driver (sqliteodbc_w64.exe, from "
                       "http://www.ch-werner.de/sqliteodbc/) and run init-catalogue again; or "
                       "add the user data source \"" +
                       dsn + "\" of the driver \"" + Utf8FromWide(kDriver) + "\" for " +
                       DisplayPath(file) +
                       " by hand in the ODBC Data Source Administrator (odbcad32.exe; under "
                       "Wine, which has none, write it with 'wine regedit' under "
                       "HKEY_CURRENT_USER\\Software\\ODBC\\ODBC.INI)"};
  return {true, "registered the data source \"" + dsn + "\" in " + where};
}

}  // namespace korvel
