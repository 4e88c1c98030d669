#pragma once
// The system's half of FileLock, one file per platform: one attempt at the
// whole-file lock, and the release. The lock file is opened by WalkedFolder.

namespace korvel::lock_system {

enum class Attempt { kLocked, kBusy, kFailed };
Attempt TryLockWhole(int fd);

// Drops the lock (if taken) and closes the descriptor.
void UnlockAndClose(int fd);

}  // namespace korvel::lock_system
