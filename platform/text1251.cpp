#include "platform/text1251.h"

#include <array>
#include <cstdint>

namespace korvel {
namespace {

// Unicode code points of the bytes 0x80..0xBF; 0xC0..0xFF are U+0410..U+044F.
// 0x98 is unassigned in code page 1251 and is carried as U+0098.
constexpr std::array<char16_t, 64> kHighHalf = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, 0x20AC, 0x2030, 0x0409,
    0x2039, 0x040A, 0x040C, 0x040B, 0x040F, 0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x0098, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, 0x00A0,
    0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7, 0x0401, 0x00A9, 0x0404, 0x00AB,
    0x00AC, 0x00AD, 0x00AE, 0x0407, 0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6,
    0x00B7, 0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,
};

char32_t ToUnicode(unsigned char b) {
  if (b < 0x80) return b;
  if (b >= 0xC0) return 0x0410 + (b - 0xC0);
  return kHighHalf[b - 0x80];
}

int FromUnicode(char32_t cp) {
  if (cp < 0x80) return static_cast<int>(cp);
  if (cp >= 0x0410 && cp <= 0x044F) return 0xC0 + static_cast<int>(cp - 0x0410);
  for (std::size_t i = 0; i < kHighHalf.size(); ++i)
    if (kHighHalf[i] == cp) return 0x80 + static_cast<int>(i);
  return -1;
}

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

// Decodes one UTF-8 sequence at text[i]; returns its length, 0 when invalid.
std::size_t DecodeUtf8(std::string_view text, std::size_t i, char32_t& cp) {
  const auto b0 = static_cast<unsigned char>(text[i]);
  std::size_t len;
  char32_t min;
  if (b0 < 0x80) {
    cp = b0;
    return 1;
  } else if ((b0 & 0xE0) == 0xC0) {
    len = 2, cp = b0 & 0x1F, min = 0x80;
  } else if ((b0 & 0xF0) == 0xE0) {
    len = 3, cp = b0 & 0x0F, min = 0x800;
  } else if ((b0 & 0xF8) == 0xF0) {
    len = 4, cp = b0 & 0x07, min = 0x10000;
  } else {
    return 0;
  }
  if (i + len > text.size()) return 0;
  for (std::size_t k = 1; k < len; ++k) {
    const auto b = static_cast<unsigned char>(text[i + k]);
    if ((b & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (b & 0x3F);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
  return len;
}

}  // namespace

char Upper1251(char c) {
  const auto b = static_cast<unsigned char>(c);
  int u = b;
  if ((b >= 'a' && b <= 'z') || b >= 0xE0) {
    u = b - 0x20;
  } else {
    switch (b) {
      case 0x83:
        u = 0x81;
        break;  // ѓ
      case 0x90:
        u = 0x80;
        break;  // ђ
      case 0x9A:
        u = 0x8A;
        break;  // љ
      case 0x9C:
        u = 0x8C;
        break;  // њ
      case 0x9D:
        u = 0x8D;
        break;  // ќ
      case 0x9E:
        u = 0x8E;
        break;  // ћ
      case 0x9F:
        u = 0x8F;
        break;  // џ
      case 0xA2:
        u = 0xA1;
        break;  // ў
      case 0xB3:
        u = 0xB2;
        break;  // і
      case 0xB4:
        u = 0xA5;
        break;  // ґ
      case 0xB8:
        u = 0xA8;
        break;  // ё
      case 0xBA:
        u = 0xAA;
        break;  // є
      case 0xBC:
        u = 0xA3;
        break;  // ј
      case 0xBE:
        u = 0xBD;
        break;  // ѕ
      case 0xBF:
        u = 0xAF;
        break;  // ї
      default:
        break;
    }
  }
  return static_cast<char>(u);
}

std::string CharUpper1251(std::string_view text) {
  std::string out(text);
  CharUpperBuff1251(out.data(), out.size());
  return out;
}

void CharUpperBuff1251(char* text, std::size_t length) {
  for (std::size_t i = 0; i < length; ++i) text[i] = Upper1251(text[i]);
}

bool EqualNoCase1251(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (Upper1251(a[i]) != Upper1251(b[i])) return false;
  return true;
}

std::string Cp1251ToUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size() * 2);
  for (char c : text) AppendUtf8(out, ToUnicode(static_cast<unsigned char>(c)));
  return out;
}

std::string Utf8ToCp1251(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    char32_t cp = 0;
    const std::size_t len = DecodeUtf8(text, i, cp);
    if (len == 0) {
      out += text[i++];
      continue;
    }
    const int b = FromUnicode(cp);
    out += b < 0 ? '?' : static_cast<char>(b);
    i += len;
  }
  return out;
}

bool IsValidUtf8(std::string_view text) {
  for (std::size_t i = 0; i < text.size();) {
    char32_t cp = 0;
    const std::size_t len = DecodeUtf8(text, i, cp);
    if (len == 0) return false;
    i += len;
  }
  return true;
}

std::string EscapeInvalidUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (std::size_t i = 0; i < bytes.size();) {
    char32_t cp = 0;
    const std::size_t len = DecodeUtf8(bytes, i, cp);
    if (len == 0) {
      static constexpr char kHex[] = "0123456789ABCDEF";
      const auto byte = static_cast<unsigned char>(bytes[i++]);
      out += "\\x";
      out += kHex[byte >> 4];
      out += kHex[byte & 0x0F];
      continue;
    }
    out.append(bytes.substr(i, len));
    i += len;
  }
  return out;
}

const char* RussianPlural(long count, const char* one, const char* few, const char* many) {
  const long n = count < 0 ? -count : count;
  if (n % 100 >= 11 && n % 100 <= 14) return many;
  if (n % 10 == 1) return one;
  if (n % 10 >= 2 && n % 10 <= 4) return few;
  return many;
}

std::string DisplayName(std::string_view text1251) {
  std::string shown;
  for (const char c : text1251) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) {
      static constexpr char kHex[] = "0123456789ABCDEF";
      shown += "\\x";
      shown += kHex[byte >> 4];
      shown += kHex[byte & 0x0F];
    } else {
      shown += c;
    }
  }
  return Cp1251ToUtf8(shown);
}

std::size_t Utf8CharacterCount(std::string_view text) {
  std::size_t count = 0;
  for (char c : text) count += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  return count;
}

std::string LastUtf8Characters(std::string_view text, std::size_t count) {
  std::size_t at = text.size();
  while (at > 0 && count > 0) {
    --at;
    if ((static_cast<unsigned char>(text[at]) & 0xC0) != 0x80) --count;
  }
  return std::string(text.substr(at));
}

}  // namespace korvel
