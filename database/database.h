#pragma once
// The one ODBC connection of the program, over the ODBC C API.

#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "database/odbc_api.h"

namespace korvel {

class CStatement;

enum class DbmsKind { Access = 0, MsSql = 1, Oracle = 2, MySql = 3, Postgres = 4 };

// A text column's character set and collation as the server names them
// (both empty for a column without any, such as a binary one).
struct ColumnCollation {
  std::string charset;
  std::string collation;
};
// A table's columns by upper-case name.
using TableCollations = std::map<std::string, ColumnCollation>;

// The classification of an SQL_DBMS_NAME text; later tests win.
DbmsKind ClassifyDbmsName(const std::string& name);

inline constexpr SQLULEN kLoginTimeoutSeconds = 15;
inline constexpr SQLULEN kQueryTimeoutSeconds = 15;

class CDatabase {
 public:
  enum class OpenResult { Opened, NoData };

  CDatabase();
  CDatabase(const CDatabase&) = delete;
  CDatabase& operator=(const CDatabase&) = delete;
  ~CDatabase();

  // Connects without ever prompting; raises CDBException on a driver error.
  OpenResult OpenEx(const std::string& connect_string);
  void Close();
  bool IsOpen() const { return m_hdbc != SQL_NULL_HDBC; }

  // One statement executed directly; raises CDBException on failure.
  void ExecuteSQL(const std::string& sql);

  // SQL_DBMS_NAME, asked afresh; empty when the driver will not say.
  std::string DbmsName();
  DbmsKind GetDbmsKind();
  // GetDbmsKind as it was when the connection was opened: for statements
  // built at every flush.
  DbmsKind Kind() const { return m_kind; }
  bool IsSqliteConnection() const { return m_sqlite; }
  // The file of an SQLite catalogue (its main database, as SQLite names it);
  // empty for a server or an in-memory database.
  std::string SqliteFile();
  // SQLite counts as Access in DbmsKind; the schema upgrade treats it apart.
  bool IsSqlite();

  SQLHDBC RawHandle() const { return m_hdbc; }

  // The statement for `sql`, prepared on first use and kept with the
  // connection, so that a statement repeated at every flush is parsed once.
  // The caller binds every parameter again before each execution.
  CStatement& Prepared(const std::string& sql);

  // Statements sent to the server since the connection was opened.
  std::uint64_t StatementCount() const { return m_statements; }
  void CountStatement() { ++m_statements; }
  // A transaction is open (CTransaction).
  bool InTransaction() const { return m_transaction_depth > 0; }

  // The collations of a table's columns, learnt once for the connection by
  // whoever needs them (nullptr until then); forgotten when it closes.
  const TableCollations* KnownCollations(const std::string& table) const;
  void RememberCollations(const std::string& table, TableCollations collations);

 private:
  friend class CTransaction;
  // Auto-commit off at the outermost begin; the outermost end commits (when
  // asked and no inner transaction gave up) or rolls back, and turns
  // auto-commit on again. A refused commit rolls back and raises.
  void BeginTransaction();
  void EndTransaction(bool commit);

  SQLHENV m_henv = SQL_NULL_HENV;
  SQLHDBC m_hdbc = SQL_NULL_HDBC;
  std::uint64_t m_statements = 0;
  int m_transaction_depth = 0;
  DbmsKind m_kind = DbmsKind::Access;
  bool m_sqlite = false;
  bool m_rollback_only = false;  // an inner transaction ended without its commit
  std::map<std::string, std::unique_ptr<CStatement>> m_prepared;  // freed before the disconnect
  std::map<std::string, TableCollations> m_collations;
};

}  // namespace korvel
