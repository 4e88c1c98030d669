#include <io.h>
#include <windows.h>

#include <cerrno>

#include "platform/file_lock_system.h"

namespace korvel::lock_system {
namespace {

HANDLE HandleOf(int fd) { return reinterpret_cast<HANDLE>(_get_osfhandle(fd)); }

}  // namespace

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
