#include "platform/native_path.h"

#include <algorithm>

namespace korvel {

bool IsPathSeparator(char c) {
#ifdef _WIN32
  return c == '\\' || c == '/';
#else
  return c == '/';
#endif
}

std::string WithTrailingSeparator(std::string text) {
  if (text.empty() || !IsPathSeparator(text.back())) text += kPathSeparator;
  return text;
}

std::string NativeSeparators(std::string text) {
  if constexpr (kPathSeparator != '/')
    for (char& c : text)
      if (c == '/') c = kPathSeparator;
  return text;
}

std::string CataloguePathText(const std::filesystem::path& path) {
  std::string text = PathText(path);
  // No Windows name holds a backslash, so each one is a separator.
  if constexpr (kPathSeparator != '/')
    for (char& c : text)
      if (c == kPathSeparator) c = '/';
  return text;
}

bool IsAbsoluteStoredPath(std::string_view cpath) {
  return !cpath.empty() && (cpath.front() == '/' || cpath.front() == '\\');
}

bool ClimbsOutOfRoot(std::string_view cpath) {
  for (std::size_t start = 0; start <= cpath.size();) {
    const std::size_t end = std::min(cpath.find_first_of("/\\", start), cpath.size());
    if (cpath.substr(start, end - start) == "..") return true;
    start = end + 1;
  }
  return false;
}

}  // namespace korvel
