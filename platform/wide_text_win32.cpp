#include "platform/wide_text.h"

#include <windows.h>

#include <cstdio>

namespace korvel {

std::wstring WideFromUtf8(std::string_view utf8) {
  if (utf8.empty()) return {};
  const int size = static_cast<int>(utf8.size());
  const int length = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, wide.data(), length);
  return wide;
}

std::string Utf8FromWide(std::wstring_view wide, bool escape_lone_surrogates) {
  std::string out;
  out.reserve(wide.size());
  for (std::size_t i = 0; i < wide.size(); ++i) {
    char32_t cp = static_cast<char16_t>(wide[i]);
    if (cp >= 0xD800 && cp <= 0xDFFF) {
      const bool paired = cp < 0xDC00 && i + 1 < wide.size() &&
                          static_cast<char16_t>(wide[i + 1]) >= 0xDC00 &&
                          static_cast<char16_t>(wide[i + 1]) <= 0xDFFF;
      if (paired) {
        cp = 0x10000 + ((cp - 0xD800) << 10) + (static_cast<char16_t>(wide[++i]) - 0xDC00);
      } else if (escape_lone_surrogates) {
        char escaped[8];
        std::snprintf(escaped, sizeof escaped, "\\u%04X", static_cast<unsigned>(cp));
        out += escaped;
        continue;
      } else {
        cp = 0xFFFD;
      }
    }
    if (cp < 0x80) {
      out += static_cast<char>(cp);
    } else if (cp < 0x800) {
      out += static_cast<char>(0xC0 | (cp >> 6));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
      out += static_cast<char>(0xE0 | (cp >> 12));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (cp >> 18));
      out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    }
  }
  return out;
}

}  // namespace korvel
