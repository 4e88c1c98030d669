#include "platform/native_path.h"
#include "platform/text1251.h"
#include "platform/wide_text.h"

namespace korvel {

// Names reach the file system as UTF-16, so that code page 1251 names mean
// the same on a system whose ANSI code page is another one.
std::filesystem::path NativePath(std::string_view text1251) {
  return std::filesystem::path(WideFromUtf8(Cp1251ToUtf8(text1251)));
}

std::string PathText(const std::filesystem::path& path) {
  return Utf8ToCp1251(Utf8FromWide(path.native()));
}

std::filesystem::path Utf8Path(std::string_view utf8) {
  return std::filesystem::path(WideFromUtf8(utf8));
}

std::string DisplayPath(const std::filesystem::path& path) {
  return Utf8FromWide(path.native(), /*escape_lone_surrogates=*/true);
}

}  // namespace korvel
