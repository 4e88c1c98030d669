#include "database/statement.h"

#include "database/db_exception.h"
#include "database/server_timeouts.h"

namespace korvel {

CStatement::CStatement(CDatabase& database) : m_database(database) {
  if (!database.IsOpen()) throw CDBException("the database is not open", "08003");
  const SQLRETURN rc = SQLAllocHandle(SQL_HANDLE_STMT, database.RawHandle(), &m_hstmt);
  ThrowOnFailure(rc, SQL_HANDLE_DBC, database.RawHandle(), "SQLAllocHandle");
  // Not every driver knows a query time-out; where it does, a hung server
  // cannot stall the operator for good.
  SQLSetStmtAttr(
      m_hstmt, SQL_ATTR_QUERY_TIMEOUT,
      reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(CurrentServerTimeouts().query_seconds)), 0);
}

CStatement::~CStatement() {
  if (m_hstmt != SQL_NULL_HSTMT) SQLFreeHandle(SQL_HANDLE_STMT, m_hstmt);
}

void CStatement::Check(SQLRETURN rc, const char* what) {
  ThrowOnFailure(rc, SQL_HANDLE_STMT, m_hstmt, what);
}

void CStatement::Prepare(const std::string& sql) {
  std::string text = sql;
  const CDatabase::Call call(m_database, m_hstmt);
  Check(SQLPrepare(m_hstmt, reinterpret_cast<SQLCHAR*>(text.data()), SQL_NTS), "SQLPrepare");
}

CStatement::Parameter& CStatement::Slot(int index) {
  while (static_cast<int>(m_parameters.size()) < index) m_parameters.emplace_back();
  return m_parameters[static_cast<std::size_t>(index - 1)];
}

SQL_TIMESTAMP_STRUCT ToTimestamp(const std::tm& t) {
  return {static_cast<SQLSMALLINT>(t.tm_year + 1900),
          static_cast<SQLUSMALLINT>(t.tm_mon + 1),
          static_cast<SQLUSMALLINT>(t.tm_mday),
          static_cast<SQLUSMALLINT>(t.tm_hour),
          static_cast<SQLUSMALLINT>(t.tm_min),
          static_cast<SQLUSMALLINT>(t.tm_sec),
          0};
}

void CStatement::BindSlot(int index, SQLSMALLINT c_type, SQLSMALLINT sql_type, SQLULEN column_size,
                          SQLPOINTER data, SQLLEN length, SQLLEN* indicator) {
  Check(SQLBindParameter(m_hstmt, static_cast<SQLUSMALLINT>(index), SQL_PARAM_INPUT, c_type,
                         sql_type, column_size, 0, data, length, indicator),
        "SQLBindParameter");
}

void CStatement::Bind(int index, const std::string& utf8) {
  Parameter& p = Slot(index);
  p.text = utf8;
  p.indicator = static_cast<SQLLEN>(p.text.size());
  BindSlot(index, SQL_C_CHAR, SQL_VARCHAR, std::max<SQLULEN>(p.text.size(), 1), p.text.data(),
           static_cast<SQLLEN>(p.text.size()), &p.indicator);
}

void CStatement::Execute() {
  SQLFreeStmt(m_hstmt, SQL_CLOSE);  // a kept statement may still hold the last cursor
  m_database.CountStatement();
  const CDatabase::Call call(m_database, m_hstmt);
  Check(SQLExecute(m_hstmt), "SQLExecute");
}

void CStatement::ExecDirect(const std::string& sql) {
  std::string text = sql;
  m_database.CountStatement();
  const CDatabase::Call call(m_database, m_hstmt);
  Check(SQLExecDirect(m_hstmt, reinterpret_cast<SQLCHAR*>(text.data()), SQL_NTS), "SQLExecDirect");
}

void CStatement::Columns(const std::string& table) {
  std::string name = table;
  m_database.CountStatement();
  const CDatabase::Call call(m_database, m_hstmt);
  Check(SQLColumns(m_hstmt, nullptr, 0, nullptr, 0, reinterpret_cast<SQLCHAR*>(name.data()),
                   SQL_NTS, nullptr, 0),
        "SQLColumns");
}

void CStatement::Statistics(const std::string& table) {
  std::string name = table;
  m_database.CountStatement();
  const CDatabase::Call call(m_database, m_hstmt);
  Check(SQLStatistics(m_hstmt, nullptr, 0, nullptr, 0, reinterpret_cast<SQLCHAR*>(name.data()),
                      SQL_NTS, SQL_INDEX_ALL, SQL_QUICK),
        "SQLStatistics");
}

SQLLEN CStatement::RowCount() {
  SQLLEN rows = 0;
  Check(SQLRowCount(m_hstmt, &rows), "SQLRowCount");
  return rows;
}

int CStatement::ColumnCount() {
  SQLSMALLINT columns = 0;
  Check(SQLNumResultCols(m_hstmt, &columns), "SQLNumResultCols");
  return columns;
}

bool CStatement::Fetch() {
  const SQLRETURN rc = [&] {
    const CDatabase::Call call(m_database, m_hstmt);
    return SQLFetch(m_hstmt);
  }();
  if (rc == SQL_NO_DATA) return false;
  Check(rc, "SQLFetch");
  return true;
}

void CStatement::CloseCursor() { SQLFreeStmt(m_hstmt, SQL_CLOSE); }

std::int32_t CStatement::FetchCount() {
  const std::int32_t count = Fetch() ? Get<std::int32_t>(1).value_or(0) : 0;
  CloseCursor();
  return count;
}

bool CStatement::GetData(int column, SQLSMALLINT c_type, SQLPOINTER data, SQLLEN size) {
  SQLLEN indicator = 0;
  const CDatabase::Call call(m_database, m_hstmt);
  Check(SQLGetData(m_hstmt, static_cast<SQLUSMALLINT>(column), c_type, data, size, &indicator),
        "SQLGetData");
  return indicator != SQL_NULL_DATA;
}

template <>
std::optional<std::string> CStatement::Get<std::string>(int column) {
  std::string value;
  char buffer[512];
  for (;;) {
    SQLLEN indicator = 0;
    const CDatabase::Call call(m_database, m_hstmt);
    const SQLRETURN rc = SQLGetData(m_hstmt, static_cast<SQLUSMALLINT>(column), SQL_C_CHAR, buffer,
                                    sizeof buffer, &indicator);
    if (rc == SQL_NO_DATA) break;
    Check(rc, "SQLGetData");
    if (indicator == SQL_NULL_DATA) return std::nullopt;
    const std::size_t got =
        indicator == SQL_NO_TOTAL || indicator >= static_cast<SQLLEN>(sizeof buffer)
            ? sizeof buffer - 1
            : static_cast<std::size_t>(indicator);
    value.append(buffer, got);
    if (rc == SQL_SUCCESS) break;  // with info: truncated, more to come
  }
  return value;
}

}  // namespace korvel
