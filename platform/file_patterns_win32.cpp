#include <windows.h>

#include <algorithm>

#include "platform/file_patterns.h"
#include "platform/wide_text.h"

namespace korvel {

std::vector<std::string> ExpandFilePatterns(const std::vector<std::string>& arguments) {
  std::vector<std::string> expanded;
  for (const std::string& argument : arguments) {
    const std::size_t name_at = argument.find_last_of("\\/:") + 1;  // npos + 1 == 0
    if (argument.find_first_of("*?", name_at) == std::string::npos) {
      expanded.push_back(argument);
      continue;
    }
    std::vector<std::string> names;
    WIN32_FIND_DATAW found;
    const HANDLE search = FindFirstFileW(WideFromUtf8(argument).c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
      do {
        const std::string name = Utf8FromWide(found.cFileName);
        if (name != "." && name != "..") names.push_back(name);
      } while (FindNextFileW(search, &found));
      FindClose(search);
    }
    if (names.empty()) {
      expanded.push_back(argument);
      continue;
    }
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) expanded.push_back(argument.substr(0, name_at) + name);
  }
  return expanded;
}

}  // namespace korvel
