#pragma once
// The system's half of FileLock, one file per platform: opening the lock file,
// one attempt at the whole-file lock, and the release.

#include <filesystem>

namespace korvel::lock_system {

// Creates the file when missing; a descriptor, or -1.
int OpenLockFile(const std::filesystem::path& file);

enum class Attempt { kLocked, kBusy, kFailed };
Attempt TryLockWhole(int fd);

// Drops the lock (if taken) and closes the descriptor.
void UnlockAndClose(int fd);

}  // namespace korvel::lock_system
