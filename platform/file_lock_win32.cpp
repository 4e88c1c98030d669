#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <chrono>
#include <thread>
#include <utility>

#include "platform/file_lock.h"

namespace korvel {
namespace {

HANDLE HandleOf(int fd) { return reinterpret_cast<HANDLE>(_get_osfhandle(fd)); }

// The whole file, however long it grows.
bool LockWhole(HANDLE file) {
  OVERLAPPED from_start{};
  return LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, MAXDWORD,
                    MAXDWORD, &from_start) != 0;
}

}  // namespace

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
  const HANDLE handle = CreateFileW(file.c_str(), GENERIC_READ | GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return Result::kUnavailable;
  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::duration<double>(wait_seconds);
  for (;;) {
    if (LockWhole(handle)) {
      m_fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_BINARY);
      if (m_fd >= 0) return Result::kLocked;
      CloseHandle(handle);  // no descriptor left: the lock goes with the handle
      return Result::kUnavailable;
    }
    if (GetLastError() != ERROR_LOCK_VIOLATION && GetLastError() != ERROR_IO_PENDING) {
      CloseHandle(handle);
      return Result::kUnavailable;
    }
    if (std::chrono::steady_clock::now() >= deadline) {
      CloseHandle(handle);
      return Result::kHeldElsewhere;
    }
    // Polled: a blocking wait could not be given up at the deadline.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
}

void FileLock::Release() {
  if (m_fd < 0) return;
  // Unlocked before the close: a lock left to the close goes only when the
  // system gets round to it.
  OVERLAPPED from_start{};
  UnlockFileEx(HandleOf(m_fd), 0, MAXDWORD, MAXDWORD, &from_start);
  _close(std::exchange(m_fd, -1));
}

}  // namespace korvel
