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

bool AlterColumn(CDatabase& database, const std::string& table, const std::string& column,
                 const std::string& type, Notifier& notifier);
// Returns how many of the five columns failed (probe or change).
int UpgradeSchema(CDatabase& database, Notifier& notifier);

}  // namespace korvel
