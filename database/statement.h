#pragma once
// One ODBC statement with bound parameters: values are never pasted into SQL
// text. Text goes to and from the driver as UTF-8.

#include <sql.h>
#include <sqlext.h>

#include <ctime>
#include <deque>
#include <optional>
#include <string>

#include "database/database.h"

namespace korvel {

class CStatement {
 public:
  explicit CStatement(CDatabase& database);
  CStatement(const CStatement&) = delete;
  CStatement& operator=(const CStatement&) = delete;
  ~CStatement();

  void Prepare(const std::string& sql);
  // Parameters are numbered from 1, in the order of the "?" marks.
  void BindText(int index, const std::string& utf8);
  void BindDouble(int index, double value);
  void BindInt(int index, int value);
  void BindTimestamp(int index, const std::tm& local_time);
  void Execute();
  void ExecDirect(const std::string& sql);
  // The driver's catalogue functions, as result sets to fetch: the columns of
  // a table (SQLColumns) and its indexes (SQLStatistics).
  void Columns(const std::string& table);
  void Statistics(const std::string& table);
  SQLLEN RowCount();

  bool Fetch();
  void CloseCursor();
  std::optional<std::string> GetText(int column);
  std::optional<double> GetDouble(int column);
  std::optional<long> GetLong(int column);
  std::optional<SQL_TIMESTAMP_STRUCT> GetTimestamp(int column);

  SQLHSTMT RawHandle() const { return m_hstmt; }

 private:
  struct Parameter {
    std::string text;
    double number = 0.0;
    SQLINTEGER integer = 0;
    SQL_TIMESTAMP_STRUCT timestamp{};
    SQLLEN indicator = 0;
  };
  Parameter& Slot(int index);
  void Check(SQLRETURN rc, const char* what);

  CDatabase& m_database;
  SQLHSTMT m_hstmt = SQL_NULL_HSTMT;
  std::deque<Parameter> m_parameters;  // stable addresses for the driver
};

}  // namespace korvel
