#pragma once
// A database error with the driver's diagnostics, every record of it.

#include <string>
#include <vector>

#include "database/odbc_api.h"
#include "engine/catalogue.h"

namespace korvel {

// One diagnostic record as SQLGetDiagRec gives it.
struct DiagnosticRecord {
  std::string sql_state;  // five characters; empty when the driver gave none
  SQLINTEGER native_error = 0;
  std::string message;  // the driver's text
};

class CDBException : public CatalogueError {
 public:
  // An error of this program's own making, with no driver behind it.
  CDBException(std::string error, std::string sql_state);
  // The records of a failed call, in the driver's order; at least one.
  explicit CDBException(std::vector<DiagnosticRecord> records);

  // The messages of every record, one a line: what the operator is shown.
  const std::string& ErrorText() const { return m_strError; }
  // The first record's SQLSTATE and native code.
  const std::string& SqlState() const { return m_records.front().sql_state; }
  SQLINTEGER NativeError() const { return m_records.front().native_error; }
  const std::vector<DiagnosticRecord>& Records() const { return m_records; }
  // Whether any record carries `state`.
  bool HasSqlState(const std::string& state) const;
  // Any record of the connection-exception class (SQLSTATE 08...).
  bool ConnectionBroken() const override;

 private:
  std::string m_strError;
  std::vector<DiagnosticRecord> m_records;
};

// Every diagnostic record of a handle.
std::vector<DiagnosticRecord> DiagnosticRecords(SQLSMALLINT handle_type, SQLHANDLE handle);

// Raises CDBException for a failed ODBC call; `what` names the call when the
// driver left no record.
void ThrowOnFailure(SQLRETURN rc, SQLSMALLINT handle_type, SQLHANDLE handle, const char* what);

inline bool Succeeded(SQLRETURN rc) { return rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO; }

}  // namespace korvel
