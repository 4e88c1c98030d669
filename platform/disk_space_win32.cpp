#include <windows.h>

#include "platform/disk_space.h"

namespace korvel {

std::optional<std::uint64_t> AvailableDiskSpace(const std::filesystem::path& path) {
  // What this user may still write there (quotas included).
  ULARGE_INTEGER available{};
  if (!GetDiskFreeSpaceExW(path.c_str(), &available, nullptr, nullptr)) return std::nullopt;
  return static_cast<std::uint64_t>(available.QuadPart);
}

}  // namespace korvel
