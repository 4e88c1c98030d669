#include "database/catalogue_schema.h"

#include <map>
#include <string>

#include "database/db_exception.h"
#include "database/statement.h"
#include "platform/text1251.h"

namespace korvel {
namespace {

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return text;
}

// Servers keep unquoted names in their own case: a table is asked for as
// written and in lower case. A driver that says the spelling names no table
// (MariaDB keeps names as written) gives no rows for it.
template <typename Visit>
void ForEachSpelling(const std::string& table, Visit visit) {
  for (const std::string& name : {table, Lower(table)}) {
    try {
      visit(name);
    } catch (const CDBException& e) {
      if (!e.HasSqlState("42S02") && !e.HasSqlState("42P01")) throw;
    }
  }
}

// Every index of `table` as its upper-case column list, "A, B".
std::vector<std::string> IndexColumns(CDatabase& database, const std::string& table) {
  std::map<std::string, std::map<long, std::string>> indexes;
  ForEachSpelling(table, [&](const std::string& name) {
    CStatement statement(database);
    statement.Statistics(name);
    while (statement.Fetch()) {
      const auto index = statement.Get<std::string>(6);
      const auto position = statement.Get<std::int32_t>(8);
      const auto column = statement.Get<std::string>(9);
      if (!index || !position || !column) continue;  // the table's own statistics row
      indexes[name + "." + *index][*position] = CharUpper1251(*column);
    }
  });
  std::vector<std::string> lists;
  for (const auto& [index, columns] : indexes) {
    std::string list;
    for (const auto& [position, column] : columns) list += (list.empty() ? "" : ", ") + column;
    lists.push_back(list);
  }
  return lists;
}

}  // namespace

// Whether an ODBC column of this type keeps every double as it is.
bool KeepsDoubles(const ColumnDescription& c) {
  const long size = c.size, decimals = c.decimals, radix = c.radix;
  switch (c.data_type) {
    case SQL_DOUBLE:
    case SQL_FLOAT:
      // Binary precision in bits, or decimal digits.
      return radix == 2 ? size >= 53 : size >= 15;
    case SQL_DECIMAL:
    case SQL_NUMERIC:
      // Start times need ten whole digits and six after the point.
      return size >= 16 && decimals >= 6;
    default:
      return false;  // REAL, the integers, texts
  }
}

bool IsTextColumn(const ColumnDescription& c) {
  switch (c.data_type) {
    case SQL_CHAR:
    case SQL_VARCHAR:
    case SQL_LONGVARCHAR:
    case SQL_WCHAR:
    case SQL_WVARCHAR:
    case SQL_WLONGVARCHAR:
      return true;
    default:
      return false;
  }
}

bool IsNumberColumn(const ColumnDescription& c) {
  switch (c.data_type) {
    case SQL_TINYINT:
    case SQL_SMALLINT:
    case SQL_INTEGER:
    case SQL_BIGINT:
    case SQL_NUMERIC:
    case SQL_DECIMAL:
    case SQL_REAL:
    case SQL_FLOAT:
    case SQL_DOUBLE:
      return true;
    default:
      return false;
  }
}

namespace {

// Every column of FILELIST as the driver describes it, by upper-case name.
std::map<std::string, ColumnDescription> DescribeColumns(CDatabase& database,
                                                         const std::string& table) {
  std::map<std::string, ColumnDescription> columns;
  ForEachSpelling(table, [&](const std::string& name) {
    CStatement statement(database);
    statement.Columns(name);
    while (statement.Fetch()) {
      const std::string column = CharUpper1251(statement.Get<std::string>(4).value_or(""));
      if (columns.contains(column)) continue;
      ColumnDescription d;
      d.data_type = statement.Get<std::int32_t>(5).value_or(0);
      d.type_name = statement.Get<std::string>(6).value_or("?");
      d.size = statement.Get<std::int32_t>(7).value_or(0);
      d.decimals = statement.Get<std::int32_t>(9).value_or(0);
      d.radix = statement.Get<std::int32_t>(10).value_or(10);
      d.nullable = statement.Get<std::int32_t>(11).value_or(SQL_NULLABLE) != SQL_NO_NULLS;
      columns[column] = d;
    }
  });
  return columns;
}

}  // namespace

std::optional<ColumnDescription> DescribeColumn(CDatabase& database, const std::string& table,
                                                const std::string& column) {
  try {
    const auto columns = DescribeColumns(database, table);
    const auto found = columns.find(CharUpper1251(column));
    if (found == columns.end()) return std::nullopt;
    return found->second;
  } catch (const CDBException&) {
    return std::nullopt;
  }
}

std::vector<std::string> CaseBlindFileListColumns(CDatabase& database) {
  if (database.Kind() != DbmsKind::MySql) return {};
  CStatement select(database);
  select.ExecDirect(
      "SELECT COLUMN_NAME, COLLATION_NAME FROM information_schema.COLUMNS WHERE TABLE_SCHEMA = "
      "DATABASE() AND UPPER(TABLE_NAME) = 'FILELIST' AND UPPER(COLUMN_NAME) IN ('CPATH', 'STA', "
      "'CH', 'CREATER') ORDER BY ORDINAL_POSITION");
  std::vector<std::string> blind;
  while (select.Fetch()) {
    const std::string column = select.Get<std::string>(1).value_or("");
    const std::string collation = select.Get<std::string>(2).value_or("");
    if (collation.size() >= 3 && collation.compare(collation.size() - 3, 3, "_ci") == 0)
      blind.push_back(CharUpper1251(column) + " (" + collation + ")");
  }
  return blind;
}

void RefuseQuotedCatalogueTables(CDatabase& database) {
  if (database.GetDbmsKind() != DbmsKind::Postgres) return;
  for (const char* table : {"FILELIST", "SITECHAN"}) {
    const std::string lower = Lower(table);
    CStatement found(database);
    found.ExecDirect(std::string("SELECT COUNT(*) WHERE to_regclass('\"") + table +
                     "\"') IS NOT NULL AND to_regclass('" + lower + "') IS NULL");
    if (found.FetchCount() == 0) continue;
    throw CDBException(std::string("the table \"") + table +
                           "\" was created with its name in quotes, in upper case, and the "
                           "program's statements name it without quotes, which PostgreSQL reads "
                           "as " +
                           lower + ": rename it once, as its owner: ALTER TABLE \"" + table +
                           "\" RENAME TO " + lower + "; nothing was read or changed",
                       "42P01");
  }
}

void CreateCatalogueTables(CDatabase& database) {
  RefuseQuotedCatalogueTables(database);
  // DOUBLE PRECISION is a double everywhere; FLOAT is single precision on
  // MySQL and MariaDB. MySQL's TIMESTAMP would be moved by the session's time
  // zone and ends in 2038, and its default collation ignores case, which
  // would let the path of one file stand for another's.
  const bool mysql = database.GetDbmsKind() == DbmsKind::MySql;
  const std::string timestamp = mysql ? "DATETIME" : "TIMESTAMP";
  const std::string options = mysql ? " CHARACTER SET utf8mb4 COLLATE utf8mb4_bin" : "";
  database.ExecuteSQL(
      "CREATE TABLE IF NOT EXISTS FILELIST ("
      "STA VARCHAR(16), SPS DOUBLE PRECISION, GAIN INT, CPATH VARCHAR(255), DATATYPE INT, CH "
      "VARCHAR(24), "
      "CREATER VARCHAR(16), LDDATE " +
      timestamp +
      ", TBEGIN DOUBLE PRECISION, TQTY DOUBLE PRECISION, "
      "CALIB DOUBLE PRECISION, CALPER DOUBLE PRECISION, FOFF INT, LCODE VARCHAR(8), TEND DOUBLE "
      "PRECISION)" +
      options);
  database.ExecuteSQL(
      "CREATE TABLE IF NOT EXISTS SITECHAN ("
      "STA VARCHAR(16), CHAN VARCHAR(24), NGROUP INT, CHANINDEX INT, EDEPH DOUBLE PRECISION, "
      "LAT DOUBLE PRECISION, LON DOUBLE PRECISION, SPS DOUBLE PRECISION, HANG DOUBLE PRECISION, "
      "VANG DOUBLE PRECISION, DESCR VARCHAR(255), CALIBFILE VARCHAR(255), LDDATE " +
      timestamp + ")" + options);
  for (const CatalogueIndex& index : kCatalogueIndexes)
    database.ExecuteSQL(std::string("CREATE INDEX IF NOT EXISTS ") + index.name + " ON " +
                        index.table + " (" + index.columns + ")");
}

std::vector<CatalogueIndex> MissingCatalogueIndexes(CDatabase& database) {
  std::map<std::string, std::vector<std::string>> by_table;
  for (const CatalogueIndex& index : kCatalogueIndexes)
    if (!by_table.contains(index.table))
      by_table[index.table] = IndexColumns(database, index.table);
  std::vector<CatalogueIndex> missing;
  for (const CatalogueIndex& index : kCatalogueIndexes) {
    bool found = false;
    for (const std::string& list : by_table[index.table])
      found =
          found || list == index.columns || list.rfind(std::string(index.columns) + ", ", 0) == 0;
    if (!found) missing.push_back(index);
  }
  return missing;
}

std::vector<LossyColumn> LossyFileListColumns(CDatabase& database) {
  // SQLite keeps every such number as an eight-byte double, whatever the
  // declared type says.
  if (database.IsSqlite()) return {};
  std::vector<LossyColumn> lossy;
  const auto columns = DescribeColumns(database, "FILELIST");
  for (const char* name : kDoubleColumns) {
    const auto found = columns.find(name);
    if (found == columns.end() || KeepsDoubles(found->second)) continue;
    lossy.push_back(
        {name, found->second.type_name + "(" + std::to_string(found->second.size) + ")"});
  }
  return lossy;
}

}  // namespace korvel
