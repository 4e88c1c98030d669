#pragma once
// Brings FILELIST's five optional columns into being or re-declares their
// types, in the dialect of the database system behind the connection.

#include <string>

#include "database/database.h"
#include "platform/notifier.h"

namespace korvel {

// The statement that adds or re-declares a column.
std::string ChangeColumnStatement(const std::string& table, const std::string& column,
                                  const std::string& type, bool present, DbmsKind kind);

bool ColumnExists(CDatabase& database, const std::string& table, const std::string& column);
bool AlterColumn(CDatabase& database, const std::string& table, const std::string& column,
                 const std::string& type, Notifier& notifier);
// Returns how many of the five changes failed.
int UpgradeSchema(CDatabase& database, Notifier& notifier);

}  // namespace korvel
