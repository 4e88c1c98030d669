#include "platform/profile.h"

#include <cerrno>
#include <climits>
#include <fstream>
#include <optional>
#include <sstream>
#include <vector>

#include "platform/text1251.h"

namespace korvel {
namespace {

struct ProfileText {
  std::vector<std::string> lines;  // code page 1251, without line ends
  bool utf8 = true;
  bool crlf = false;
};

std::optional<std::string> ReadWholeFile(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

ProfileText SplitProfile(const std::string& bytes) {
  ProfileText text;
  text.utf8 = IsValidUtf8(bytes);
  text.crlf = bytes.find("\r\n") != std::string::npos;
  std::string_view rest = bytes;
  if (text.utf8 && rest.starts_with("\xEF\xBB\xBF")) rest.remove_prefix(3);
  while (!rest.empty()) {
    const std::size_t end = rest.find('\n');
    std::string_view line = rest.substr(0, end);
    if (line.ends_with('\r')) line.remove_suffix(1);
    text.lines.push_back(text.utf8 ? Utf8ToCp1251(line) : std::string(line));
    if (end == std::string_view::npos) break;
    rest.remove_prefix(end + 1);
  }
  return text;
}

std::string_view Trim(std::string_view s) {
  const auto blank = [](char c) { return c == ' ' || c == '\t'; };
  while (!s.empty() && blank(s.front())) s.remove_prefix(1);
  while (!s.empty() && blank(s.back())) s.remove_suffix(1);
  return s;
}

// The section name of a "[name]" line, or nothing for any other line.
std::optional<std::string_view> SectionOf(std::string_view line) {
  line = Trim(line);
  if (!line.starts_with('[')) return std::nullopt;
  const std::size_t close = line.find(']');
  if (close == std::string_view::npos) return std::nullopt;
  return Trim(line.substr(1, close - 1));
}

struct KeyLine {
  std::string_view key;
  std::string_view value;
};

std::optional<KeyLine> KeyOf(std::string_view line) {
  const std::size_t eq = line.find('=');
  if (eq == std::string_view::npos) return std::nullopt;
  const std::string_view key = Trim(line.substr(0, eq));
  if (key.empty() || key.front() == ';') return std::nullopt;
  std::string_view value = Trim(line.substr(eq + 1));
  // A value wholly between matching quotes is returned without them.
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
      value.back() == value.front())
    value = value.substr(1, value.size() - 2);
  return KeyLine{key, value};
}

std::optional<std::string> FindValue(const ProfileText& text, std::string_view section,
                                     std::string_view key) {
  bool inside = false;
  for (const std::string& line : text.lines) {
    if (const auto name = SectionOf(line)) {
      if (inside) break;  // only the first section of the name counts
      inside = EqualNoCase1251(*name, Trim(section));
      continue;
    }
    if (!inside) continue;
    if (const auto kv = KeyOf(line); kv && EqualNoCase1251(kv->key, Trim(key)))
      return std::string(kv->value);
  }
  return std::nullopt;
}

std::string Cut(std::string_view value, std::size_t buffer_size) {
  if (buffer_size == 0) return {};
  return std::string(value.substr(0, buffer_size - 1));
}

}  // namespace

std::string GetProfileString(std::string_view section, std::string_view key,
                             std::string_view default_value, std::size_t buffer_size,
                             const std::filesystem::path& file) {
  if (const auto bytes = ReadWholeFile(file)) {
    if (const auto value = FindValue(SplitProfile(*bytes), section, key))
      return Cut(*value, buffer_size);
  }
  // The Windows function drops trailing blanks of the default.
  std::string_view def = default_value;
  while (!def.empty() && def.back() == ' ') def.remove_suffix(1);
  return Cut(def, buffer_size);
}

int GetProfileInt(std::string_view section, std::string_view key, int default_value,
                  const std::filesystem::path& file) {
  const std::string value = GetProfileString(section, key, "", 64, file);
  if (value.empty()) return default_value;
  std::size_t i = 0;
  while (i < value.size() && (value[i] == ' ' || value[i] == '\t')) ++i;
  bool negative = false;
  if (i < value.size() && (value[i] == '-' || value[i] == '+')) negative = value[i++] == '-';
  long long n = 0;
  for (; i < value.size() && value[i] >= '0' && value[i] <= '9'; ++i) {
    n = n * 10 + (value[i] - '0');
    if (n > static_cast<long long>(INT_MAX) + 1) n = static_cast<long long>(INT_MAX) + 1;
  }
  if (negative) n = -n;
  if (n > INT_MAX) n = INT_MAX;
  return static_cast<int>(n);
}

bool WriteProfileString(std::string_view section, std::string_view key, std::string_view value,
                        const std::filesystem::path& file) {
  ProfileText text;
  if (const auto bytes = ReadWholeFile(file)) text = SplitProfile(*bytes);
  if (!text.lines.empty() && text.lines.back().empty()) text.lines.pop_back();

  const std::string entry = std::string(Trim(key)) + "=" + std::string(value);
  std::optional<std::size_t> section_line;
  std::optional<std::size_t> last_in_section;
  bool replaced = false;
  for (std::size_t i = 0; i < text.lines.size() && !replaced; ++i) {
    if (const auto name = SectionOf(text.lines[i])) {
      if (section_line && !replaced) break;  // the section ended without the key
      if (EqualNoCase1251(*name, Trim(section))) section_line = last_in_section = i;
      continue;
    }
    if (!section_line) continue;
    if (const auto kv = KeyOf(text.lines[i]); kv && EqualNoCase1251(kv->key, Trim(key))) {
      text.lines[i] = entry;
      replaced = true;
    } else if (!Trim(text.lines[i]).empty()) {
      last_in_section = i;
    }
  }
  if (!replaced) {
    if (section_line) {
      text.lines.insert(text.lines.begin() + static_cast<std::ptrdiff_t>(*last_in_section) + 1,
                        entry);
    } else {
      text.lines.push_back("[" + std::string(Trim(section)) + "]");
      text.lines.push_back(entry);
    }
  }

  std::string out;
  const char* eol = text.crlf ? "\r\n" : "\n";
  for (const std::string& line : text.lines) out += (text.utf8 ? Cp1251ToUtf8(line) : line) + eol;

  // Written beside the file and renamed over it, so a crash never leaves half a file.
  std::filesystem::path temp = file;
  temp += ".tmp";
  {
    std::ofstream os(temp, std::ios::binary | std::ios::trunc);
    if (!os.write(out.data(), static_cast<std::streamsize>(out.size())) || !os.flush())
      return false;
  }
  std::error_code ec;
  std::filesystem::rename(temp, file, ec);
  if (ec) {
    std::error_code ignored;
    std::filesystem::remove(temp, ignored);
    return false;
  }
  return true;
}

}  // namespace korvel
