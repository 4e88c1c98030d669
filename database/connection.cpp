#include "database/connection.h"

#include "config/settings.h"
#include "database/data_source_names.h"
#include "database/db_exception.h"
#include "database/server_timeouts.h"
#include "platform/native_path.h"
#include "platform/protected_files.h"
#include "platform/text1251.h"

namespace korvel {

CDatabase theDatabase;

namespace {

std::string Cut(const std::string& text, std::size_t field) { return text.substr(0, field); }

// SQLSTATE class 28 is a refused login (MariaDB reports 28000);
// the PostgreSQL driver reports its server's refusal under 08001,
// with the server's text.
bool IsLoginRefusal(const CDBException& e) {
  for (const DiagnosticRecord& record : e.Records())
    if (record.sql_state.rfind("28", 0) == 0 ||
        record.message.find("password authentication failed") != std::string::npos)
      return true;
  return false;
}

}  // namespace

ConnectionSettings ResolveConnection(const std::string& dsn, const std::string& user,
                                     const std::string& password) {
  const ConnectionKeys keys = ReadConnectionKeys();
  return {dsn.empty() ? keys.dsn : Cut(dsn, kDsnLength),
          user.empty() ? keys.user : Cut(user, kUserLength),
          password.empty() ? keys.password : password};
}

std::string ConnectStringValue(const std::string& value) {
  if (value.find_first_of(";{}") == std::string::npos &&
      (value.empty() || (value.front() != ' ' && value.back() != ' ')))
    return value;
  std::string braced = "{";
  for (const char c : value) braced += c == '}' ? std::string("}}") : std::string(1, c);
  return braced + "}";
}

void KeepCatalogueFilesToTheDriver(CDatabase& database) {
  if (const std::string file = database.SqliteFile(); !file.empty())
    ProtectSqliteFiles(Utf8Path(file));
}

std::string ConnectString(const ConnectionSettings& s) {
  // The ini values are code page 1251; the driver manager reads UTF-8 files.
  return Cp1251ToUtf8("DSN=" + ConnectStringValue(s.dsn) + ";UID=" + ConnectStringValue(s.user)) +
         ";PWD=" + ConnectStringValue(s.password) + ";";
}

std::string MaskedConnectString(const ConnectionSettings& s) {
  return "DSN=" + s.dsn + ";UID=" + s.user + ";PWD=***;";
}

bool OpenDatabase(CDatabase& database, const std::string& dsn, const std::string& user,
                  const std::string& password, Notifier& notifier, OpenFailure* failure) {
  const ConnectionSettings settings = ResolveConnection(dsn, user, password);
  // The driver's socket time-outs, where the data source does not set its own.
  const std::string source = Cp1251ToUtf8(settings.dsn);
  const std::string timeout_keys = TimeoutConnectKeys(
      DataSourceDriver(source),
      [&](const std::string& key) { return DataSourceValue(source, key).has_value(); },
      CurrentServerTimeouts());
  OpenFailure kind = OpenFailure::kOther;
  try {
    if (database.OpenEx(ConnectString(settings) + timeout_keys) == CDatabase::OpenResult::Opened)
      kind = OpenFailure::kNone;
    else
      notifier.Message("Ошибка инициализации базы данных", kApplicationTitle, MessageIcon::None);
  } catch (const CDBException& e) {
    notifier.Message(Cp1251ToUtf8(MaskedConnectString(settings)) + "\n" + e.ErrorText(),
                     kApplicationTitle, MessageIcon::Error);
    if (IsLoginRefusal(e)) kind = OpenFailure::kLoginRefused;
  }
  if (failure != nullptr) *failure = kind;
  return kind == OpenFailure::kNone;
}

}  // namespace korvel
