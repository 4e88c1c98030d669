#include "database/schema_upgrade.h"

#include <cstdio>

#include "database/connection.h"
#include "database/db_exception.h"
#include "database/statement.h"

namespace korvel {
namespace {

// SQLSTATEs by which drivers say that a name is not a column of the table:
// ODBC 3 and ODBC 2, PostgreSQL's own, and the "too few parameters" of
// drivers that take an unknown name for a parameter marker.
constexpr const char* kNoSuchColumn[] = {"42S22", "S0022", "42703", "07002"};
// States that say nothing about the cause (SQLite gives these for every
// failed statement): the probe then counts as a missing column.
constexpr const char* kUnspecific[] = {"", "HY000", "S1000"};

bool AnyState(const CDBException& e, const auto& states) {
  for (const char* state : states)
    if (e.HasSqlState(state)) return true;
  return false;
}

void ShowError(Notifier& notifier, const char* format, const std::string& column,
               const std::string& table, const std::string& driver_text) {
  char text[256];
  std::snprintf(text, sizeof text, format, column.c_str(), table.c_str());
  notifier.Message(text + driver_text, kApplicationTitle, MessageIcon::Error);
}

}  // namespace

std::string ChangeColumnStatement(const std::string& table, const std::string& column,
                                  const std::string& type, bool present, DbmsKind kind) {
  const char* verb = "ADD";
  const char* type_word = " ";
  if (present) {
    switch (kind) {
      case DbmsKind::Access:
        verb = "ALTER";
        break;
      case DbmsKind::MsSql:
        verb = "ALTER COLUMN";
        break;
      case DbmsKind::Oracle:
      case DbmsKind::MySql:
        verb = "MODIFY";
        break;
      case DbmsKind::Postgres:
        verb = "ALTER", type_word = "TYPE";
        break;
    }
  }
  return "ALTER TABLE " + table + " " + verb + " " + column + " " + type_word + " " + type;
}

ProbeOutcome ProbeColumn(CDatabase& database, const std::string& table, const std::string& column) {
  try {
    CStatement probe(database);
    probe.ExecDirect("select " + column + " from " + table + " where 1=0");
    return {ColumnProbe::Present, ""};
  } catch (const CDBException& e) {
    if (AnyState(e, kNoSuchColumn) || AnyState(e, kUnspecific)) return {ColumnProbe::Missing, ""};
    return {ColumnProbe::Failed, e.ErrorText()};
  }
}

bool ColumnExists(CDatabase& database, const std::string& table, const std::string& column) {
  return ProbeColumn(database, table, column).state == ColumnProbe::Present;
}

bool AlterColumn(CDatabase& database, const std::string& table, const std::string& column,
                 const std::string& type, Notifier& notifier) {
  const ProbeOutcome probe = ProbeColumn(database, table, column);
  if (probe.state == ColumnProbe::Failed) {
    // Adding a column that may well be there would only hide the real cause.
    ShowError(notifier, "Ошибка проверки поля %s в таблице %s: ", column, table, probe.error);
    return false;
  }
  const bool present = probe.state == ColumnProbe::Present;
  // SQLite has no column retyping and needs none: a column holds any value.
  if (present && database.IsSqlite()) return true;
  const DbmsKind kind = present ? database.GetDbmsKind() : DbmsKind::Access;
  try {
    database.ExecuteSQL(ChangeColumnStatement(table, column, type, present, kind));
    return true;
  } catch (const CDBException& e) {
    ShowError(notifier, "Ошибка добавления поля %s в таблицу %s", column, table, e.ErrorText());
    return false;
  }
}

int UpgradeSchema(CDatabase& database, Notifier& notifier) {
  const DbmsKind kind = database.GetDbmsKind();
  // MySQL's and MariaDB's FLOAT is single precision; elsewhere FLOAT is a double.
  const char* float_type = kind == DbmsKind::Access || kind == DbmsKind::MySql ? "DOUBLE" : "FLOAT";
  int failures = 0;
  failures += !AlterColumn(database, "FILELIST", "LCODE", "VARCHAR(8)", notifier);
  failures += !AlterColumn(database, "FILELIST", "CALPER", float_type, notifier);
  failures += !AlterColumn(database, "FILELIST", "CALIB", float_type, notifier);
  failures += !AlterColumn(database, "FILELIST", "FOFF", "INT", notifier);
  failures += !AlterColumn(database, "FILELIST", "TEND", float_type, notifier);
  return failures;
}

}  // namespace korvel
