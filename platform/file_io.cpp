#include "platform/file_io.h"

namespace korvel {

bool RewriteInPlace(const std::filesystem::path& file, const std::string& bytes) {
  const int fd = CreateFileForWriting(file, CreateMode::kReplace);
  if (fd < 0) return false;
  std::size_t done = 0;
  const bool written = WriteAll(fd, bytes.data(), bytes.size(), done);
  return CloseFile(fd) && written;
}

}  // namespace korvel
