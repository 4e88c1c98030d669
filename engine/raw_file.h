#pragma once
// The Korvel raw file: a 120-byte header, one 72-byte record per channel, then
// frames of one little-endian integer sample per channel. Every field is
// decoded from its bytes; nothing is read past the end of a file.

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "engine/time_arithmetic.h"

namespace korvel {

inline constexpr std::size_t kRawHeaderSize = 120;
inline constexpr std::size_t kRawChannelRecordSize = 72;

struct RawFileHeader {
  std::int16_t channel_count = 0;
  std::int16_t day = 0;
  std::int16_t month = 0;
  std::int16_t year = 0;
  std::int16_t sample_format = 0;
  char station[16] = {};
  double sample_interval = 0.0;
  double time_of_day = 0.0;
};

struct RawChannelRecord {
  char name[24] = {};
  double calibration = 0.0;
  double calibration_frequency = 0.0;
};

RawFileHeader DecodeRawHeader(std::span<const unsigned char, kRawHeaderSize> bytes);
RawChannelRecord DecodeRawChannelRecord(std::span<const unsigned char, kRawChannelRecordSize> bytes);

void TrimTrailingSpaces(char* field, std::size_t width);
void CutAtSpaceOrDot(char* field, std::size_t width);

// Names as stored (not upper-cased), code page 1251.
std::string RawStationName(const RawFileHeader& header);
std::string RawChannelName(const RawChannelRecord& record);

int RawAdjustedYear(const RawFileHeader& header);
EpochSeconds RawStartTime(const RawFileHeader& header);
int RawSampleWidth(const RawFileHeader& header);
double RawDuration(const RawFileHeader& header, std::uint64_t file_size);

// A header with a defined start time and rate: month 1..12, day 1..31, a
// finite interval above 0 and a finite time of day.
bool RawHeaderIsUsable(const RawFileHeader& header);
// The file holds at least the header and the whole channel table.
bool RawFileHoldsChannelTable(const RawFileHeader& header, std::uint64_t file_size);

// Samples of channel c (0-based) of n channels of w bytes each, from the data
// block after the channel table; out receives one float per whole frame and
// must hold block.size() / (n * w) of them. Returns the frame count.
std::size_t DecodeChannelSamples(std::span<const unsigned char> block, int channel_count,
                                 int sample_width, int channel, std::span<float> out);

// An open raw file, read with checked reads.
class RawFileReader {
 public:
  RawFileReader() = default;
  RawFileReader(const RawFileReader&) = delete;
  RawFileReader& operator=(const RawFileReader&) = delete;
  ~RawFileReader();

  bool Open(const std::filesystem::path& path);
  void Close();
  std::uint64_t Size() const { return m_size; }

  // ReadRawHeader: the number of header bytes obtained (120 when whole).
  std::size_t ReadRawHeader(RawFileHeader& header);
  bool ReadChannelRecord(RawChannelRecord& record);
  // Everything from the current position to the end of the file, in one piece.
  std::vector<unsigned char> ReadRest();
  // The same into memory of the caller's, which must hold Remaining() bytes;
  // the part actually read (shorter when the file shrank meanwhile).
  std::uint64_t Remaining() const { return m_size > m_position ? m_size - m_position : 0; }
  std::span<unsigned char> ReadRestInto(std::span<unsigned char> buffer);

 private:
  std::size_t ReadFully(unsigned char* buffer, std::size_t count);

  int m_fd = -1;
  std::uint64_t m_size = 0;
  std::uint64_t m_position = 0;
};

struct RawSummaryRow {
  std::string station;  // code page 1251, as stored
  std::string channel;  // code page 1251, as stored
  std::string rate;
  std::string start;
  std::string duration;
};

// One row per channel; empty when the file is not a usable raw file.
std::vector<RawSummaryRow> ReadRawSummary(const std::filesystem::path& path);

}  // namespace korvel
