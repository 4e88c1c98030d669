#pragma once
// A fault between a program and its server: a TCP relay on 127.0.0.1 that
// forwards every connection to a port of the same machine, and can be told
// to stall (stop forwarding, sockets kept open, as a hung server or a silent
// network) or to drop a connection, at once or when the client's stream
// reaches the Nth occurrence of a byte pattern (the Nth "COMMIT", say).

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

namespace korvel::test {

class TcpRelay {
 public:
  enum class Fault { kStall, kDrop };

  // Listens on a free port of 127.0.0.1 for connections to `target_port`.
  explicit TcpRelay(int target_port);
  // Closes every connection.
  ~TcpRelay();
  TcpRelay(const TcpRelay&) = delete;
  TcpRelay& operator=(const TcpRelay&) = delete;

  int Port() const { return m_port; }

  // Stalls every connection open now, in both directions. Connections made
  // later are forwarded (a driver sends its cancel request on a new one).
  void Stall();
  // Arms one fault for the `nth` occurrence (from 1, counted over all
  // connections) of `pattern` in what clients send: the client's write that
  // holds it (a driver sends a message whole) reaches the server, then its
  // connection stalls or is dropped (the client's socket closed; what the
  // server answers is read and thrown away).
  void FaultAt(const std::string& pattern, int nth, Fault fault);
  // The armed fault has struck (or Stall was called).
  bool Struck() const { return m_struck; }
  // Occurrences of the armed pattern seen so far.
  int Seen() const { return m_seen; }
  // Closes every connection, stalled ones included: the server then ends
  // their sessions.
  void DropAll();

 private:
  void Run();

  int m_listener = -1;
  int m_port = 0;
  int m_target = 0;
  std::atomic<bool> m_quit{false};
  std::atomic<bool> m_struck{false};
  std::atomic<int> m_seen{0};
  std::atomic<bool> m_stall_now{false};
  std::atomic<bool> m_drop_now{false};
  std::mutex m_mutex;  // the armed fault
  std::string m_pattern;
  int m_nth = 0;
  Fault m_fault = Fault::kStall;
  std::thread m_thread;
};

}  // namespace korvel::test
