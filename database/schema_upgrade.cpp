#include "database/schema_upgrade.h"

#include <cstdio>

#include "database/catalogue_schema.h"
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

namespace {

// What an optional column must hold.
enum class Holds { kDouble, kText8, kNumber };

bool Suits(const ColumnDescription& column, Holds holds) {
  switch (holds) {
    case Holds::kDouble:
      return KeepsDoubles(column);
    case Holds::kText8:
      return IsTextColumn(column) && (column.size <= 0 || column.size >= 8);
    case Holds::kNumber:
      return IsNumberColumn(column);
  }
  return false;
}

// A value with its quotes doubled, between quotes.
std::string Quoted(const std::string& text) {
  std::string quoted = "'";
  for (const char c : text) quoted += c == '\'' ? std::string("''") : std::string(1, c);
  return quoted + "'";
}

// What a re-declaration must say again to keep the column as it was besides
// its type: MySQL's MODIFY forgets NOT NULL, the default and the comment, and
// SQL Server's ALTER COLUMN the nullability. Elsewhere a type change keeps
// them; PostgreSQL is told how to turn a text into the new type.
std::string KeptAttributes(CDatabase& database, const std::string& table, const std::string& column,
                           const std::string& type, const ColumnDescription& description,
                           DbmsKind kind) {
  if (kind == DbmsKind::MsSql) return description.nullable ? " NULL" : " NOT NULL";
  if (kind == DbmsKind::Postgres) return " USING " + column + "::" + type;
  if (kind != DbmsKind::MySql) return "";
  CStatement select(database);
  select.Prepare(
      "SELECT IS_NULLABLE, COLUMN_DEFAULT, COLUMN_COMMENT FROM information_schema.COLUMNS WHERE "
      "TABLE_SCHEMA = DATABASE() AND UPPER(TABLE_NAME) = ? AND UPPER(COLUMN_NAME) = ?");
  select.Bind(1, table);
  select.Bind(2, column);
  select.Execute();
  std::string kept;
  if (!select.Fetch()) return kept;
  if (select.Get<std::string>(1).value_or("YES") == "NO") kept += " NOT NULL";
  // MariaDB writes the default as an expression: a quoted text, a number, NULL.
  if (const auto given = select.Get<std::string>(2)) kept += " DEFAULT " + *given;
  if (const auto comment = select.Get<std::string>(3); comment && !comment->empty())
    kept += " COMMENT " + Quoted(*comment);
  return kept;
}

// Values longer than `length` characters in a text column that would become
// VARCHAR(length).
bool HoldsLongerValues(CDatabase& database, const std::string& table, const std::string& column,
                       int length, DbmsKind kind) {
  const char* measure = kind == DbmsKind::MySql   ? "CHAR_LENGTH"
                        : kind == DbmsKind::MsSql ? "LEN"
                                                  : "LENGTH";
  CStatement count(database);
  count.ExecDirect("SELECT COUNT(*) FROM " + table + " WHERE " + measure + "(" + column + ") > " +
                   std::to_string(length));
  return count.FetchCount() > 0;
}

// MySQL and MariaDB outside strict mode cut what no longer fits and say
// nothing: the change runs in a strict session, so that it fails instead.
class StrictSession {
 public:
  explicit StrictSession(CDatabase& database) : m_database(database) {
    if (database.Kind() != DbmsKind::MySql) return;
    CStatement mode(database);
    mode.ExecDirect("SELECT @@SESSION.sql_mode");
    if (mode.Fetch()) m_mode = mode.Get<std::string>(1).value_or("");
    mode.CloseCursor();
    database.ExecuteSQL("SET SESSION sql_mode = " + Quoted(m_mode + ",STRICT_ALL_TABLES"));
    m_set = true;
  }
  ~StrictSession() {
    if (!m_set) return;
    try {
      m_database.ExecuteSQL("SET SESSION sql_mode = " + Quoted(m_mode));
    } catch (const CDBException&) {
      // The session ends with the program; nothing else relies on its mode.
    }
  }

 private:
  CDatabase& m_database;
  std::string m_mode;
  bool m_set = false;
};

bool UpgradeColumn(CDatabase& database, const std::string& table, const std::string& column,
                   const std::string& type, Holds holds, Notifier& notifier) {
  const ProbeOutcome probe = ProbeColumn(database, table, column);
  if (probe.state == ColumnProbe::Failed) {
    // Adding a column that may well be there would only hide the real cause.
    ShowError(notifier, "Ошибка проверки поля %s в таблице %s: ", column, table, probe.error);
    return false;
  }
  const bool present = probe.state == ColumnProbe::Present;
  std::string attributes;
  if (present) {
    // SQLite has no column retyping and needs none: a column holds any value.
    if (database.IsSqlite()) return true;
    // A column is declared again only when it cannot hold what it must: a
    // user without the right to alter tables sees nothing when nothing needs it.
    const std::optional<ColumnDescription> described = DescribeColumn(database, table, column);
    if (!described || Suits(*described, holds)) return true;
    const DbmsKind kind = database.GetDbmsKind();
    if (holds == Holds::kText8 && HoldsLongerValues(database, table, column, 8, kind)) {
      char text[256];
      std::snprintf(text, sizeof text,
                    "Поле %s таблицы %s оставлено как есть (%s): в нём есть значения длиннее "
                    "8 знаков",
                    column.c_str(), table.c_str(), described->type_name.c_str());
      notifier.Message(text, kApplicationTitle, MessageIcon::Warning);
      return true;
    }
    attributes = KeptAttributes(database, table, column, type, *described, kind);
  }
  const DbmsKind kind = present ? database.GetDbmsKind() : DbmsKind::Access;
  try {
    const StrictSession strict(database);
    database.ExecuteSQL(ChangeColumnStatement(table, column, type, present, kind) + attributes);
    return true;
  } catch (const CDBException& e) {
    ShowError(notifier, "Ошибка добавления поля %s в таблицу %s: ", column, table, e.ErrorText());
    return false;
  }
}

}  // namespace

bool AlterColumn(CDatabase& database, const std::string& table, const std::string& column,
                 const std::string& type, Notifier& notifier) {
  const Holds holds = type.rfind("VARCHAR", 0) == 0 ? Holds::kText8
                      : type == "INT"               ? Holds::kNumber
                                                    : Holds::kDouble;
  return UpgradeColumn(database, table, column, type, holds, notifier);
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
