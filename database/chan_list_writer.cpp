#include "database/chan_list_writer.h"

#include "database/db_exception.h"
#include "database/exact_match.h"
#include "database/file_list.h"
#include "database/statement.h"
#include "database/transaction.h"
#include "platform/local_time.h"
#include "platform/text1251.h"

namespace korvel {

namespace {

constexpr SQLULEN kLockWaitSeconds = kQueryTimeoutSeconds - 2;

// Concurrent add-channels runs over the same recordings must not both find a
// channel missing and both add it; SITECHAN has no unique key to refuse the
// second row (and another program's table may not get one), so the check
// and the insert run one writer at a time, by each server's own means.
class SitechanWriters {
 public:
  explicit SitechanWriters(CDatabase& database) : m_database(database) {
    switch (database.GetDbmsKind()) {
      case DbmsKind::MySql: {
        // A named lock of the session, waited for until just before the
        // statement's own timeout, so that a wait in vain ends as a result.
        CStatement lock(database);
        lock.ExecDirect("SELECT GET_LOCK('korvel2tqf.sitechan', " +
                        std::to_string(kLockWaitSeconds) + ")");
        const std::optional<std::int32_t> obtained =
            lock.Fetch() ? lock.Get<std::int32_t>(1) : std::nullopt;
        lock.CloseCursor();
        // 0 when the wait ran out, NULL on an error: either way another run
        // may be checking the same channels, and an insert now could list one twice.
        if (obtained != 1)
          throw CDBException(
              "SITECHAN: another add-channels run held the server's lock "
              "korvel2tqf.sitechan for " +
                  std::to_string(kLockWaitSeconds) +
                  " s; nothing was added: run add-channels again when it ends",
              "HYT00");
        m_named_lock = true;
        break;
      }
      case DbmsKind::Postgres:
        break;  // the transaction's own advisory lock, below
      default:
        break;
    }
  }
  ~SitechanWriters() {
    if (!m_named_lock) return;
    try {
      m_database.ExecuteSQL("SELECT RELEASE_LOCK('korvel2tqf.sitechan')");
    } catch (const CDBException&) {
      // The lock goes with the session at the latest.
    }
  }
  // Inside the transaction: the lock that ends with it.
  void TakeInTransaction() {
    if (m_database.GetDbmsKind() == DbmsKind::Postgres)
      m_database.ExecuteSQL("SELECT pg_advisory_xact_lock(hashtext('korvel2tqf.sitechan'))");
    else if (m_database.IsSqlite())
      // A write statement takes SQLite's one write lock at its start, rows or none.
      m_database.ExecuteSQL("UPDATE SITECHAN SET STA = STA WHERE 1 = 0");
  }

 private:
  CDatabase& m_database;
  bool m_named_lock = false;
};

}  // namespace

bool AddMissingChannel(CDatabase& database, const std::string& station, const std::string& channel,
                       double sps) {
  const std::string sta = Cp1251ToUtf8(station);
  const std::string chan = Cp1251ToUtf8(channel);
  SitechanWriters writers(database);
  CTransaction transaction(database);
  writers.TakeInTransaction();
  CStatement& present = database.Prepared("SELECT COUNT(*) FROM SITECHAN WHERE " +
                                          ExactMatch(database, "SITECHAN", "STA") + " AND " +
                                          ExactMatch(database, "SITECHAN", "CHAN"));
  BindExact(database, present, 1, {sta, chan});
  present.Execute();
  if (present.FetchCount() > 0) return false;

  CStatement& insert =
      database.Prepared("INSERT INTO SITECHAN (STA, CHAN, SPS, LDDATE) VALUES (?, ?, ?, ?)");
  insert.Bind(1, sta);
  insert.Bind(2, chan);
  insert.Bind(3, sps);
  insert.Bind(4, ToTimestamp(LocalTimeNow()));
  insert.Execute();
  transaction.Commit();
  return true;
}

}  // namespace korvel
