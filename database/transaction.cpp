#include "database/transaction.h"

namespace korvel {

CTransaction::CTransaction(CDatabase& database) : m_database(database) {
  m_database.BeginTransaction();
}

CTransaction::~CTransaction() {
  if (!m_done) m_database.EndTransaction(false);
}

void CTransaction::Commit() {
  m_done = true;
  m_database.EndTransaction(true);
}

}  // namespace korvel
