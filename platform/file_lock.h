#pragma once
// An exclusive lock on a file, shared by every process on every machine that
// sees the file (POSIX: fcntl record locks, which also hold over NFS;
// Windows: LockFileEx, over SMB too). The lock goes with the object, and with
// the process when that ends in any way, a crash or a kill included. POSIX
// locks belong to the process, so a second FileLock of the same process gets
// the file too; Windows locks belong to the open file, so there it does not.

#include <filesystem>
#include <functional>

#include "platform/walked_folder.h"

namespace korvel {

class FileLock {
 public:
  enum class Result { kLocked, kHeldElsewhere, kUnavailable, kStopped };

  FileLock() = default;
  FileLock(FileLock&& other) noexcept;
  FileLock& operator=(FileLock&& other) noexcept;
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;
  ~FileLock();

  // Creates the file when missing (mode 0666 less the umask) and locks it,
  // waiting up to `wait_seconds` while another process holds it, or until
  // `stop` answers true (kStopped). kUnavailable: the file cannot be made or
  // locked at all (a read-only folder, a file system without locks, a link
  // in its place: ELOOP), with the system's reason in Error().
  Result Acquire(const std::filesystem::path& file, double wait_seconds,
                 const std::function<bool()>& stop = {});
  // The same for the file `name` of a folder walked to (a folder not reached
  // is kUnavailable, with the system's reason or EACCES for a refused link).
  Result Acquire(const WalkedFolder& folder, const std::filesystem::path& name, double wait_seconds,
                 const std::function<bool()>& stop = {});
  bool Held() const { return m_fd >= 0; }
  void Release();
  // errno of the last kUnavailable.
  int Error() const { return m_error; }

 private:
  int m_fd = -1;
  int m_error = 0;
};

}  // namespace korvel
