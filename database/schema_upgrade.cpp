#include "database/schema_upgrade.h"

#include <cstdio>
#include <optional>

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

// What a column of times is turned into by a re-declaration to a double:
// PostgreSQL's EXTRACT(EPOCH ...) counts a timestamp with time zone from its
// instant and one without as UTC, as the catalogue's own times are counted.
// Nothing where the server has no such conversion within its ALTER.
std::optional<std::string> SecondsFromTime(const std::string& column, DbmsKind kind) {
  if (kind == DbmsKind::Postgres) return " USING EXTRACT(EPOCH FROM " + column + ")";
  return std::nullopt;
}

// A column of points in time (a date, a date and time, a timestamp); a time
// of day is none.
bool IsPointInTime(const ColumnDescription& column) {
  switch (column.data_type) {
    case SQL_DATE:  // SQL_DATETIME too
    case SQL_TIMESTAMP:
    case SQL_TYPE_DATE:
    case SQL_TYPE_TIMESTAMP:
      return true;
    default:
      return false;
  }
}

bool IsTimeOfDay(const ColumnDescription& column) {
  return column.data_type == SQL_TIME || column.data_type == SQL_TYPE_TIME;
}

// What a re-declaration must say again to keep the column as it was besides
// its type: MySQL's MODIFY forgets NOT NULL, the default, the comment, and a
// text's charset and collation (it takes the table's); SQL Server's ALTER
// COLUMN the nullability; PostgreSQL's ALTER TYPE a text's collation, and it
// is told how to turn a value into the new type. `kept` names what was kept
// besides nullability, default and comment.
std::string KeptAttributes(CDatabase& database, const std::string& table, const std::string& column,
                           const std::string& type, const ColumnDescription& description,
                           DbmsKind kind, std::string& kept) {
  const bool to_text = type.rfind("VARCHAR", 0) == 0;
  if (kind == DbmsKind::MsSql) return description.nullable ? " NULL" : " NOT NULL";
  if (kind == DbmsKind::Postgres) {
    std::string collate;
    if (to_text && IsTextColumn(description)) {
      CStatement select(database);
      select.Prepare(
          "SELECT collation_name FROM information_schema.columns WHERE table_schema = "
          "current_schema() AND UPPER(table_name) = ? AND UPPER(column_name) = ?");
      select.Bind(1, table);
      select.Bind(2, column);
      select.Execute();
      if (select.Fetch())
        if (const auto own = select.Get<std::string>(1); own && !own->empty()) {
          std::string name;
          for (const char c : *own) name += c == '"' ? std::string("\"\"") : std::string(1, c);
          collate = " COLLATE \"" + name + "\"";
          kept = "its collation " + *own;
        }
      select.CloseCursor();
    }
    if (IsPointInTime(description))
      if (const auto seconds = SecondsFromTime(column, kind)) return collate + *seconds;
    return collate + " USING " + column + "::" + type;
  }
  if (kind != DbmsKind::MySql) return "";
  CStatement select(database);
  select.Prepare(
      "SELECT IS_NULLABLE, COLUMN_DEFAULT, COLUMN_COMMENT, CHARACTER_SET_NAME, COLLATION_NAME "
      "FROM information_schema.COLUMNS WHERE TABLE_SCHEMA = DATABASE() AND UPPER(TABLE_NAME) = ? "
      "AND UPPER(COLUMN_NAME) = ?");
  select.Bind(1, table);
  select.Bind(2, column);
  select.Execute();
  std::string attributes;
  if (!select.Fetch()) return attributes;
  const auto charset = select.Get<std::string>(4);
  const auto collation = select.Get<std::string>(5);
  // The charset and collation come first: MySQL takes them with the type.
  if (to_text && charset && collation) {
    attributes += " CHARACTER SET " + *charset + " COLLATE " + *collation;
    kept = "its charset " + *charset + " and collation " + *collation;
  }
  if (select.Get<std::string>(1).value_or("YES") == "NO") attributes += " NOT NULL";
  // MariaDB writes the default as an expression: a quoted text, a number, NULL.
  if (const auto given = select.Get<std::string>(2)) attributes += " DEFAULT " + *given;
  if (const auto comment = select.Get<std::string>(3); comment && !comment->empty())
    attributes += " COMMENT " + Quoted(*comment);
  return attributes;
}

// A column without a value: a change of its type changes no value's meaning.
bool HoldsNoValue(CDatabase& database, const std::string& table, const std::string& column) {
  CStatement count(database);
  count.ExecDirect("SELECT COUNT(*) FROM " + table + " WHERE " + column + " IS NOT NULL");
  return count.FetchCount() == 0;
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
                   const std::string& type, Holds holds, Notifier& notifier,
                   std::vector<std::string>* changed) {
  const ProbeOutcome probe = ProbeColumn(database, table, column);
  if (probe.state == ColumnProbe::Failed) {
    // Adding a column that may well be there would only hide the real cause.
    ShowError(notifier, "Ошибка проверки поля %s в таблице %s: ", column, table, probe.error);
    return false;
  }
  const bool present = probe.state == ColumnProbe::Present;
  std::string attributes;
  std::string change = table + "." + column + ": added as " + type;
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
    // A server's own cast turns a time into another number (MariaDB's
    // DATETIME 2007-03-01 01:00:00 into 20070301010000): a column of times
    // is converted by its time, or changed only while it holds no value.
    const bool temporal = IsPointInTime(*described) || IsTimeOfDay(*described);
    const bool by_time = IsPointInTime(*described) && holds == Holds::kDouble &&
                         SecondsFromTime(column, kind).has_value();
    std::string how;
    if (temporal && !by_time) {
      if (!HoldsNoValue(database, table, column)) {
        char text[512];
        std::snprintf(text, sizeof text,
                      "Поле %s таблицы %s оставлено как есть (%s): в нём времена, а смена типа "
                      "на %s дала бы числа другого смысла; переведите их в секунды от "
                      "1970-01-01 00:00:00 UTC сами",
                      column.c_str(), table.c_str(), described->type_name.c_str(), type.c_str());
        notifier.Message(text, kApplicationTitle, MessageIcon::Warning);
        return false;
      }
      how = "; it held no value";
    } else if (by_time) {
      how =
          ", each time turned into seconds since 1970-01-01 00:00:00 UTC (a time without time "
          "zone taken as UTC)";
    }
    std::string kept;
    attributes = KeptAttributes(database, table, column, type, *described, kind, kept);
    change = table + "." + column + ": " + described->type_name + " declared again as " + type +
             (kept.empty() ? "" : ", keeping " + kept) + how;
  }
  const DbmsKind kind = present ? database.GetDbmsKind() : DbmsKind::Access;
  try {
    const StrictSession strict(database);
    database.ExecuteSQL(ChangeColumnStatement(table, column, type, present, kind) + attributes);
  } catch (const CDBException& e) {
    ShowError(notifier, "Ошибка добавления поля %s в таблицу %s: ", column, table, e.ErrorText());
    return false;
  }
  if (changed != nullptr) changed->push_back(change);
  return true;
}

}  // namespace

bool AlterColumn(CDatabase& database, const std::string& table, const std::string& column,
                 const std::string& type, Notifier& notifier, std::vector<std::string>* changed) {
  const Holds holds = type.rfind("VARCHAR", 0) == 0 ? Holds::kText8
                      : type == "INT"               ? Holds::kNumber
                                                    : Holds::kDouble;
  return UpgradeColumn(database, table, column, type, holds, notifier, changed);
}

int UpgradeSchema(CDatabase& database, Notifier& notifier, std::vector<std::string>* changed) {
  const DbmsKind kind = database.GetDbmsKind();
  // MySQL's and MariaDB's FLOAT is single precision; elsewhere FLOAT is a double.
  const char* float_type = kind == DbmsKind::Access || kind == DbmsKind::MySql ? "DOUBLE" : "FLOAT";
  int failures = 0;
  failures += !AlterColumn(database, "FILELIST", "LCODE", "VARCHAR(8)", notifier, changed);
  failures += !AlterColumn(database, "FILELIST", "CALPER", float_type, notifier, changed);
  failures += !AlterColumn(database, "FILELIST", "CALIB", float_type, notifier, changed);
  failures += !AlterColumn(database, "FILELIST", "FOFF", "INT", notifier, changed);
  failures += !AlterColumn(database, "FILELIST", "TEND", float_type, notifier, changed);
  return failures;
}

}  // namespace korvel
