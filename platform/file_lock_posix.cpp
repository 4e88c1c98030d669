#include "platform/file_lock.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <thread>
#include <utility>

namespace korvel {

FileLock::FileLock(FileLock&& other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}

FileLock& FileLock::operator=(FileLock&& other) noexcept {
  if (this != &other) {
    Release();
    m_fd = std::exchange(other.m_fd, -1);
  }
  return *this;
}

FileLock::~FileLock() { Release(); }

FileLock::Result FileLock::Acquire(const std::filesystem::path& file, double wait_seconds) {
  Release();
  const int fd = ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0) return Result::kUnavailable;
  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::duration<double>(wait_seconds);
  for (;;) {
    struct flock whole {};
    whole.l_type = F_WRLCK;
    whole.l_whence = SEEK_SET;  // start 0, length 0: the whole file
    if (::fcntl(fd, F_SETLK, &whole) == 0) {
      m_fd = fd;
      return Result::kLocked;
    }
    if (errno != EACCES && errno != EAGAIN && errno != EINTR) {
      ::close(fd);
      return Result::kUnavailable;
    }
    if (std::chrono::steady_clock::now() >= deadline) {
      ::close(fd);
      return Result::kHeldElsewhere;
    }
    // Polled: a blocking wait could not be given up at the deadline.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
}

void FileLock::Release() {
  // Closing the descriptor releases the lock.
  if (m_fd >= 0) ::close(std::exchange(m_fd, -1));
}

}  // namespace korvel
