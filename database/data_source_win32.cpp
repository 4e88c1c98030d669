#include <windows.h>
// After windows.h, which it needs.
#include <odbcinst.h>

#include <string>

#include "database/embedded_catalogue.h"
#include "platform/native_path.h"
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

InitResult RegisterUserDataSource(const std::string& dsn, const std::filesystem::path& file) {
  const std::wstring name = WideFromUtf8(dsn);
  const std::string where = "the user data sources";
  SQLSetConfigMode(ODBC_USER_DSN);
  wchar_t registered[4096] = {};
  SQLGetPrivateProfileStringW(name.c_str(), L"Database", L"", registered, 4096, L"ODBC.INI");
  const std::wstring wanted = file.native();
  SQLSetConfigMode(ODBC_BOTH_DSN);
  if (registered[0] != L'\0' &&
      CompareStringOrdinal(registered, -1, wanted.c_str(), -1, TRUE) != CSTR_EQUAL) {
    return {false, "the data source \"" + dsn + "\" in " + where + " already names " +
                       Utf8FromWide(registered) + "; remove it there or choose that file"};
  }
  if (registered[0] != L'\0')
    return {true, "the data source \"" + dsn + "\" in " + where + " already names this file"};
  // The driver's setup writes the data source: key=value pairs, each ended by
  // a NUL, the list by another. WAL and NORMAL as on every system.
  std::wstring attributes = L"DSN=" + name + L'\0' + L"Description=korvel2tqf embedded catalogue" +
                            L'\0' + L"Database=" + wanted + L'\0' + L"JournalMode=WAL" + L'\0' +
                            L"SyncPragma=NORMAL" + L'\0' + L"Timeout=15000" + L'\0' + L'\0';
  if (!SQLConfigDataSourceW(nullptr, ODBC_ADD_DSN, kDriver, attributes.c_str()))
    return {false, "cannot register the data source \"" + dsn + "\" of the driver \"" +
                       Utf8FromWide(kDriver) + "\" (is it installed?): " + InstallerError()};
  return {true, "registered the data source \"" + dsn + "\" in " + where};
}

}  // namespace korvel
