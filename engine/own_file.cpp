#include "engine/own_file.h"

#include <cerrno>

#include "engine/tqf_file.h"
#include "platform/native_path.h"
#include "platform/text1251.h"

namespace korvel {
namespace {

// A name's file-name form read back: "%HH" (upper-case hex) is the byte.
std::optional<std::string> FromFileNameForm(std::string_view form) {
  const auto hex = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  };
  std::string name;
  for (std::size_t i = 0; i < form.size(); ++i) {
    if (form[i] != '%') {
      name += form[i];
      continue;
    }
    if (i + 2 >= form.size()) return std::nullopt;
    const int high = hex(form[i + 1]), low = hex(form[i + 2]);
    if (high < 0 || low < 0) return std::nullopt;
    name += static_cast<char>(high * 16 + low);
    i += 2;
  }
  return name;
}

// Digits only, as a number.
std::optional<int> Digits(std::string_view text) {
  int value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  return value;
}

// The staging file's ending (StagedTqfPath).
std::optional<std::string_view> StagedFor(std::string_view relative_path) {
  const std::string suffix = StagedTqfPath("");
  if (relative_path.size() <= suffix.size() || !relative_path.ends_with(suffix))
    return std::nullopt;
  return relative_path.substr(0, relative_path.size() - suffix.size());
}

}  // namespace

std::optional<TqfName> ParseTqfRelativePath(std::string_view relative_path) {
  const std::size_t first = relative_path.find('/');
  if (first == std::string_view::npos) return std::nullopt;
  const std::size_t second = relative_path.find('/', first + 1);
  if (second == std::string_view::npos) return std::nullopt;
  const std::string_view station_form = relative_path.substr(0, first);
  const std::string_view file = relative_path.substr(second + 1);
  // DDMMYYYY-HHMMSS-CHANNEL.STATION
  constexpr std::size_t kTimePart = 16;
  const std::string ending = "." + std::string(station_form);
  if (station_form.empty() || file.size() <= kTimePart + ending.size() || file[8] != '-' ||
      file[15] != '-' || !file.ends_with(ending))
    return std::nullopt;
  const auto day = Digits(file.substr(0, 2)), month = Digits(file.substr(2, 2)),
             year = Digits(file.substr(4, 4)), hour = Digits(file.substr(9, 2)),
             minute = Digits(file.substr(11, 2)), second_of_minute = Digits(file.substr(13, 2));
  if (!day || !month || !year || !hour || !minute || !second_of_minute || *month < 1 ||
      *month > 12 || *day < 1 || *day > 31 || *year < 1970 || *hour > 23 || *minute > 59 ||
      *second_of_minute > 59)
    return std::nullopt;
  const std::optional<std::string> station = FromFileNameForm(station_form);
  const std::optional<std::string> channel =
      FromFileNameForm(file.substr(kTimePart, file.size() - kTimePart - ending.size()));
  if (!station || !channel) return std::nullopt;
  TqfName name{
      *station, *channel,
      ToEpochSeconds(*year, *month, *day, *hour, *minute, static_cast<float>(*second_of_minute))};
  // Only the one spelling this program gives: the hour folder, the escapes
  // and the date all as TqfRelativePath writes them.
  if (TqfRelativePath(name.station, name.channel, name.start) != relative_path) return std::nullopt;
  return name;
}

OwnFileCandidate::OwnFileCandidate(const RootFolder& root, std::string_view output_root,
                                   std::string_view relative_path, FileAccess access)
    : m_full(TqfFullPath(output_root, relative_path)), m_file(root, NativePath(m_full), access) {
  if (m_file.Doubt() != FileDoubt::kNone || access == FileAccess::kLook ||
      m_file.Facts().size < kTqfHeaderSize)
    return;
  TqfHeader header;
  std::size_t got = 0;
  while (got < header.size()) {
    const std::int64_t n = ReadSome(m_file.Descriptor(), header.data() + got, header.size() - got);
    if (n <= 0) return;
    got += static_cast<std::size_t>(n);
  }
  std::optional<TqfHeaderFields> fields = ParseTqfHeader(header).fields;
  if (fields && IsOwnTqfHeader(header, *fields)) m_header = std::move(fields);
}

bool OwnFileCandidate::OursFor(std::string_view station, std::string_view channel) const {
  return Doubt() == FileDoubt::kNone && m_header && m_header->station == station &&
         m_header->channel == channel;
}

FileResult OwnFileCandidate::CutBack(std::uint64_t samples) const {
  if (Doubt() == FileDoubt::kNone &&
      ResizeOpenFile(m_file.Descriptor(), kTqfHeaderSize + 4 * samples))
    return std::nullopt;
  return FileError{FileOperation::kWrite, Cp1251ToUtf8(m_full),
                   Doubt() == FileDoubt::kNone ? errno : 0};
}

FileResult OwnFileCandidate::Remove() const {
  if (Doubt() == FileDoubt::kNone && RemoveFile(NativePath(m_full))) return std::nullopt;
  return FileError{FileOperation::kWrite, Cp1251ToUtf8(m_full),
                   Doubt() == FileDoubt::kNone ? errno : 0};
}

OrphanMend JudgeOrphan(const OwnFileCandidate& file, std::string_view relative_path,
                       std::string_view station) {
  if (file.Doubt() != FileDoubt::kNone) return OrphanMend::kLeave;
  const std::optional<std::string_view> staged_for = StagedFor(relative_path);
  const std::string_view named = staged_for.value_or(relative_path);
  const std::optional<TqfName> name = ParseTqfRelativePath(named);
  if (!name || name->station != station) return OrphanMend::kLeave;
  if (file.Size() == 0) return OrphanMend::kRemove;
  // The header this program writes for that name: the name carries every
  // field of it but the rate, which the header's own bytes then prove.
  const std::optional<TqfHeaderFields>& header = file.OwnHeader();
  if (!header || TqfRelativePath(header->station, header->channel, header->start) != named)
    return OrphanMend::kLeave;
  if (staged_for || file.Size() == kTqfHeaderSize) return OrphanMend::kRemove;
  return (file.Size() - kTqfHeaderSize) % 4 == 0 ? OrphanMend::kRegister : OrphanMend::kLeave;
}

}  // namespace korvel
