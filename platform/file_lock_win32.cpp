#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cerrno>

#include "platform/file_lock_system.h"

namespace korvel::lock_system {
namespace {

HANDLE HandleOf(int fd) { return reinterpret_cast<HANDLE>(_get_osfhandle(fd)); }

}  // namespace

int OpenLockFile(const std::filesystem::path& file) {
  const HANDLE handle = CreateFileW(file.c_str(), GENERIC_READ | GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    errno = error == ERROR_ACCESS_DENIED || error == ERROR_WRITE_PROTECT     ? EACCES
            : error == ERROR_PATH_NOT_FOUND || error == ERROR_FILE_NOT_FOUND ? ENOENT
                                                                             : EIO;
    return -1;
  }
  const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_BINARY);
  if (fd < 0) CloseHandle(handle);
  return fd;
}

Attempt TryLockWhole(int fd) {
  // The whole file, however long it grows.
  OVERLAPPED from_start{};
  if (LockFileEx(HandleOf(fd), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, MAXDWORD,
                 MAXDWORD, &from_start))
    return Attempt::kLocked;
  const DWORD error = GetLastError();
  if (error == ERROR_LOCK_VIOLATION || error == ERROR_IO_PENDING) return Attempt::kBusy;
  errno = ENOLCK;
  return Attempt::kFailed;
}

void UnlockAndClose(int fd) {
  // Unlocked before the close: a lock left to the close goes only when the
  // system gets round to it. Unlocking a file never locked fails harmlessly.
  OVERLAPPED from_start{};
  UnlockFileEx(HandleOf(fd), 0, MAXDWORD, MAXDWORD, &from_start);
  _close(fd);
}

}  // namespace korvel::lock_system
