#include "database/db_exception.h"

#include <algorithm>

namespace korvel {
namespace {

std::string JoinedMessages(const std::vector<DiagnosticRecord>& records) {
  std::string text;
  for (const DiagnosticRecord& r : records) {
    if (!text.empty()) text += '\n';
    text += r.message;
  }
  return text;
}

}  // namespace

CDBException::CDBException(std::string error, std::string sql_state)
    : CDBException(std::vector<DiagnosticRecord>{{std::move(sql_state), 0, std::move(error)}}) {}

CDBException::CDBException(std::vector<DiagnosticRecord> records)
    : CatalogueError(JoinedMessages(records)),
      m_strError(JoinedMessages(records)),
      m_records(std::move(records)) {
  if (m_records.empty()) m_records.push_back({});
}

bool CDBException::HasSqlState(const std::string& state) const {
  return std::any_of(m_records.begin(), m_records.end(),
                     [&](const DiagnosticRecord& r) { return r.sql_state == state; });
}

bool CDBException::ConnectionBroken() const {
  return std::any_of(m_records.begin(), m_records.end(),
                     [](const DiagnosticRecord& r) { return r.sql_state.starts_with("08"); });
}

std::vector<DiagnosticRecord> DiagnosticRecords(SQLSMALLINT handle_type, SQLHANDLE handle) {
  std::vector<DiagnosticRecord> records;
  for (SQLSMALLINT record = 1;; ++record) {
    SQLCHAR state[6] = {};
    SQLINTEGER native = 0;
    SQLCHAR message[1024] = {};
    SQLSMALLINT length = 0;
    const SQLRETURN rc = SQLGetDiagRec(handle_type, handle, record, state, &native, message,
                                       sizeof message, &length);
    if (!Succeeded(rc)) break;
    records.push_back({reinterpret_cast<char*>(state), native, reinterpret_cast<char*>(message)});
  }
  return records;
}

void ThrowOnFailure(SQLRETURN rc, SQLSMALLINT handle_type, SQLHANDLE handle, const char* what) {
  if (Succeeded(rc) || rc == SQL_NO_DATA) return;
  std::vector<DiagnosticRecord> records = DiagnosticRecords(handle_type, handle);
  if (records.empty()) throw CDBException(std::string(what) + " failed", "");
  throw CDBException(std::move(records));
}

}  // namespace korvel
