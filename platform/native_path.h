#pragma once
// Names inside the system are code page 1251 text; the file system wants its
// own encoding (UTF-8 here). Paths found on disk, raw files above all, stay
// native from the listing to the open call and are converted only for display.

#include <filesystem>
#include <string>
#include <string_view>

namespace korvel {

// The separator placed between path parts (the Windows program's backslash).
inline constexpr char kPathSeparator = '/';

std::filesystem::path NativePath(std::string_view text1251);
std::string PathText(const std::filesystem::path& path);  // back to code page 1251

// A native path as UTF-8 for the operator: valid UTF-8 as it stands, every
// byte that is not part of one as "\xHH", so that nothing is hidden.
std::string DisplayPath(const std::filesystem::path& path);

// Appends the separator unless the text already ends with one; "" becomes "/".
std::string WithTrailingSeparator(std::string text);

}  // namespace korvel
