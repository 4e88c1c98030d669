#include "platform/profile.h"

#include <climits>
#include <fstream>
#include <optional>
#include <sstream>
#include <vector>

#include "platform/file_io.h"
#include "platform/text1251.h"

namespace korvel {
namespace {

// One line of the file's bytes: its text [begin, end) and where the next
// line starts (after "\n" or "\r\n"; at the end of the file for a last line
// without a line end).
struct LineSpan {
  std::size_t begin = 0;
  std::size_t end = 0;
  std::size_t next = 0;
};

struct ProfileText {
  std::vector<std::string> lines;  // code page 1251, without line ends
  std::vector<std::string> raw;    // the same lines as the file's own bytes
  bool utf8 = false;
};

std::optional<std::string> ReadWholeFile(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

std::vector<LineSpan> LinesOf(const std::string& bytes, bool utf8) {
  std::vector<LineSpan> lines;
  std::size_t at = utf8 && std::string_view(bytes).starts_with("\xEF\xBB\xBF") ? 3 : 0;
  while (at < bytes.size()) {
    const std::size_t newline = bytes.find('\n', at);
    LineSpan line;
    line.begin = at;
    line.end = newline == std::string::npos ? bytes.size() : newline;
    line.next = newline == std::string::npos ? bytes.size() : newline + 1;
    if (line.end > line.begin && bytes[line.end - 1] == '\r') --line.end;
    lines.push_back(line);
    at = line.next;
  }
  return lines;
}

// The line as code page 1251 text; a UTF-8 file's characters outside code
// page 1251 read as '?', which is enough to find sections and keys.
std::string LineText(const std::string& bytes, const LineSpan& line, bool utf8) {
  const std::string_view text = std::string_view(bytes).substr(line.begin, line.end - line.begin);
  return utf8 ? Utf8ToCp1251(text) : std::string(text);
}

ProfileText SplitProfile(const std::string& bytes) {
  ProfileText text;
  const bool utf8 = IsValidUtf8(bytes);
  text.utf8 = utf8;
  for (const LineSpan& line : LinesOf(bytes, utf8)) {
    text.lines.push_back(LineText(bytes, line, utf8));
    text.raw.push_back(bytes.substr(line.begin, line.end - line.begin));
  }
  return text;
}

// The file a name stands for: symbolic links followed to their end, even to
// a file that does not exist yet.
std::filesystem::path LinkTarget(const std::filesystem::path& file) {
  std::filesystem::path target = file;
  std::error_code ec;
  for (int hops = 0; hops < 40 && std::filesystem::is_symlink(target, ec); ++hops) {
    const std::filesystem::path link = std::filesystem::read_symlink(target, ec);
    if (ec) break;
    target = link.is_absolute() ? link : target.parent_path() / link;
  }
  return target;
}

// Puts `bytes` in place of the file's contents `before`: through a symbolic
// link into the file it names, the file's mode and owner kept.
bool WriteProfileBytes(const std::filesystem::path& file, const std::string& before,
                       const std::string& bytes) {
  const std::filesystem::path target = LinkTarget(file);
  std::error_code ec;
  if (bytes == before && std::filesystem::exists(target, ec)) return true;
  return ReplaceFileContents(target, bytes);
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

// The line that holds the key's value.
std::optional<std::size_t> FindKeyLine(const ProfileText& text, std::string_view section,
                                       std::string_view key) {
  bool inside = false;
  for (std::size_t i = 0; i < text.lines.size(); ++i) {
    const std::string& line = text.lines[i];
    if (const auto name = SectionOf(line)) {
      if (inside) break;  // only the first section of the name counts
      inside = EqualNoCase1251(*name, Trim(section));
      continue;
    }
    if (!inside) continue;
    if (const auto kv = KeyOf(line); kv && EqualNoCase1251(kv->key, Trim(key))) return i;
  }
  return std::nullopt;
}

std::optional<std::string> FindValue(const ProfileText& text, std::string_view section,
                                     std::string_view key) {
  const auto at = FindKeyLine(text, section, key);
  if (!at) return std::nullopt;
  return std::string(KeyOf(text.lines[*at])->value);
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

std::string GetProfileStringUtf8(std::string_view section, std::string_view key,
                                 std::string_view default_value,
                                 const std::filesystem::path& file) {
  if (const auto bytes = ReadWholeFile(file)) {
    const ProfileText text = SplitProfile(*bytes);
    // '=', blanks and quotes are the same bytes in both encodings.
    if (const auto at = FindKeyLine(text, section, key)) {
      const std::string value(KeyOf(text.raw[*at])->value);
      return text.utf8 ? value : Cp1251ToUtf8(value);
    }
  }
  return std::string(default_value);
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
  const std::string bytes = ReadWholeFile(file).value_or(std::string());
  const bool utf8 = IsValidUtf8(bytes);
  const char* eol = bytes.find("\r\n") != std::string::npos ? "\r\n" : "\n";
  const auto encoded = [utf8](const std::string& text1251) {
    return utf8 ? Cp1251ToUtf8(text1251) : text1251;
  };
  const std::string entry = encoded(std::string(Trim(key)) + "=" + std::string(value));
  const std::vector<LineSpan> lines = LinesOf(bytes, utf8);

  // Only the bytes of the one line written change; everything else stays as
  // it is on disk, whatever its encoding.
  std::string out;
  std::optional<std::size_t> section_line;
  std::optional<std::size_t> last_in_section;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const std::string line = LineText(bytes, lines[i], utf8);
    if (const auto name = SectionOf(line)) {
      if (section_line) break;  // the section ended without the key
      if (EqualNoCase1251(*name, Trim(section))) section_line = last_in_section = i;
      continue;
    }
    if (!section_line) continue;
    if (const auto kv = KeyOf(line); kv && EqualNoCase1251(kv->key, Trim(key))) {
      out = bytes.substr(0, lines[i].begin) + entry + bytes.substr(lines[i].end);
      return WriteProfileBytes(file, bytes, out);
    }
    if (!Trim(line).empty()) last_in_section = i;
  }
  if (section_line) {
    const LineSpan& after = lines[*last_in_section];
    // The line has its line end; a last line may end in a lone CR, which is
    // no line end to a reader that splits lines at LF.
    const bool ended = after.next > 0 && bytes[after.next - 1] == '\n';
    out = bytes.substr(0, after.next) + (ended ? "" : eol) + entry + eol + bytes.substr(after.next);
  } else {
    const bool ended = bytes.empty() || bytes.back() == '\n';
    out = bytes + (ended ? "" : eol) + encoded("[" + std::string(Trim(section)) + "]") + eol +
          entry + eol;
  }
  return WriteProfileBytes(file, bytes, out);
}

}  // namespace korvel
