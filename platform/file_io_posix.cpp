#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <string>
#include <vector>

#include "platform/file_io.h"
#include "platform/protected_files.h"

namespace korvel {

int CreateFileForWriting(const std::filesystem::path& path, CreateMode mode) {
  if (RefusedAsProtected(path)) return -1;
  int flags = O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC;
  if (mode == CreateMode::kExclusive) flags |= O_EXCL | O_NOFOLLOW;
  return ::open(path.c_str(), flags, 0666);
}

int OpenFileForWriting(const std::filesystem::path& path) {
  if (RefusedAsProtected(path)) return -1;
  return ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
}

int OpenFileForExtending(const std::filesystem::path& path) {
  if (RefusedAsProtected(path)) return -1;
  return ::open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NOFOLLOW);
}

std::optional<std::uint64_t> FileSystemOf(const std::filesystem::path& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return std::nullopt;
  return static_cast<std::uint64_t>(st.st_dev);
}

int OpenFileForReading(const std::filesystem::path& path, std::uint64_t& size) {
  if (RefusedAsProtected(path)) return -1;
  // Non-blocking, so that a FIFO cannot hang the caller; only regular files
  // are read.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return -1;
  struct stat st {};
  int error = 0;
  if (::fstat(fd, &st) != 0)
    error = errno;
  else if (!S_ISREG(st.st_mode))
    error = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;  // EINVAL as on Windows
  if (error != 0) {
    ::close(fd);
    errno = error;  // the reason, for the operator
    return -1;
  }
  size = static_cast<std::uint64_t>(st.st_size);
  return fd;
}

std::int64_t ReadSome(int fd, void* buffer, std::size_t count) {
  for (;;) {
    const ssize_t n = ::read(fd, buffer, count);
    if (n < 0 && errno == EINTR) continue;
    return n;
  }
}

bool WriteAll(int fd, const void* data, std::size_t count, std::size_t& done) {
  const auto* p = static_cast<const unsigned char*>(data);
  while (count > 0) {
    const ssize_t n = ::write(fd, p, count);
    if (n < 0 && errno == EINTR) continue;
    if (n == 0) errno = EIO;  // no progress and no reason: still a failure
    if (n <= 0) return false;
    p += n;
    done += static_cast<std::size_t>(n);
    count -= static_cast<std::size_t>(n);
  }
  return true;
}

bool WriteAllGathered(int fd, std::span<const WritePiece> given, std::size_t& done) {
  std::vector<iovec> pieces;
  pieces.reserve(given.size());
  for (const WritePiece& piece : given)
    if (piece.size > 0) pieces.push_back({const_cast<void*>(piece.data), piece.size});
  // A piece written in part goes on where it stopped.
  std::size_t first = 0;
  while (first < pieces.size()) {
    const int count = static_cast<int>(std::min<std::size_t>(pieces.size() - first, IOV_MAX));
    const ssize_t n = ::writev(fd, pieces.data() + first, count);
    if (n < 0 && errno == EINTR) continue;
    if (n == 0) errno = EIO;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
    for (auto left = static_cast<std::size_t>(n); left > 0;) {
      iovec& piece = pieces[first];
      const std::size_t taken = std::min(left, piece.iov_len);
      piece.iov_base = static_cast<unsigned char*>(piece.iov_base) + taken;
      piece.iov_len -= taken;
      left -= taken;
      if (piece.iov_len == 0) ++first;
    }
    while (first < pieces.size() && pieces[first].iov_len == 0) ++first;
  }
  return true;
}

bool SeekToEnd(int fd) { return ::lseek(fd, 0, SEEK_END) >= 0; }

std::optional<std::uint64_t> FilePosition(int fd) {
  const off_t now = ::lseek(fd, 0, SEEK_CUR);
  if (now < 0) return std::nullopt;
  return static_cast<std::uint64_t>(now);
}

bool ResizeOpenFile(int fd, std::uint64_t length) {
  return ::ftruncate(fd, static_cast<off_t>(length)) == 0;
}

bool ResizeFile(const std::filesystem::path& path, std::uint64_t length) {
  return ::truncate(path.c_str(), static_cast<off_t>(length)) == 0;
}

bool CloseFile(int fd) { return ::close(fd) == 0; }

bool SyncFileData(int fd) { return ::fdatasync(fd) == 0; }

bool SyncDirectory(const std::filesystem::path& directory) {
  const int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool synced = ::fsync(fd) == 0;
  const int error = errno;
  ::close(fd);
  errno = error;
  return synced;
}

bool MakeDirectory(const std::filesystem::path& path) { return ::mkdir(path.c_str(), 0777) == 0; }

bool MoveReplacing(const std::filesystem::path& from, const std::filesystem::path& to) {
  return ::rename(from.c_str(), to.c_str()) == 0;
}

bool RemoveFile(const std::filesystem::path& path) { return ::unlink(path.c_str()) == 0; }

bool ReplaceFileContents(const std::filesystem::path& target, const std::string& bytes) {
  if (RefusedAsProtected(target)) return false;
  struct stat old {};
  if (::stat(target.c_str(), &old) != 0) return RewriteInPlace(target, bytes);  // a new file
  std::string temp = target.string() + ".XXXXXX";
  const int fd = ::mkstemp(temp.data());
  if (fd < 0) return RewriteInPlace(target, bytes);
  bool ok = ::fchmod(fd, old.st_mode & 07777) == 0;
  if (old.st_uid != ::geteuid() || old.st_gid != ::getegid()) {
    // Where we may; a file that cannot be given away stays ours.
    [[maybe_unused]] const int given = ::fchown(fd, old.st_uid, old.st_gid);
  }
  std::size_t done = 0;
  ok = WriteAll(fd, bytes.data(), bytes.size(), done) && ok;
  ok = CloseFile(fd) && ok;
  if (ok) ok = ::rename(temp.c_str(), target.c_str()) == 0;
  if (!ok) ::unlink(temp.c_str());
  return ok;
}

int OpenNotFollowing(const std::filesystem::path& path, FileAccess access) {
  if (RefusedAsProtected(path)) return -1;
  int flags = O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK | O_NOCTTY;
  switch (access) {
    case FileAccess::kLook:
#ifdef O_PATH
      flags = O_PATH | O_NOFOLLOW | O_CLOEXEC;
#else
      flags |= O_RDONLY;
#endif
      break;
    case FileAccess::kRead:
      flags |= O_RDONLY;
      break;
    case FileAccess::kReadWrite:
      flags |= O_RDWR;
      break;
  }
  const int fd = ::open(path.c_str(), flags);
  if (fd < 0) return -1;
  // O_PATH with O_NOFOLLOW opens a link itself: refused as any open refuses it.
  struct stat st {};
  if (::fstat(fd, &st) == 0 && S_ISLNK(st.st_mode)) {
    ::close(fd);
    errno = ELOOP;
    return -1;
  }
  return fd;
}

std::optional<FileFacts> FactsOf(int fd) {
  struct stat st {};
  if (::fstat(fd, &st) != 0) return std::nullopt;
  FileFacts facts;
  facts.kind = S_ISREG(st.st_mode)   ? FileKind::kRegular
               : S_ISDIR(st.st_mode) ? FileKind::kFolder
                                     : FileKind::kOther;
  facts.links = static_cast<std::uint64_t>(st.st_nlink);
  facts.file_system = static_cast<std::uint64_t>(st.st_dev);
  facts.size = static_cast<std::uint64_t>(st.st_size);
  return facts;
}

std::optional<std::filesystem::path> RealPathOf(int fd, const std::filesystem::path& opened_as) {
  std::error_code ec;
  const std::filesystem::path named =
      std::filesystem::read_symlink("/proc/self/fd/" + std::to_string(fd), ec);
  if (!ec && named.is_absolute()) return named;
  // No /proc: the folder's links resolved, the name as it was opened.
  const std::filesystem::path folder = std::filesystem::canonical(
      opened_as.parent_path().empty() ? std::filesystem::path(".") : opened_as.parent_path(), ec);
  if (ec) return std::nullopt;
  return folder / opened_as.filename();
}

std::optional<std::filesystem::path> RealPath(const std::filesystem::path& path) {
  std::error_code ec;
  std::filesystem::path real = std::filesystem::canonical(path, ec);
  if (ec) return std::nullopt;
  return real;
}

}  // namespace korvel
