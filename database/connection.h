#pragma once
// The process-wide connection and how it is opened from the command line's
// values, "tqf.ini" and the built-in defaults.

#include <string>

#include "database/database.h"
#include "platform/notifier.h"

namespace korvel {

extern CDatabase theDatabase;

inline constexpr const char* kApplicationTitle = "korvel2tqf";

struct ConnectionSettings {
  std::string dsn;       // at most 31 characters
  std::string user;      // at most 63
  std::string password;  // UTF-8 and whole: it reaches the driver byte for byte
};

// Values given on the command line win when not empty; then "tqf.ini"; then
// "TQF", "TQF", "KXM". The data source and user are code page 1251, the
// password UTF-8.
ConnectionSettings ResolveConnection(const std::string& dsn, const std::string& user,
                                     const std::string& password);

// UTF-8, as the driver manager takes it.
std::string ConnectString(const ConnectionSettings& settings);
// For a process that opens files where an operator points it (the window):
// an SQLite catalogue's files are never opened outside its driver.
void KeepCatalogueFilesToTheDriver(CDatabase& database);
// A value as a connect string holds it: in braces, "}" doubled, when it has
// ";", "{" or "}" or blanks at an end; as it is otherwise.
std::string ConnectStringValue(const std::string& value);
// The same with the password shown as "***", for messages.
std::string MaskedConnectString(const ConnectionSettings& settings);

// Why a connection failed, for what a caller adds to the driver's message.
enum class OpenFailure {
  kNone,
  kLoginRefused,  // the server refused the user name or the password
  kOther,
};

// Opens `database` and tells the operator why when it cannot; `failure`,
// when given, says which kind of failure it was.
bool OpenDatabase(CDatabase& database, const std::string& dsn, const std::string& user,
                  const std::string& password, Notifier& notifier, OpenFailure* failure = nullptr);
inline bool OpenDatabase(const std::string& dsn, const std::string& user,
                         const std::string& password, Notifier& notifier,
                         OpenFailure* failure = nullptr) {
  return OpenDatabase(theDatabase, dsn, user, password, notifier, failure);
}
inline void CloseDatabase() { theDatabase.Close(); }

}  // namespace korvel
