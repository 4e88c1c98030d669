#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <list>
#include <optional>
#include <stdexcept>
#include <vector>

#include "tests/support/tcp_relay.h"

namespace korvel::test {
namespace {

sockaddr_in Loopback(int port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return address;
}

bool SendAll(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t sent = send(fd, data, size, MSG_NOSIGNAL);
    if (sent <= 0) return false;
    data += sent;
    size -= static_cast<std::size_t>(sent);
  }
  return true;
}

struct Connection {
  int client = -1;
  int server = -1;
  bool stalled = false;
  bool draining = false;  // dropped: the client is gone, the server's replies are read and lost
  std::string tail;       // the client's last bytes, for an occurrence split between reads
  void Close() {
    if (client >= 0) close(client);
    if (server >= 0) close(server);
    client = server = -1;
  }
};

}  // namespace

TcpRelay::TcpRelay(int target_port) : m_target(target_port) {
  m_listener = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address = Loopback(0);
  socklen_t length = sizeof address;
  if (m_listener < 0 ||
      bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      listen(m_listener, 16) != 0 ||
      getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length) != 0)
    throw std::runtime_error("the relay cannot listen");
  m_port = ntohs(address.sin_port);
  m_thread = std::thread([this] { Run(); });
}

TcpRelay::~TcpRelay() {
  m_quit = true;
  m_thread.join();
  close(m_listener);
}

void TcpRelay::Stall() {
  m_stall_now = true;
  m_struck = true;
}

void TcpRelay::FaultAt(const std::string& pattern, int nth, Fault fault) {
  const std::lock_guard lock(m_mutex);
  m_pattern = pattern;
  m_nth = nth;
  m_fault = fault;
  m_seen = 0;
  m_struck = false;
}

void TcpRelay::DropAll() {
  m_drop_now = true;
  while (m_drop_now) std::this_thread::sleep_for(std::chrono::milliseconds(5));
}

void TcpRelay::Run() {
  std::list<Connection> connections;
  std::vector<char> buffer(65536);
  while (!m_quit) {
    if (m_stall_now.exchange(false))
      for (Connection& c : connections) c.stalled = true;
    if (m_drop_now) {
      for (Connection& c : connections) c.Close();
      connections.clear();
      m_drop_now = false;
    }
    std::vector<pollfd> watched = {{m_listener, POLLIN, 0}};
    std::vector<Connection*> owners = {nullptr};
    for (Connection& c : connections)
      if (!c.stalled)
        for (const int fd : {c.client, c.server})
          if (fd >= 0) {
            watched.push_back({fd, POLLIN, 0});
            owners.push_back(&c);
          }
    if (poll(watched.data(), watched.size(), 20) <= 0) continue;
    if (watched[0].revents & POLLIN) {
      Connection c;
      c.client = accept(m_listener, nullptr, nullptr);
      c.server = socket(AF_INET, SOCK_STREAM, 0);
      const sockaddr_in target = Loopback(m_target);
      if (c.client >= 0 && c.server >= 0 &&
          connect(c.server, reinterpret_cast<const sockaddr*>(&target), sizeof target) == 0)
        connections.push_back(c);
      else
        c.Close();
    }
    for (std::size_t i = 1; i < watched.size(); ++i) {
      Connection& c = *owners[i];
      const bool open = watched[i].fd == c.client || watched[i].fd == c.server;
      if (!open || c.stalled || !(watched[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
      const bool from_client = watched[i].fd == c.client;
      const ssize_t got = recv(watched[i].fd, buffer.data(), buffer.size(), 0);
      if (got <= 0) {
        c.Close();
        continue;
      }
      if (c.draining) continue;
      const auto forward = static_cast<std::size_t>(got);
      std::optional<Fault> strike;
      if (from_client) {
        const std::lock_guard lock(m_mutex);
        if (!m_pattern.empty() && !m_struck) {
          // Occurrences that end in this read; the kept tail is shorter
          // than the pattern, so none is counted twice.
          const std::string seen = c.tail + std::string(buffer.data(), forward);
          for (std::size_t at = seen.find(m_pattern); at != std::string::npos;
               at = seen.find(m_pattern, at + 1)) {
            if (++m_seen < m_nth) continue;
            strike = m_fault;
            m_struck = true;
            break;
          }
          const std::size_t keep = std::min(seen.size(), m_pattern.size() - 1);
          c.tail = seen.substr(seen.size() - keep);
        }
      }
      if (!SendAll(from_client ? c.server : c.client, buffer.data(), forward)) {
        c.Close();
        continue;
      }
      if (strike == Fault::kStall) c.stalled = true;
      if (strike == Fault::kDrop) {
        // The server still gets to act on what it was sent; its reply is lost.
        close(c.client);
        c.client = -1;
        c.draining = true;
      }
    }
    connections.remove_if([](const Connection& c) { return c.client < 0 && c.server < 0; });
  }
  for (Connection& c : connections) c.Close();
}

}  // namespace korvel::test
