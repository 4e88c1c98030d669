#pragma once
// A thread that watches a connection while the program's own thread waits
// on its server, so that a server that stopped answering, or a network that
// went silent, cannot hold a converter (and its station lock) for long.
//
// A call that runs past the query time-out and its reserve, or for a second
// after a stop request, is cancelled (SQLCancel, from this thread); one that
// a cancel does not end within two seconds has its connection's sockets
// shut. The waiting call then fails like any other catalogue error, and the
// writer settles files and rows as it does after one. A connection without
// sockets (SQLite) is only cancelled on a stop request: its driver's own busy
// time-out bounds a wait for a lock.

#include <atomic>
#include <cstdint>
#include <thread>

#include "database/database.h"
#include "database/server_timeouts.h"

namespace korvel {

class StatementWatch {
 public:
  explicit StatementWatch(CDatabase& database);
  StatementWatch(const StatementWatch&) = delete;
  StatementWatch& operator=(const StatementWatch&) = delete;
  ~StatementWatch();

 private:
  void Watch();
  // SQLCancel may itself wait on the network: it runs on a thread of its own
  // so that this one can still shut the connection.
  void Cancel(std::uint64_t call);

  CDatabase& m_database;
  const ServerTimeouts m_timeouts;
  std::atomic<bool> m_quit{false};
  std::atomic<bool> m_cancelling{false};
  std::thread m_canceller;
  std::thread m_thread;
};

}  // namespace korvel
