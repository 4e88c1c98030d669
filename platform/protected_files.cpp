#include "platform/protected_files.h"

#include <cerrno>
#include <vector>

namespace korvel {
namespace {

namespace fs = std::filesystem;

// The window process has one catalogue; a command-line run protects none.
std::vector<fs::path>& Protected() {
  static std::vector<fs::path> files;
  return files;
}

fs::path Normal(const fs::path& file) {
  std::error_code ec;
  fs::path normal = fs::weakly_canonical(file, ec);
  return ec ? fs::absolute(file, ec).lexically_normal() : normal;
}

}  // namespace

void ProtectSqliteFiles(const fs::path& file) {
  for (const char* suffix : {"", "-wal", "-shm"}) {
    fs::path one = file;
    one += suffix;
    Protected().push_back(Normal(one));
  }
}

bool IsProtectedFile(const fs::path& file) {
  if (Protected().empty()) return false;
  const fs::path normal = Normal(file);
  for (const fs::path& kept : Protected()) {
    std::error_code ec;
    if (normal == kept || fs::equivalent(file, kept, ec)) return true;
  }
  return false;
}

bool RefusedAsProtected(const fs::path& file) {
  if (!IsProtectedFile(file)) return false;
  errno = EACCES;
  return true;
}

}  // namespace korvel
