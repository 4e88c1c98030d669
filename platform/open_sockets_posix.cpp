#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <string>

#include "platform/open_sockets.h"

namespace korvel {

namespace {

bool IsSocket(int fd) {
  struct stat status {};
  return fstat(fd, &status) == 0 && S_ISSOCK(status.st_mode);
}

}  // namespace

std::vector<int> OpenSockets() {
  std::vector<int> sockets;
  // Linux lists the descriptors in use.
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd", error)) {
    const std::string name = entry.path().filename().string();
    int fd = -1;
    if (std::from_chars(name.data(), name.data() + name.size(), fd).ec == std::errc() &&
        IsSocket(fd))
      sockets.push_back(fd);
  }
  if (!error) return sockets;
  // Elsewhere a driver's descriptors are among the lowest free ones; the open-file
  // limit may be raised far beyond what is in use, so the search is bounded.
  constexpr rlim_t kHighest = 65536;
  rlimit limit{};
  const rlim_t highest =
      getrlimit(RLIMIT_NOFILE, &limit) == 0 ? std::min(limit.rlim_cur, kHighest) : 1024;
  sockets.clear();
  for (rlim_t fd = 0; fd < highest; ++fd)
    if (IsSocket(static_cast<int>(fd))) sockets.push_back(static_cast<int>(fd));
  return sockets;
}

void ShutDownSocket(int socket) { shutdown(socket, SHUT_RDWR); }

}  // namespace korvel
