#pragma once
// Free space on the disk that holds a path.

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "platform/native_path.h"

namespace korvel {

// Bytes available to this process, or nothing when the path cannot be queried.
std::optional<std::uint64_t> AvailableDiskSpace(const std::filesystem::path& path);

// Bytes free for this user below a directory named in code page 1251, capped
// at 4294967295 as the catalogue's guard counts them; nothing when the
// directory cannot be queried.
inline std::optional<std::uint64_t> FreeDiskSpace(const std::string& directory) {
  constexpr std::uint64_t kFreeSpaceCap = 4294967295ULL;
  const auto free = AvailableDiskSpace(NativePath(directory));
  if (!free) return std::nullopt;
  return std::min(*free, kFreeSpaceCap);
}

}  // namespace korvel
