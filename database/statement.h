#pragma once
// One ODBC statement with bound parameters: values are never pasted into SQL
// text. Text goes to and from the driver as UTF-8.

#include <cstdint>
#include <ctime>
#include <deque>
#include <optional>
#include <string>
#include <variant>

#include "database/database.h"
#include "database/odbc_api.h"

namespace korvel {

// How a fixed-size value crosses the ODBC boundary: its C type, the SQL type
// it is sent as, and the column size the driver is told.
template <typename T>
struct OdbcType;
template <>
struct OdbcType<double> {
  static constexpr SQLSMALLINT kCType = SQL_C_DOUBLE, kSqlType = SQL_DOUBLE;
  static constexpr SQLULEN kColumnSize = 0;
};
template <>
struct OdbcType<std::int32_t> {
  static constexpr SQLSMALLINT kCType = SQL_C_SLONG, kSqlType = SQL_INTEGER;
  static constexpr SQLULEN kColumnSize = 0;
};
template <>
struct OdbcType<SQL_TIMESTAMP_STRUCT> {
  static constexpr SQLSMALLINT kCType = SQL_C_TYPE_TIMESTAMP, kSqlType = SQL_TYPE_TIMESTAMP;
  static constexpr SQLULEN kColumnSize = 19;  // yyyy-mm-dd hh:mm:ss, whole seconds
};

// A local time as the driver takes it, whole seconds.
SQL_TIMESTAMP_STRUCT ToTimestamp(const std::tm& local_time);

class CStatement {
 public:
  explicit CStatement(CDatabase& database);
  CStatement(const CStatement&) = delete;
  CStatement& operator=(const CStatement&) = delete;
  ~CStatement();

  void Prepare(const std::string& sql);
  // Parameters are numbered from 1, in the order of the "?" marks; the value
  // is kept until the statement is bound again.
  template <typename T>
  void Bind(int index, const T& value);
  void Bind(int index, const std::string& utf8);
  void Bind(int index, const char* utf8) { Bind(index, std::string(utf8)); }
  void Execute();
  void ExecDirect(const std::string& sql);
  // The driver's catalogue functions, as result sets to fetch: the columns of
  // a table (SQLColumns) and its indexes (SQLStatistics).
  void Columns(const std::string& table);
  void Statistics(const std::string& table);
  SQLLEN RowCount();
  // Columns of the result set (for results whose shape the server chooses).
  int ColumnCount();

  bool Fetch();
  void CloseCursor();
  // An executed "SELECT COUNT(*) ..." read: its one number (0 without a
  // row), the cursor closed again for the statement's next use.
  std::int32_t FetchCount();
  // A column of the current row, numbered from 1; nothing for NULL.
  template <typename T>
  std::optional<T> Get(int column);

 private:
  struct Parameter {
    std::string text;
    std::variant<double, std::int32_t, SQL_TIMESTAMP_STRUCT> value;
    SQLLEN indicator = 0;
  };
  Parameter& Slot(int index);
  void BindSlot(int index, SQLSMALLINT c_type, SQLSMALLINT sql_type, SQLULEN column_size,
                SQLPOINTER data, SQLLEN length, SQLLEN* indicator);
  // SQLGetData into `data`; false for NULL.
  bool GetData(int column, SQLSMALLINT c_type, SQLPOINTER data, SQLLEN size);
  void Check(SQLRETURN rc, const char* what);

  CDatabase& m_database;
  SQLHSTMT m_hstmt = SQL_NULL_HSTMT;
  std::deque<Parameter> m_parameters;  // stable addresses for the driver
};

template <typename T>
void CStatement::Bind(int index, const T& value) {
  Parameter& p = Slot(index);
  p.value = value;
  p.indicator = 0;
  BindSlot(index, OdbcType<T>::kCType, OdbcType<T>::kSqlType, OdbcType<T>::kColumnSize,
           &std::get<T>(p.value), 0, &p.indicator);
}

template <typename T>
std::optional<T> CStatement::Get(int column) {
  T value{};
  if (!GetData(column, OdbcType<T>::kCType, &value, sizeof value)) return std::nullopt;
  return value;
}

// Text comes in pieces of any length.
template <>
std::optional<std::string> CStatement::Get<std::string>(int column);

}  // namespace korvel
