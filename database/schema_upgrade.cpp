#include "database/schema_upgrade.h"

#include <cstdio>

#include "database/connection.h"
#include "database/db_exception.h"

namespace korvel {

std::string ChangeColumnStatement(const std::string& table, const std::string& column,
                                  const std::string& type, bool present, DbmsKind kind) {
  const char* verb = "ADD";
  const char* type_word = " ";
  if (present) {
    switch (kind) {
      case DbmsKind::Access: verb = "ALTER"; break;
      case DbmsKind::MsSql: verb = "ALTER COLUMN"; break;
      case DbmsKind::Oracle:
      case DbmsKind::MySql: verb = "MODIFY"; break;
      case DbmsKind::Postgres: verb = "ALTER", type_word = "TYPE"; break;
    }
  }
  return "ALTER TABLE " + table + " " + verb + " " + column + " " + type_word + " " + type;
}

bool ColumnExists(CDatabase& database, const std::string& table, const std::string& column) {
  SQLHSTMT statement = SQL_NULL_HSTMT;
  if (!Succeeded(SQLAllocHandle(SQL_HANDLE_STMT, database.RawHandle(), &statement))) return false;
  std::string probe = "select " + column + " from " + table + " where 1=0";
  database.CountStatement();
  const SQLRETURN rc = SQLExecDirect(statement, reinterpret_cast<SQLCHAR*>(probe.data()), SQL_NTS);
  SQLFreeHandle(SQL_HANDLE_STMT, statement);
  return Succeeded(rc);
}

bool AlterColumn(CDatabase& database, const std::string& table, const std::string& column,
                 const std::string& type, Notifier& notifier) {
  const bool present = ColumnExists(database, table, column);
  const DbmsKind kind = present ? database.GetDbmsKind() : DbmsKind::Access;
  try {
    database.ExecuteSQL(ChangeColumnStatement(table, column, type, present, kind));
    return true;
  } catch (const CDBException& e) {
    char text[256];
    std::snprintf(text, sizeof text, "Ошибка добавления поля %s в таблицу %s", column.c_str(),
                  table.c_str());
    notifier.Message(text + e.ErrorText(), kApplicationTitle, MessageIcon::Error);
    return false;
  }
}

int UpgradeSchema(CDatabase& database, Notifier& notifier) {
  const char* float_type = database.GetDbmsKind() == DbmsKind::Access ? "DOUBLE" : "FLOAT";
  int failures = 0;
  failures += !AlterColumn(database, "FILELIST", "LCODE", "VARCHAR(8)", notifier);
  failures += !AlterColumn(database, "FILELIST", "CALPER", float_type, notifier);
  failures += !AlterColumn(database, "FILELIST", "CALIB", float_type, notifier);
  failures += !AlterColumn(database, "FILELIST", "FOFF", "INT", notifier);
  failures += !AlterColumn(database, "FILELIST", "TEND", float_type, notifier);
  return failures;
}

}  // namespace korvel
