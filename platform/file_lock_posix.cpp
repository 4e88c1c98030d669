#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "platform/file_lock_system.h"

namespace korvel::lock_system {

Attempt TryLockWhole(int fd) {
  struct flock whole {};
  whole.l_type = F_WRLCK;
  whole.l_whence = SEEK_SET;  // start 0, length 0: the whole file
  if (::fcntl(fd, F_SETLK, &whole) == 0) return Attempt::kLocked;
  return errno == EACCES || errno == EAGAIN || errno == EINTR ? Attempt::kBusy : Attempt::kFailed;
}

// Closing the descriptor releases the lock.
void UnlockAndClose(int fd) { ::close(fd); }

}  // namespace korvel::lock_system
