#pragma once
// Statements that change the catalogue together: all of them or none. The
// connection auto-commits every other statement, as the catalogue always
// has; a transaction turns that off for its own lifetime only.

#include "database/database.h"

namespace korvel {

// Opened on construction. A transaction opened while another is open joins
// it: only the outermost commits, and one left without Commit makes the
// outermost roll back too. Leaving the scope without Commit (an exception on
// the way) rolls back everything the transaction did.
class CTransaction {
 public:
  explicit CTransaction(CDatabase& database);
  CTransaction(const CTransaction&) = delete;
  CTransaction& operator=(const CTransaction&) = delete;
  ~CTransaction();

  // Raises CDBException when the database refuses the commit; everything
  // is then rolled back.
  void Commit();

 private:
  CDatabase& m_database;
  bool m_done = false;
};

}  // namespace korvel
