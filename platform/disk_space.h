#pragma once
// Free space on the disk that holds a path.

#include <cstdint>
#include <filesystem>
#include <optional>

namespace korvel {

// Bytes available to this process, or nothing when the path cannot be queried.
std::optional<std::uint64_t> AvailableDiskSpace(const std::filesystem::path& path);

}  // namespace korvel
