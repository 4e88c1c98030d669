#include "engine/raw_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <bit>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>

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
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(p[0]) |
                                   (static_cast<std::uint32_t>(p[1]) << 8) |
                                   (static_cast<std::uint32_t>(p[2]) << 16) |
                                   (static_cast<std::uint32_t>(p[3]) << 24));
}

std::string FieldText(const char* field, std::size_t width) {
  return std::string(field, strnlen(field, width));
}

}  // namespace

RawFileHeader DecodeRawHeader(std::span<const unsigned char, kRawHeaderSize> bytes) {
  const unsigned char* p = bytes.data();
  RawFileHeader h;
  h.channel_count = Int16At(p + 0);
  h.day = Int16At(p + 6);
  h.month = Int16At(p + 8);
  h.year = Int16At(p + 10);
  h.sample_format = Int16At(p + 18);
  std::memcpy(h.station, p + 32, sizeof h.station);
  h.sample_interval = Float64At(p + 48);
  h.time_of_day = Float64At(p + 56);
  return h;
}

RawChannelRecord DecodeRawChannelRecord(std::span<const unsigned char, kRawChannelRecordSize> bytes) {
  const unsigned char* p = bytes.data();
  RawChannelRecord r;
  std::memcpy(r.name, p + 8, sizeof r.name);
  r.calibration = Float64At(p + 56);
  r.calibration_frequency = Float64At(p + 64);
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
  char field[16];
  std::memcpy(field, header.station, sizeof field);
  TrimTrailingSpaces(field, sizeof field);
  CutAtSpaceOrDot(field, sizeof field);
  return FieldText(field, sizeof field);
}

std::string RawChannelName(const RawChannelRecord& record) {
  char field[24];
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

bool RawHeaderIsUsable(const RawFileHeader& header) {
  return header.month >= 1 && header.month <= 12 && header.day >= 1 && header.day <= 31 &&
         std::isfinite(header.sample_interval) && header.sample_interval > 0.0 &&
         std::isfinite(header.time_of_day);
}

bool RawFileHoldsChannelTable(const RawFileHeader& header, std::uint64_t file_size) {
  if (header.channel_count < 0) return false;
  return file_size >= kRawHeaderSize + kRawChannelRecordSize *
                                           static_cast<std::uint64_t>(header.channel_count);
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
    for (std::size_t k = 0; k < frames; ++k) out[k] = static_cast<float>(Int16At(data + first + k * frame));
  } else {
    for (std::size_t k = 0; k < frames; ++k) out[k] = static_cast<float>(Int32At(data + first + k * frame));
  }
  return frames;
}

RawFileReader::~RawFileReader() { Close(); }

bool RawFileReader::Open(const std::filesystem::path& path) {
  Close();
  // Non-blocking, so that a FIFO in a data directory cannot hang the scan; only
  // regular files are read.
  m_fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (m_fd < 0) return false;
  struct stat st {};
  if (::fstat(m_fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    Close();
    return false;
  }
  m_size = static_cast<std::uint64_t>(st.st_size);
  m_position = 0;
  return true;
}

void RawFileReader::Close() {
  if (m_fd >= 0) ::close(m_fd);
  m_fd = -1;
  m_size = 0;
  m_position = 0;
}

std::size_t RawFileReader::ReadFully(unsigned char* buffer, std::size_t count) {
  std::size_t got = 0;
  while (m_fd >= 0 && got < count) {
    const ssize_t n = ::read(m_fd, buffer + got, count - got);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
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

std::vector<RawSummaryRow> ReadRawSummary(const std::filesystem::path& path) {
  RawFileReader file;
  if (!file.Open(path)) return {};
  RawFileHeader header;
  if (file.ReadRawHeader(header) != kRawHeaderSize) return {};
  const int n = header.channel_count;
  if (n <= 0 || n >= 100) return {};
  if (!RawHeaderIsUsable(header) || !RawFileHoldsChannelTable(header, file.Size())) return {};
  const EpochSeconds start = RawStartTime(header);
  if (!(start > 1.0)) return {};

  char rate[400];  // room for the 309 digits of the largest double
  std::snprintf(rate, sizeof rate, "%.3f", 1.0 / header.sample_interval);
  const std::string station = RawStationName(header);
  const std::string start_text = FormatTimeText(start, 0);
  const std::string duration_text = FormatTimeText(RawDuration(header, file.Size()), 1);

  std::vector<RawSummaryRow> rows;
  for (int c = 0; c < n; ++c) {
    RawChannelRecord record;
    if (!file.ReadChannelRecord(record)) return {};
    rows.push_back({station, RawChannelName(record), rate, start_text, duration_text});
  }
  return rows;
}

}  // namespace korvel
