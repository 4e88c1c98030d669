#pragma once
// Paths are held as code page 1251 text like every other name; the file
// system wants UTF-8.

#include <filesystem>
#include <string>
#include <string_view>

namespace korvel {

// The separator placed between path parts (the Windows program's backslash).
inline constexpr char kPathSeparator = '/';

std::filesystem::path NativePath(std::string_view text1251);
std::string PathText(const std::filesystem::path& path);  // back to code page 1251

// Appends the separator unless the text already ends with one; "" becomes "/".
std::string WithTrailingSeparator(std::string text);

}  // namespace korvel
