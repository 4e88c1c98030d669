#pragma once
// Holds the process to a file size limit for a scope, so that a write really
// stops short (with EFBIG; SIGXFSZ is ignored meanwhile). POSIX only: Windows
// has no such limit, and the tests that need it are skipped there.

#ifdef _WIN32

namespace korvel::test {

class FileSizeLimit {
 public:
  static constexpr bool kAvailable = false;
  explicit FileSizeLimit(unsigned long long) {}
};

}  // namespace korvel::test

#else

#include <sys/resource.h>

#include <csignal>

namespace korvel::test {

class FileSizeLimit {
 public:
  static constexpr bool kAvailable = true;
  explicit FileSizeLimit(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &m_old);
    m_old_handler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit = m_old;
    limit.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &m_old);
    std::signal(SIGXFSZ, m_old_handler);
  }

 private:
  rlimit m_old{};
  void (*m_old_handler)(int) = nullptr;
};

}  // namespace korvel::test

#endif
