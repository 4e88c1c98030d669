#pragma once
// The one ODBC connection of the program, over the ODBC C API.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

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

// The defaults of ServerTimeouts.
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

  // For another thread that watches the connection while this one waits on
  // the server (StatementWatch). Calls are numbered from 1.
  struct RunningCall {
    std::uint64_t number = 0;
    std::chrono::steady_clock::time_point since;
  };
  std::optional<RunningCall> Running() const;
  // SQLCancel on the statement of call `number`, if that call still runs.
  void CancelCall(std::uint64_t number);
  // Shuts the connection's sockets if call `number` still runs: the call,
  // and every later one of this connection, fails at once.
  void CutConnection(std::uint64_t number);
  // The connection talks to its server through sockets of the process.
  bool OverNetwork() const;

  // Marks one call to the driver, on `statement` (or on the connection
  // alone), as running while it lives.
  class Call {
   public:
    Call(CDatabase& database, SQLHSTMT statement);
    Call(const Call&) = delete;
    Call& operator=(const Call&) = delete;
    ~Call();

   private:
    CDatabase& m_database;
  };

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

  // The call in progress: its number (0: none) and start, and its statement,
  // which m_call_mutex keeps from being freed while it is cancelled.
  mutable std::mutex m_call_mutex;
  std::uint64_t m_calls = 0;
  std::atomic<std::uint64_t> m_running{0};
  std::atomic<std::chrono::steady_clock::rep> m_running_since{0};
  SQLHSTMT m_running_statement = SQL_NULL_HSTMT;
  // The sockets the driver opened for this connection.
  mutable std::mutex m_socket_mutex;
  std::vector<int> m_sockets;
};

}  // namespace korvel
