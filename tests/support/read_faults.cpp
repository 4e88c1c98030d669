// A failing disk under one file, for tests (Linux): loaded into a program
// with LD_PRELOAD, it makes the opening or the reading of one named file fail
// as an unreadable file or a bad sector would, and leaves every other file
// alone.
//   KORVEL_FAULT_FILE        the file's name (its last path component)
//   KORVEL_FAULT_OPEN_ERRNO  its open fails with this errno
//   KORVEL_FAULT_READ_AFTER  its reads fail with EIO once this many bytes were read
#undef _FORTIFY_SOURCE  // our open and read must be the functions, not inline wrappers
#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstdlib>
#include <cstring>

namespace {

int g_fd = -1;  // the named file, while it is open
unsigned long long g_read = 0;

template <typename Function>
Function Next(const char* name) {
  return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

const char* Setting(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0' ? value : nullptr;
}

bool IsFaulty(const char* path) {
  const char* name = Setting("KORVEL_FAULT_FILE");
  if (name == nullptr || path == nullptr) return false;
  const char* slash = std::strrchr(path, '/');
  return std::strcmp(slash != nullptr ? slash + 1 : path, name) == 0;
}

// True, with errno set, when the named file must not open.
bool OpenRefused(const char* path) {
  const char* error = Setting("KORVEL_FAULT_OPEN_ERRNO");
  if (error == nullptr || !IsFaulty(path)) return false;
  errno = std::atoi(error);
  return true;
}

int Opened(const char* path, int fd) {
  if (fd >= 0 && IsFaulty(path)) {
    g_fd = fd;
    g_read = 0;
  }
  return fd;
}

mode_t ModeOf(int flags, va_list& rest) {
  return (flags & (O_CREAT | O_TMPFILE)) != 0 ? static_cast<mode_t>(va_arg(rest, int)) : 0;
}

ssize_t FaultyRead(int fd, void* buffer, size_t count) {
  static const auto real = Next<ssize_t (*)(int, void*, size_t)>("read");
  const char* after = Setting("KORVEL_FAULT_READ_AFTER");
  if (fd != g_fd || after == nullptr) return real(fd, buffer, count);
  const unsigned long long limit = std::strtoull(after, nullptr, 10);
  if (g_read >= limit) {
    errno = EIO;
    return -1;
  }
  const ssize_t n = real(fd, buffer, std::min<unsigned long long>(count, limit - g_read));
  if (n > 0) g_read += static_cast<unsigned long long>(n);
  return n;
}

}  // namespace

extern "C" {

int open(const char* path, int flags, ...) {
  static const auto real = Next<int (*)(const char*, int, ...)>("open");
  va_list rest;
  va_start(rest, flags);
  const mode_t mode = ModeOf(flags, rest);
  va_end(rest);
  if (OpenRefused(path)) return -1;
  return Opened(path, real(path, flags, mode));
}

int open64(const char* path, int flags, ...) {
  static const auto real = Next<int (*)(const char*, int, ...)>("open64");
  va_list rest;
  va_start(rest, flags);
  const mode_t mode = ModeOf(flags, rest);
  va_end(rest);
  if (OpenRefused(path)) return -1;
  return Opened(path, real(path, flags, mode));
}

int openat(int directory, const char* path, int flags, ...) {
  static const auto real = Next<int (*)(int, const char*, int, ...)>("openat");
  va_list rest;
  va_start(rest, flags);
  const mode_t mode = ModeOf(flags, rest);
  va_end(rest);
  if (OpenRefused(path)) return -1;
  return Opened(path, real(directory, path, flags, mode));
}

// What fortified builds call instead.
int __open_2(const char* path, int flags) {
  static const auto real = Next<int (*)(const char*, int)>("__open_2");
  if (OpenRefused(path)) return -1;
  return Opened(path, real(path, flags));
}

ssize_t read(int fd, void* buffer, size_t count) { return FaultyRead(fd, buffer, count); }

ssize_t __read_chk(int fd, void* buffer, size_t count, size_t /*buffer_size*/) {
  return FaultyRead(fd, buffer, count);
}

int close(int fd) {
  static const auto real = Next<int (*)(int)>("close");
  if (fd == g_fd) g_fd = -1;
  return real(fd);
}

}  // extern "C"
