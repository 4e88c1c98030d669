#include "database/db_exception.h"

namespace korvel {

std::string DiagnosticText(SQLSMALLINT handle_type, SQLHANDLE handle, std::string* first_state) {
  std::string text;
  for (SQLSMALLINT record = 1;; ++record) {
    SQLCHAR state[6] = {};
    SQLINTEGER native = 0;
    SQLCHAR message[1024] = {};
    SQLSMALLINT length = 0;
    const SQLRETURN rc = SQLGetDiagRec(handle_type, handle, record, state, &native, message,
                                       sizeof message, &length);
    if (!Succeeded(rc)) break;
    if (record == 1 && first_state != nullptr) *first_state = reinterpret_cast<char*>(state);
    if (!text.empty()) text += '\n';
    text += reinterpret_cast<char*>(message);
  }
  return text;
}

void ThrowOnFailure(SQLRETURN rc, SQLSMALLINT handle_type, SQLHANDLE handle, const char* what) {
  if (Succeeded(rc) || rc == SQL_NO_DATA) return;
  std::string state;
  std::string text = DiagnosticText(handle_type, handle, &state);
  if (text.empty()) text = std::string(what) + " failed";
  throw CDBException(std::move(text), std::move(state));
}

}  // namespace korvel
