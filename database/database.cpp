#include "database/database.h"

#include <algorithm>
#include <utility>

#include "database/db_exception.h"
#include "database/server_timeouts.h"
#include "database/statement.h"
#include "platform/open_sockets.h"
#include "platform/text1251.h"

namespace korvel {

DbmsKind ClassifyDbmsName(const std::string& name) {
  std::string upper = name;
  std::transform(upper.begin(), upper.end(), upper.begin(), [](char c) { return Upper1251(c); });
  const auto has = [&](const char* part) { return upper.find(part) != std::string::npos; };
  DbmsKind kind = DbmsKind::Access;
  if (has("ACCESS")) kind = DbmsKind::Access;
  if (has("MICROSOFT") && has("SQL")) kind = DbmsKind::MsSql;
  if (has("ORACLE")) kind = DbmsKind::Oracle;
  // MariaDB speaks MySQL's dialect and names itself so.
  if (has("MYSQL") || has("MARIADB")) kind = DbmsKind::MySql;
  if (has("POSTGRES")) kind = DbmsKind::Postgres;
  return kind;
}

namespace {

// What each server's session needs beyond the driver's defaults.
void SetUpSession(CDatabase& database, DbmsKind kind) {
  if (kind == DbmsKind::MySql) {
    // Outside strict mode a text too long for its column is cut and an
    // impossible time stored as zero, both reported as success: every
    // statement runs strict, the server's other modes kept.
    database.ExecuteSQL(
        "SET SESSION sql_mode = CONCAT_WS(',', NULLIF(@@SESSION.sql_mode, ''), "
        "'STRICT_ALL_TABLES')");
  } else if (kind == DbmsKind::Postgres) {
    // As on MariaDB: a database whose default is serializable would fail
    // concurrent converters' groups that read committed lets through.
    database.ExecuteSQL(
        "SET SESSION CHARACTERISTICS AS TRANSACTION ISOLATION LEVEL READ COMMITTED");
  }
}

}  // namespace

CDatabase::CDatabase() = default;
CDatabase::~CDatabase() { Close(); }

CDatabase::OpenResult CDatabase::OpenEx(const std::string& connect_string) {
  Close();
  SQLRETURN rc = SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &m_henv);
  if (!Succeeded(rc)) throw CDBException("cannot allocate an ODBC environment", "");
  SQLSetEnvAttr(m_henv, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
  rc = SQLAllocHandle(SQL_HANDLE_DBC, m_henv, &m_hdbc);
  if (!Succeeded(rc)) {
    std::vector<DiagnosticRecord> records = DiagnosticRecords(SQL_HANDLE_ENV, m_henv);
    Close();
    if (records.empty()) throw CDBException("cannot allocate an ODBC connection", "");
    throw CDBException(std::move(records));
  }
  // Not every driver knows these; where one does, a server that does not
  // answer cannot hold the program for good.
  const ServerTimeouts timeouts = CurrentServerTimeouts();
  SQLSetConnectAttr(m_hdbc, SQL_ATTR_LOGIN_TIMEOUT,
                    reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(timeouts.login_seconds)), 0);
  SQLSetConnectAttr(
      m_hdbc, SQL_ATTR_CONNECTION_TIMEOUT,
      reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(timeouts.CallLimit().count())), 0);

  SQLCHAR out[1024];
  SQLSMALLINT out_length = 0;
  std::string in = connect_string;
  // The sockets that appear while connecting are the driver's for this
  // connection: they are shut when a call on it hangs.
  const std::vector<int> sockets_before = OpenSockets();
  {
    Call connecting(*this, SQL_NULL_HSTMT);
    rc = SQLDriverConnect(m_hdbc, nullptr, reinterpret_cast<SQLCHAR*>(in.data()), SQL_NTS, out,
                          sizeof out, &out_length, SQL_DRIVER_NOPROMPT);
  }
  if (rc == SQL_NO_DATA) {
    SQLFreeHandle(SQL_HANDLE_DBC, m_hdbc);
    m_hdbc = SQL_NULL_HDBC;
    Close();
    return OpenResult::NoData;
  }
  if (!Succeeded(rc)) {
    std::vector<DiagnosticRecord> records = DiagnosticRecords(SQL_HANDLE_DBC, m_hdbc);
    SQLFreeHandle(SQL_HANDLE_DBC, m_hdbc);
    m_hdbc = SQL_NULL_HDBC;
    Close();
    if (records.empty()) throw CDBException("the connection failed", "");
    throw CDBException(std::move(records));
  }
  {
    std::vector<int> sockets;
    for (const int socket : OpenSockets())
      if (std::find(sockets_before.begin(), sockets_before.end(), socket) == sockets_before.end())
        sockets.push_back(socket);
    const std::lock_guard lock(m_socket_mutex);
    m_sockets = std::move(sockets);
  }
  m_kind = GetDbmsKind();
  m_sqlite = IsSqlite();
  // InnoDB's default isolation locks the gaps between index entries that a
  // transaction searched: a converter's open transaction would hold up
  // another station's inserts. Read committed locks the rows it changes only.
  if (m_kind == DbmsKind::MySql)
    SQLSetConnectAttr(m_hdbc, SQL_ATTR_TXN_ISOLATION,
                      reinterpret_cast<SQLPOINTER>(SQL_TXN_READ_COMMITTED), 0);
  try {
    SetUpSession(*this, m_kind);
  } catch (const CDBException&) {
    Close();
    throw;
  }
  m_statements = 0;
  return OpenResult::Opened;
}

void CDatabase::BeginTransaction() {
  if (!IsOpen()) throw CDBException("the database is not open", "08003");
  if (m_transaction_depth++ > 0) return;
  m_rollback_only = false;
  SQLRETURN rc;
  {
    Call beginning(*this, SQL_NULL_HSTMT);
    rc = SQLSetConnectAttr(m_hdbc, SQL_ATTR_AUTOCOMMIT,
                           reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_OFF), 0);
  }
  if (!Succeeded(rc)) {
    m_transaction_depth = 0;
    ThrowOnFailure(rc, SQL_HANDLE_DBC, m_hdbc, "SQLSetConnectAttr");
  }
}

void CDatabase::EndTransaction(bool commit) {
  if (m_transaction_depth == 0) return;
  if (--m_transaction_depth > 0) {
    m_rollback_only = m_rollback_only || !commit;
    return;
  }
  const bool committing = commit && !m_rollback_only;
  Call ending(*this, SQL_NULL_HSTMT);
  SQLRETURN rc = SQLEndTran(SQL_HANDLE_DBC, m_hdbc, committing ? SQL_COMMIT : SQL_ROLLBACK);
  std::vector<DiagnosticRecord> refused;
  if (committing && !Succeeded(rc)) {
    refused = DiagnosticRecords(SQL_HANDLE_DBC, m_hdbc);
    SQLEndTran(SQL_HANDLE_DBC, m_hdbc, SQL_ROLLBACK);
  }
  SQLSetConnectAttr(m_hdbc, SQL_ATTR_AUTOCOMMIT, reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_ON),
                    0);
  if (commit && m_rollback_only)
    throw CDBException("an inner part of the transaction failed: nothing was committed", "25000");
  if (!refused.empty()) throw CDBException(std::move(refused));
  if (committing && !Succeeded(rc)) throw CDBException("the commit was refused", "40000");
}

std::string CDatabase::SqliteFile() {
  if (!m_sqlite) return {};
  CStatement list(*this);
  list.ExecDirect("PRAGMA database_list");
  while (list.Fetch())
    if (list.Get<std::string>(2) == "main") return list.Get<std::string>(3).value_or("");
  return {};
}

void CDatabase::Close() {
  m_prepared.clear();
  m_collations.clear();
  m_transaction_depth = 0;
  {
    const std::lock_guard lock(m_socket_mutex);
    m_sockets.clear();
  }
  if (m_hdbc != SQL_NULL_HDBC) {
    SQLDisconnect(m_hdbc);
    SQLFreeHandle(SQL_HANDLE_DBC, m_hdbc);
    m_hdbc = SQL_NULL_HDBC;
  }
  if (m_henv != SQL_NULL_HENV) {
    SQLFreeHandle(SQL_HANDLE_ENV, m_henv);
    m_henv = SQL_NULL_HENV;
  }
}

const TableCollations* CDatabase::KnownCollations(const std::string& table) const {
  const auto found = m_collations.find(table);
  return found == m_collations.end() ? nullptr : &found->second;
}

void CDatabase::RememberCollations(const std::string& table, TableCollations collations) {
  m_collations[table] = std::move(collations);
}

CStatement& CDatabase::Prepared(const std::string& sql) {
  auto found = m_prepared.find(sql);
  if (found != m_prepared.end()) return *found->second;
  auto statement = std::make_unique<CStatement>(*this);
  statement->Prepare(sql);
  return *m_prepared.emplace(sql, std::move(statement)).first->second;
}

void CDatabase::ExecuteSQL(const std::string& sql) {
  CStatement statement(*this);
  statement.ExecDirect(sql);
}

CDatabase::Call::Call(CDatabase& database, SQLHSTMT statement) : m_database(database) {
  const std::lock_guard lock(database.m_call_mutex);
  database.m_running_statement = statement;
  database.m_running_since = std::chrono::steady_clock::now().time_since_epoch().count();
  database.m_running = ++database.m_calls;
}

CDatabase::Call::~Call() {
  const std::lock_guard lock(m_database.m_call_mutex);
  m_database.m_running = 0;
  m_database.m_running_statement = SQL_NULL_HSTMT;
}

std::optional<CDatabase::RunningCall> CDatabase::Running() const {
  // Without the lock, which a cancel in progress may hold for long: the
  // start is written before the number, and read after it.
  const std::uint64_t number = m_running;
  if (number == 0) return std::nullopt;
  const auto since = std::chrono::steady_clock::time_point(
      std::chrono::steady_clock::duration(m_running_since.load()));
  if (m_running != number) return std::nullopt;
  return RunningCall{number, since};
}

void CDatabase::CancelCall(std::uint64_t number) {
  const std::lock_guard lock(m_call_mutex);
  if (m_running == number && m_running_statement != SQL_NULL_HSTMT) SQLCancel(m_running_statement);
}

void CDatabase::CutConnection(std::uint64_t number) {
  const std::lock_guard lock(m_socket_mutex);
  if (m_running != number) return;
  for (const int socket : m_sockets) ShutDownSocket(socket);
}

bool CDatabase::OverNetwork() const {
  const std::lock_guard lock(m_socket_mutex);
  return !m_sockets.empty();
}

std::string CDatabase::DbmsName() {
  SQLCHAR name[256] = {};
  SQLSMALLINT length = 0;
  if (!IsOpen() || !Succeeded(SQLGetInfo(m_hdbc, SQL_DBMS_NAME, name, sizeof name, &length)))
    return "";
  return reinterpret_cast<char*>(name);
}

DbmsKind CDatabase::GetDbmsKind() { return ClassifyDbmsName(DbmsName()); }

bool CDatabase::IsSqlite() { return CharUpper1251(DbmsName()).find("SQLITE") != std::string::npos; }

}  // namespace korvel
