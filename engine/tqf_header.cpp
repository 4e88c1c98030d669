#include "engine/tqf_header.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <map>
#include <string_view>
#include <vector>

#include "platform/file_io.h"
#include "platform/number_text.h"

namespace korvel {
namespace {

std::string_view Trimmed(std::string_view text) {
  const std::size_t first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  const std::size_t last = text.find_last_not_of(" \t");
  return text.substr(first, last - first + 1);
}

std::string Lower(std::string_view text) {
  std::string lower(text);
  for (char& c : lower)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return lower;
}

// Whole numbers separated by blanks, exactly `count` of them.
bool ReadNumbers(std::string_view text, int count, int* out) {
  for (int i = 0; i < count; ++i) {
    text = Trimmed(text);
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), out[i]);
    if (error != std::errc() || end == text.data()) return false;
    text.remove_prefix(static_cast<std::size_t>(end - text.data()));
  }
  return Trimmed(text).empty();
}

}  // namespace

ParsedTqfHeader ParseTqfHeader(const TqfHeader& bytes) {
  ParsedTqfHeader parsed;
  const std::string_view text(bytes.data(), strnlen(bytes.data(), bytes.size()));
  std::vector<std::string_view> lines;
  for (std::size_t start = 0; start < text.size();) {
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.push_back(line);
    start = end + 1;
  }
  if (lines.empty() || Trimmed(lines.front()) != "[TQF4.0]") {
    parsed.defect = "[TQF4.0]";
    return parsed;
  }
  std::map<std::string, std::string_view> values;  // the first of each key counts
  for (std::size_t i = 1; i < lines.size(); ++i) {
    const std::size_t equals = lines[i].find('=');
    if (equals == std::string_view::npos) continue;
    values.emplace(Lower(Trimmed(lines[i].substr(0, equals))), lines[i].substr(equals + 1));
  }
  const auto value = [&](const char* key) -> std::optional<std::string_view> {
    const auto found = values.find(Lower(key));
    if (found == values.end()) return std::nullopt;
    return found->second;
  };
  const auto fail = [&](const char* defect) {
    parsed.defect = defect;
    return parsed;
  };

  TqfHeaderFields f;
  const auto offset = value("Data offset");
  const std::string_view offset_text = offset ? Trimmed(*offset) : std::string_view();
  const auto [offset_end, offset_error] =
      std::from_chars(offset_text.data(), offset_text.data() + offset_text.size(), f.data_offset);
  if (!offset || offset_error != std::errc() ||
      offset_end != offset_text.data() + offset_text.size() || f.data_offset < 0)
    return fail("Data offset");

  int time[3] = {};
  const auto start_time = value("Start time");
  if (!start_time || !ReadNumbers(*start_time, 3, time) || time[0] < 0 || time[0] > 23 ||
      time[1] < 0 || time[1] > 59 || time[2] < 0 || time[2] > 59)
    return fail("Start time");
  int date[3] = {};
  const auto start_date = value("Start date");
  if (!start_date || !ReadNumbers(*start_date, 3, date) || date[0] < 1 || date[0] > 31 ||
      date[1] < 1 || date[1] > 12 || date[2] < 1 || date[2] > 9999)
    return fail("Start date");
  f.hour = time[0], f.minute = time[1], f.second = time[2];
  f.day = date[0], f.month = date[1], f.year = date[2];
  f.start = ToEpochSeconds(f.year, f.month, f.day, f.hour, f.minute, static_cast<float>(f.second));

  const auto rate = value("SpS");
  const std::string_view rate_text = rate ? Trimmed(*rate) : std::string_view();
  const std::optional<double> rate_value = ParseNumber(rate_text);
  if (!rate_value || !std::isfinite(*rate_value) || !(*rate_value > 0.0)) return fail("SpS");
  f.sampling_rate = *rate_value;
  f.sampling_rate_text = std::string(rate_text);

  const auto station = value("Station");
  if (!station || station->empty()) return fail("Station");
  f.station = std::string(*station);
  const auto channel = value("Channel");
  if (!channel) return fail("Channel");
  std::string_view name = *channel;
  if (name.size() >= 2 && name.front() == '"' && name.back() == '"')
    name = name.substr(1, name.size() - 2);
  if (name.empty()) return fail("Channel");
  f.channel = std::string(name);
  parsed.fields = std::move(f);
  return parsed;
}

bool IsOwnTqfHeader(const TqfHeader& bytes, const TqfHeaderFields& fields) {
  return BuildHeader(fields.station, fields.channel, fields.sampling_rate, fields.start) == bytes;
}

std::optional<TqfFileHead> ReadTqfFileHead(const std::filesystem::path& path) {
  TqfFileHead head;
  const int fd = OpenFileForReading(path, head.size);
  if (fd < 0) return std::nullopt;
  TqfHeader header;
  std::size_t got = 0;
  bool failed = false;
  while (got < header.size()) {
    const std::int64_t n = ReadSome(fd, header.data() + got, header.size() - got);
    if (n < 0) failed = true;
    if (n <= 0) break;
    got += static_cast<std::size_t>(n);
  }
  CloseFile(fd);
  if (failed) return std::nullopt;
  if (got == header.size()) head.header = header;
  return head;
}

}  // namespace korvel
