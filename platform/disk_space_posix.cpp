#include "platform/disk_space.h"

namespace korvel {

std::optional<std::uint64_t> AvailableDiskSpace(const std::filesystem::path& path) {
  std::error_code ec;
  const std::filesystem::space_info info = std::filesystem::space(path, ec);
  if (ec) return std::nullopt;
  return static_cast<std::uint64_t>(info.available);
}

}  // namespace korvel
