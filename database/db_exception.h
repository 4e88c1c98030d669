#pragma once
// A database error with the driver's diagnostic text, every record of it.

#include <sql.h>
#include <sqlext.h>

#include <string>

#include "engine/catalogue.h"

namespace korvel {

class CDBException : public CatalogueError {
 public:
  CDBException(std::string error, std::string sql_state)
      : CatalogueError(error), m_strError(std::move(error)), m_strSqlState(std::move(sql_state)) {}

  std::string m_strError;     // UTF-8, the messages of every diagnostic record
  std::string m_strSqlState;  // the first record's SQLSTATE
};

// The text of every diagnostic record of a handle, one message per line.
std::string DiagnosticText(SQLSMALLINT handle_type, SQLHANDLE handle, std::string* first_state = nullptr);

// Raises CDBException for a failed ODBC call.
void ThrowOnFailure(SQLRETURN rc, SQLSMALLINT handle_type, SQLHANDLE handle, const char* what);

inline bool Succeeded(SQLRETURN rc) { return rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO; }

}  // namespace korvel
