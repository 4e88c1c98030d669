#include "platform/native_path.h"
#include "platform/text1251.h"

namespace korvel {

std::filesystem::path NativePath(std::string_view text1251) {
  return std::filesystem::path(Cp1251ToUtf8(text1251));
}

std::string PathText(const std::filesystem::path& path) { return Utf8ToCp1251(path.string()); }

std::filesystem::path Utf8Path(std::string_view utf8) { return std::filesystem::path(utf8); }

std::string DisplayPath(const std::filesystem::path& path) {
  return EscapeInvalidUtf8(path.string());
}

}  // namespace korvel
