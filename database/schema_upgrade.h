#pragma once
// Brings FILELIST's five optional columns into being or re-declares their
// types, in the dialect of the database system behind the connection.

#include <string>
#include <vector>

#include "database/database.h"
#include "platform/notifier.h"

namespace korvel {

// The statement that adds or re-declares a column.
std::string ChangeColumnStatement(const std::string& table, const std::string& column,
                                  const std::string& type, bool present, DbmsKind kind);

enum class ColumnProbe { Present, Missing, Failed };
struct ProbeOutcome {
  ColumnProbe state = ColumnProbe::Failed;
  std::string error;  // the driver's text when the probe failed
};

// Selects the column from no row. A failure counts as a missing column unless
// the driver says it failed for another reason (no such table, no connection,
// no right to read): that is a failed probe.
ProbeOutcome ProbeColumn(CDatabase& database, const std::string& table, const std::string& column);
bool ColumnExists(CDatabase& database, const std::string& table, const std::string& column);

// A column added or declared again never changes what a value means: a
// re-declared text keeps its charset and collation, and a column of times
// becomes seconds since 1970 by its time where the server can do it in one
// statement (PostgreSQL), or is left as it is with a message. Each change
// made is added to `changed` as one line ("FILELIST.TEND: ..."), when given.
// False when the column failed, or was left without the type it needs.
bool AlterColumn(CDatabase& database, const std::string& table, const std::string& column,
                 const std::string& type, Notifier& notifier,
                 std::vector<std::string>* changed = nullptr);
// Returns how many of the five columns failed (probe or change) or were left
// without the type they need.
int UpgradeSchema(CDatabase& database, Notifier& notifier,
                  std::vector<std::string>* changed = nullptr);

}  // namespace korvel
