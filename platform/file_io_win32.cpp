#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <algorithm>
#include <cerrno>
#include <string>

#include "platform/file_handle_win32.h"
#include "platform/file_io.h"
#include "platform/protected_files.h"

namespace korvel {
namespace {

bool Failed() {
  errno = ErrnoOf(GetLastError());
  return false;
}

HANDLE HandleOf(int fd) { return reinterpret_cast<HANDLE>(_get_osfhandle(fd)); }

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// The handle under a descriptor of its own; -1 when none is left.
int DescriptorOf(HANDLE handle) {
  if (handle == INVALID_HANDLE_VALUE) {
    Failed();
    return -1;
  }
  const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_BINARY);
  if (fd < 0) {
    CloseHandle(handle);
    errno = EMFILE;
  }
  return fd;
}

// One call writes at most this much, well within a DWORD.
constexpr std::size_t kLargestWrite = std::size_t{1} << 30;

}  // namespace

int ErrnoOf(DWORD error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
      return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_WRITE_PROTECT:
      return EACCES;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
      return EEXIST;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return ENOSPC;
    case ERROR_TOO_MANY_OPEN_FILES:
      return EMFILE;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
      return ENOMEM;
    case ERROR_INVALID_HANDLE:
      return EBADF;
    case ERROR_DIRECTORY:
      return ENOTDIR;
    case ERROR_DIR_NOT_EMPTY:
      return ENOTEMPTY;
    case ERROR_FILENAME_EXCED_RANGE:
      return ENAMETOOLONG;
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_INVALID_PARAMETER:
      return EINVAL;
    case ERROR_NOT_SAME_DEVICE:
      return EXDEV;
    default:
      return EIO;
  }
}

int DescriptorOfFileNotLink(HANDLE handle) {
  if (handle == INVALID_HANDLE_VALUE) return DescriptorOf(handle);
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(handle, &info) ||
      (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
    CloseHandle(handle);
    errno = ELOOP;
    return -1;
  }
  return DescriptorOf(handle);
}

int CreateFileForWriting(const std::filesystem::path& path, CreateMode mode) {
  if (RefusedAsProtected(path)) return -1;
  const DWORD disposition = mode == CreateMode::kExclusive ? CREATE_NEW : CREATE_ALWAYS;
  return DescriptorOf(CreateFileW(path.c_str(), GENERIC_WRITE, kShareAll, nullptr, disposition,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
}

int OpenFileForWriting(const std::filesystem::path& path) {
  if (RefusedAsProtected(path)) return -1;
  return DescriptorOf(CreateFileW(path.c_str(), GENERIC_WRITE, kShareAll, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
}

int OpenFileForExtending(const std::filesystem::path& path) {
  if (RefusedAsProtected(path)) return -1;
  // The reparse point itself is opened, never what it points to; a link is
  // then refused.
  const HANDLE handle = CreateFileW(path.c_str(), GENERIC_WRITE, kShareAll, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  return DescriptorOfFileNotLink(handle);
}

std::optional<std::uint64_t> FileSystemOf(const std::filesystem::path& path) {
  // A folder opens only with backup semantics.
  const HANDLE handle = CreateFileW(path.c_str(), 0, kShareAll, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return std::nullopt;
  BY_HANDLE_FILE_INFORMATION info{};
  const bool known = GetFileInformationByHandle(handle, &info) != 0;
  CloseHandle(handle);
  if (!known) return std::nullopt;
  return info.dwVolumeSerialNumber;
}

int OpenFileForReading(const std::filesystem::path& path, std::uint64_t& size) {
  if (RefusedAsProtected(path)) return -1;
  // Without FILE_FLAG_BACKUP_SEMANTICS a directory does not open.
  const HANDLE handle = CreateFileW(path.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return DescriptorOf(handle);
  LARGE_INTEGER length{};
  if (GetFileType(handle) != FILE_TYPE_DISK || !GetFileSizeEx(handle, &length)) {
    CloseHandle(handle);
    errno = EINVAL;
    return -1;
  }
  size = static_cast<std::uint64_t>(length.QuadPart);
  return DescriptorOf(handle);
}

std::int64_t ReadSome(int fd, void* buffer, std::size_t count) {
  DWORD got = 0;
  if (!ReadFile(HandleOf(fd), buffer, static_cast<DWORD>(std::min(count, kLargestWrite)), &got,
                nullptr)) {
    Failed();
    return -1;
  }
  return got;
}

bool WriteAll(int fd, const void* data, std::size_t count, std::size_t& done) {
  const HANDLE handle = HandleOf(fd);
  const auto* p = static_cast<const unsigned char*>(data);
  while (count > 0) {
    DWORD written = 0;
    if (!WriteFile(handle, p, static_cast<DWORD>(std::min(count, kLargestWrite)), &written,
                   nullptr))
      return Failed();
    if (written == 0) {
      errno = ENOSPC;  // no progress: the disk took nothing more
      return false;
    }
    p += written;
    done += written;
    count -= written;
  }
  return true;
}

bool WriteAllGathered(int fd, std::span<const WritePiece> pieces, std::size_t& done) {
  // The system has no gathering write for ordinary buffered files: piece by piece.
  for (const WritePiece& piece : pieces)
    if (!WriteAll(fd, piece.data, piece.size, done)) return false;
  return true;
}

bool SeekToEnd(int fd) {
  return SetFilePointerEx(HandleOf(fd), LARGE_INTEGER{}, nullptr, FILE_END) || Failed();
}

std::optional<std::uint64_t> FilePosition(int fd) {
  LARGE_INTEGER now{};
  if (!SetFilePointerEx(HandleOf(fd), LARGE_INTEGER{}, &now, FILE_CURRENT)) {
    Failed();
    return std::nullopt;
  }
  return static_cast<std::uint64_t>(now.QuadPart);
}

bool ResizeOpenFile(int fd, std::uint64_t length) {
  const HANDLE handle = HandleOf(fd);
  LARGE_INTEGER now{};
  LARGE_INTEGER wanted{};
  wanted.QuadPart = static_cast<LONGLONG>(length);
  if (!SetFilePointerEx(handle, LARGE_INTEGER{}, &now, FILE_CURRENT) ||
      !SetFilePointerEx(handle, wanted, nullptr, FILE_BEGIN) || !SetEndOfFile(handle))
    return Failed();
  return SetFilePointerEx(handle, now, nullptr, FILE_BEGIN) || Failed();
}

bool ResizeFile(const std::filesystem::path& path, std::uint64_t length) {
  const int fd = OpenFileForWriting(path);
  if (fd < 0) return false;
  const bool resized = ResizeOpenFile(fd, length);
  const int error = errno;
  CloseFile(fd);
  errno = error;
  return resized;
}

bool CloseFile(int fd) { return _close(fd) == 0; }

bool SyncFileData(int fd) { return FlushFileBuffers(HandleOf(fd)) || Failed(); }

bool SyncDirectory(const std::filesystem::path&) { return true; }

bool MakeDirectory(const std::filesystem::path& path) {
  return CreateDirectoryW(path.c_str(), nullptr) || Failed();
}

bool MoveReplacing(const std::filesystem::path& from, const std::filesystem::path& to) {
  return MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) || Failed();
}

bool RemoveFile(const std::filesystem::path& path) { return DeleteFileW(path.c_str()) || Failed(); }

bool ReplaceFileContents(const std::filesystem::path& target, const std::string& bytes) {
  if (RefusedAsProtected(target)) return false;
  const DWORD attributes = GetFileAttributesW(target.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return RewriteInPlace(target, bytes);  // a new file
  std::filesystem::path folder = target.parent_path();
  if (folder.empty()) folder = L".";
  wchar_t temp[MAX_PATH + 1] = {};
  if (GetTempFileNameW(folder.c_str(), L"ini", 0, temp) == 0) return RewriteInPlace(target, bytes);
  const int fd = CreateFileForWriting(temp, CreateMode::kReplace);
  std::size_t done = 0;
  bool ok = fd >= 0 && WriteAll(fd, bytes.data(), bytes.size(), done);
  ok = fd >= 0 && CloseFile(fd) && ok;
  // The attributes are copied here too: not every ReplaceFileW does it.
  constexpr DWORD kKept = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                          FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
  if (ok) SetFileAttributesW(temp, attributes & kKept);
  // ReplaceFileW gives the new copy the old one's security as well.
  if (ok)
    ok = ReplaceFileW(target.c_str(), temp, nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr,
                      nullptr) ||
         MoveFileExW(temp, target.c_str(), MOVEFILE_REPLACE_EXISTING);
  if (!ok) DeleteFileW(temp);
  return ok;
}

int OpenNotFollowing(const std::filesystem::path& path, FileAccess access) {
  if (RefusedAsProtected(path)) return -1;
  const DWORD wanted = access == FileAccess::kLook   ? FILE_READ_ATTRIBUTES
                       : access == FileAccess::kRead ? GENERIC_READ
                                                     : GENERIC_READ | GENERIC_WRITE;
  // The reparse point itself, never what it points to; a folder opens only
  // with backup semantics.
  const HANDLE handle =
      CreateFileW(path.c_str(), wanted, kShareAll, nullptr, OPEN_EXISTING,
                  FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  return DescriptorOfFileNotLink(handle);
}

std::optional<FileFacts> FactsOf(int fd) {
  const HANDLE handle = HandleOf(fd);
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(handle, &info)) {
    Failed();
    return std::nullopt;
  }
  FileFacts facts;
  facts.kind = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? FileKind::kFolder
               : GetFileType(handle) == FILE_TYPE_DISK                 ? FileKind::kRegular
                                                                       : FileKind::kOther;
  facts.links = info.nNumberOfLinks;
  facts.file_system = info.dwVolumeSerialNumber;
  facts.size = (static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
  return facts;
}

namespace {

// The handle's path as the system resolved it, without the "\\?\" prefix.
std::optional<std::filesystem::path> FinalPathOf(HANDLE handle) {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length =
        GetFinalPathNameByHandleW(handle, path.data(), static_cast<DWORD>(path.size()),
                                  FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (length == 0) {
      Failed();
      return std::nullopt;
    }
    if (length < path.size()) {
      path.resize(length);
      break;
    }
    path.resize(length);
  }
  if (path.rfind(L"\\\\?\\UNC\\", 0) == 0) return L"\\\\" + path.substr(8);
  if (path.rfind(L"\\\\?\\", 0) == 0) return path.substr(4);
  return path;
}

}  // namespace

std::optional<std::filesystem::path> RealPathOf(int fd, const std::filesystem::path&) {
  return FinalPathOf(HandleOf(fd));
}

std::optional<std::filesystem::path> RealPath(const std::filesystem::path& path) {
  const HANDLE handle = CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    Failed();
    return std::nullopt;
  }
  std::optional<std::filesystem::path> real = FinalPathOf(handle);
  CloseHandle(handle);
  return real;
}

}  // namespace korvel
