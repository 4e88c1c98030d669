#include "engine/raw_file.h"

#include <bit>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "platform/file_io.h"
#include "platform/number_text.h"

namespace korvel {
namespace {

std::int16_t Int16At(const unsigned char* p) {
  return static_cast<std::int16_t>(static_cast<std::uint16_t>(p[0] | (p[1] << 8)));
}

double Float64At(const unsigned char* p) {
  std::uint64_t bits = 0;
  for (int i = 7; i >= 0; --i) bits = (bits << 8) | p[i];
  return std::bit_cast<double>(bits);
}

std::int32_t Int32At(const unsigned char* p) {
  return static_cast<std::int32_t>(
      static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
      (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24));
}

std::string FieldText(const char* field, std::size_t width) {
  return std::string(field, strnlen(field, width));
}

}  // namespace

RawFileHeader DecodeRawHeader(std::span<const unsigned char, kRawHeaderSize> bytes) {
  const unsigned char* p = bytes.data();
  RawFileHeader h;
  h.channel_count = Int16At(p + raw_offset::kChannelCount);
  h.day = Int16At(p + raw_offset::kDay);
  h.month = Int16At(p + raw_offset::kMonth);
  h.year = Int16At(p + raw_offset::kYear);
  h.sample_format = Int16At(p + raw_offset::kSampleFormat);
  std::memcpy(h.station, p + raw_offset::kStation, sizeof h.station);
  h.sample_interval = Float64At(p + raw_offset::kSampleInterval);
  h.time_of_day = Float64At(p + raw_offset::kTimeOfDay);
  return h;
}

RawChannelRecord DecodeRawChannelRecord(
    std::span<const unsigned char, kRawChannelRecordSize> bytes) {
  const unsigned char* p = bytes.data();
  RawChannelRecord r;
  std::memcpy(r.name, p + raw_offset::kChannelName, sizeof r.name);
  r.calibration = Float64At(p + raw_offset::kCalibration);
  r.calibration_frequency = Float64At(p + raw_offset::kCalibrationFrequency);
  return r;
}

void TrimTrailingSpaces(char* field, std::size_t width) {
  for (std::size_t i = width; i > 0; --i) {
    if (field[i - 1] != ' ') break;
    field[i - 1] = '\0';
  }
}

void CutAtSpaceOrDot(char* field, std::size_t width) {
  for (std::size_t i = 0; i < width; ++i) {
    if (field[i] == ' ') {
      field[i] = '\0';
    } else if (field[i] == '.') {
      field[i] = '\0';
      break;
    }
  }
}

std::string RawStationName(const RawFileHeader& header) {
  char field[kRawStationWidth];
  std::memcpy(field, header.station, sizeof field);
  TrimTrailingSpaces(field, sizeof field);
  CutAtSpaceOrDot(field, sizeof field);
  return FieldText(field, sizeof field);
}

std::string RawChannelName(const RawChannelRecord& record) {
  char field[kRawChannelNameWidth];
  std::memcpy(field, record.name, sizeof field);
  TrimTrailingSpaces(field, sizeof field);
  return FieldText(field, sizeof field);
}

int RawAdjustedYear(const RawFileHeader& header) {
  return header.year < 1900 ? header.year + 2000 : header.year;
}

EpochSeconds RawStartTime(const RawFileHeader& header) {
  return ToEpochSeconds(RawAdjustedYear(header), header.month, header.day, 0, 0, 0.0f) +
         header.time_of_day;
}

int RawSampleWidth(const RawFileHeader& header) {
  return header.sample_format == 16 || header.sample_format == 0 ? 2 : 4;
}

double RawDuration(const RawFileHeader& header, std::uint64_t file_size) {
  const double n = header.channel_count;
  const double data = static_cast<double>(file_size) - static_cast<double>(kRawHeaderSize) -
                      static_cast<double>(kRawChannelRecordSize) * n;
  return data * header.sample_interval / (n * RawSampleWidth(header));
}

std::size_t DecodeChannelSamples(std::span<const unsigned char> block, int channel_count,
                                 int sample_width, int channel, std::span<float> out) {
  if (channel_count <= 0 || channel < 0 || channel >= channel_count) return 0;
  const std::size_t w = static_cast<std::size_t>(sample_width);
  const std::size_t frame = static_cast<std::size_t>(channel_count) * w;
  const std::size_t frames = std::min(block.size() / frame, out.size());
  const unsigned char* data = block.data();
  const std::size_t first = static_cast<std::size_t>(channel) * w;
  if (w == 2) {
    for (std::size_t k = 0; k < frames; ++k)
      out[k] = static_cast<float>(Int16At(data + first + k * frame));
  } else {
    for (std::size_t k = 0; k < frames; ++k)
      out[k] = static_cast<float>(Int32At(data + first + k * frame));
  }
  return frames;
}

RawFileReader::~RawFileReader() { Close(); }

bool RawFileReader::Open(const std::filesystem::path& path) {
  Close();
  // Only regular files: a FIFO in a data directory cannot hang the scan.
  m_fd = OpenFileForReading(path, m_size);
  m_error = m_fd < 0 ? errno : 0;
  return m_fd >= 0;
}

void RawFileReader::Close() {
  if (m_fd >= 0) CloseFile(m_fd);
  m_fd = -1;
  m_size = 0;
  m_position = 0;
}

std::size_t RawFileReader::ReadFully(unsigned char* buffer, std::size_t count) {
  std::size_t got = 0;
  while (m_fd >= 0 && got < count) {
    const std::int64_t n = ReadSome(m_fd, buffer + got, count - got);
    if (n <= 0) {
      m_error = n < 0 ? errno : 0;
      break;
    }
    got += static_cast<std::size_t>(n);
  }
  m_position += got;
  return got;
}

std::size_t RawFileReader::ReadRawHeader(RawFileHeader& header) {
  unsigned char bytes[kRawHeaderSize] = {};
  const std::size_t got = ReadFully(bytes, sizeof bytes);
  header = DecodeRawHeader(bytes);
  return got;
}

bool RawFileReader::ReadChannelRecord(RawChannelRecord& record) {
  unsigned char bytes[kRawChannelRecordSize] = {};
  if (ReadFully(bytes, sizeof bytes) != sizeof bytes) return false;
  record = DecodeRawChannelRecord(bytes);
  return true;
}

std::vector<unsigned char> RawFileReader::ReadRest() {
  std::vector<unsigned char> data(Remaining());
  data.resize(ReadFully(data.data(), data.size()));
  return data;
}

std::span<unsigned char> RawFileReader::ReadRestInto(std::span<unsigned char> buffer) {
  const std::size_t count = std::min<std::uint64_t>(buffer.size(), Remaining());
  return buffer.first(ReadFully(buffer.data(), count));
}

const char* RawFileRefusalText(RawFileRefusal refusal) {
  switch (refusal) {
    case RawFileRefusal::kNone:
      return "a usable raw file";
    case RawFileRefusal::kCannotOpen:
      return "cannot be opened as a regular file";
    case RawFileRefusal::kReadFailed:
      return "a read failed before the end of the channel table";
    case RawFileRefusal::kHeaderCut:
      return "shorter than the 120-byte header";
    case RawFileRefusal::kNoStartDate:
      return "no start date: month or day out of range";
    case RawFileRefusal::kNoSampleInterval:
      return "no sampling rate: the interval is not a finite number above 0";
    case RawFileRefusal::kNoTimeOfDay:
      return "no start time: the time of day is not finite";
    case RawFileRefusal::kNegativeChannels:
      return "a negative channel count";
    case RawFileRefusal::kChannelTableCut:
      return "shorter than its own channel table";
    case RawFileRefusal::kSummaryChannelCount:
      return "no summary: the channel count is not 1 to 99";
    case RawFileRefusal::kSummaryEarlyStart:
      return "no summary: the start is not after 1970-01-01 00:00:01";
  }
  return "unknown";
}

RawFileRefusal ParseRawFile(const std::filesystem::path& path, RawFileReader& reader,
                            ParsedRawFile& parsed) {
  if (!reader.Open(path)) return RawFileRefusal::kCannotOpen;
  parsed.size = reader.Size();
  // Shorter than its size said: a failed read, not a file too short to be raw.
  if (reader.ReadRawHeader(parsed.header) != kRawHeaderSize)
    return parsed.size < kRawHeaderSize ? RawFileRefusal::kHeaderCut : RawFileRefusal::kReadFailed;
  const RawFileHeader& h = parsed.header;
  // The start date is looked up in tables of twelve months: outside them a
  // file has no defined start time.
  if (h.month < 1 || h.month > 12 || h.day < 1 || h.day > 31) return RawFileRefusal::kNoStartDate;
  if (!std::isfinite(h.sample_interval) || !(h.sample_interval > 0.0))
    return RawFileRefusal::kNoSampleInterval;
  if (!std::isfinite(h.time_of_day)) return RawFileRefusal::kNoTimeOfDay;
  if (h.channel_count < 0) return RawFileRefusal::kNegativeChannels;
  const auto n = static_cast<std::uint64_t>(h.channel_count);
  if (parsed.size < kRawHeaderSize + kRawChannelRecordSize * n)
    return RawFileRefusal::kChannelTableCut;
  parsed.channels.resize(n);
  for (RawChannelRecord& record : parsed.channels)
    if (!reader.ReadChannelRecord(record)) return RawFileRefusal::kReadFailed;
  return RawFileRefusal::kNone;
}

RawSummary SummarizeRawFile(const std::filesystem::path& path) {
  RawSummary summary;
  RawFileReader reader;
  ParsedRawFile file;
  summary.refusal = ParseRawFile(path, reader, file);
  if (summary.refusal != RawFileRefusal::kNone) return summary;
  // The summary's own refusals, beyond what makes a file usable.
  const int n = file.header.channel_count;
  const EpochSeconds start = RawStartTime(file.header);
  if (n <= 0 || n >= 100)
    summary.refusal = RawFileRefusal::kSummaryChannelCount;
  else if (!(start > 1.0))
    summary.refusal = RawFileRefusal::kSummaryEarlyStart;
  if (summary.refusal != RawFileRefusal::kNone) return summary;

  const std::string rate = FixedNumber(1.0 / file.header.sample_interval, 3);
  const std::string station = RawStationName(file.header);
  const std::string start_text = FormatTimeText(start, 0);
  const std::string duration_text = FormatTimeText(RawDuration(file.header, file.size), 1);
  for (const RawChannelRecord& record : file.channels)
    summary.rows.push_back({station, RawChannelName(record), rate, start_text, duration_text});
  return summary;
}

std::vector<RawSummaryRow> ReadRawSummary(const std::filesystem::path& path) {
  return SummarizeRawFile(path).rows;
}

}  // namespace korvel
