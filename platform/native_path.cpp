#include "platform/native_path.h"

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

}  // namespace korvel
