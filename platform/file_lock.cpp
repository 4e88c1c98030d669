#include "platform/file_lock.h"

#include <cerrno>
#include <chrono>
#include <thread>
#include <utility>

#include "platform/file_lock_system.h"

namespace korvel {

FileLock::FileLock(FileLock&& other) noexcept
    : m_fd(std::exchange(other.m_fd, -1)), m_error(other.m_error) {}

FileLock& FileLock::operator=(FileLock&& other) noexcept {
  if (this != &other) {
    Release();
    m_fd = std::exchange(other.m_fd, -1);
  }
  return *this;
}

FileLock::~FileLock() { Release(); }

FileLock::Result FileLock::Acquire(const std::filesystem::path& file, double wait_seconds,
                                   const std::function<bool()>& stop) {
  return Acquire(WalkedFolder::Root(file.parent_path()), file.filename(), wait_seconds, stop);
}

FileLock::Result FileLock::Acquire(const WalkedFolder& folder, const std::filesystem::path& name,
                                   double wait_seconds, const std::function<bool()>& stop) {
  using lock_system::Attempt;
  Release();
  m_error = 0;
  if (!folder.IsOpen()) {
    m_error = folder.Failure().system_error != 0 ? folder.Failure().system_error : EACCES;
    return Result::kUnavailable;
  }
  const int fd = folder.OpenForLocking(name);
  if (fd < 0) {
    m_error = errno;
    return Result::kUnavailable;
  }
  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::duration<double>(wait_seconds);
  for (;;) {
    const Attempt attempt = lock_system::TryLockWhole(fd);
    if (attempt == Attempt::kLocked) {
      m_fd = fd;
      return Result::kLocked;
    }
    if (attempt == Attempt::kFailed) {
      m_error = errno;
      lock_system::UnlockAndClose(fd);
      return Result::kUnavailable;
    }
    if (std::chrono::steady_clock::now() >= deadline) {
      lock_system::UnlockAndClose(fd);
      return Result::kHeldElsewhere;
    }
    if (stop && stop()) {
      lock_system::UnlockAndClose(fd);
      return Result::kStopped;
    }
    // Polled: a blocking wait could not be given up at the deadline.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
}

void FileLock::Release() {
  if (m_fd >= 0) lock_system::UnlockAndClose(std::exchange(m_fd, -1));
}

}  // namespace korvel
