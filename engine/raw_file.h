#pragma once
// The Korvel raw file. Every number is little-endian; text fields are fixed
// width, padded with spaces, possibly holding NUL bytes. There is no magic
// number and no version: a file is recognised by what it holds.
//
//   offset        size    content
//   0             120     header
//   120           72 * n  one channel record per channel, in channel order
//   120 + 72 * n  rest    frames: one sample of every channel, in record order
//
// Header (120 bytes):
//   offset  width  type      field
//   0       2      int16     channel_count   n
//   2       4      -         (not used)
//   6       2      int16     day             day of month of the start date
//   8       2      int16     month           1 to 12
//   10      2      int16     year            below 1900: that many years after 2000
//   12      6      -         (not used)
//   18      2      int16     sample_format   16 or 0: 2-byte samples; else 4-byte
//   20      12     -         (not used)
//   32      16     char[16]  station         space-padded; ends at a space or a dot
//   48      8      float64   sample_interval seconds between two samples of a channel
//   56      8      float64   time_of_day     first sample, seconds after 00:00:00
//   64      56     -         (not used)
//
// Channel record (72 bytes):
//   offset  width  type      field
//   0       8      -         (not used)
//   8       24     char[24]  name            space-padded; inner spaces kept
//   32      24     -         (not used)
//   56      8      float64   calibration     the catalogue keeps it times 1000
//   64      8      float64   calibration_frequency  hertz; the catalogue keeps 1 / it
//
// A sample is a signed integer of 2 or 4 bytes; a trailing partial frame is
// not decoded but counts in the duration as its fraction of a frame.

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "engine/time_arithmetic.h"

namespace korvel {

inline constexpr std::size_t kRawHeaderSize = 120;
inline constexpr std::size_t kRawChannelRecordSize = 72;
inline constexpr std::size_t kRawStationWidth = 16;
inline constexpr std::size_t kRawChannelNameWidth = 24;

// Where each field lies, as the tables above give it.
namespace raw_offset {
inline constexpr std::size_t kChannelCount = 0;
inline constexpr std::size_t kDay = 6;
inline constexpr std::size_t kMonth = 8;
inline constexpr std::size_t kYear = 10;
inline constexpr std::size_t kSampleFormat = 18;
inline constexpr std::size_t kStation = 32;
inline constexpr std::size_t kSampleInterval = 48;
inline constexpr std::size_t kTimeOfDay = 56;
inline constexpr std::size_t kChannelName = 8;
inline constexpr std::size_t kCalibration = 56;
inline constexpr std::size_t kCalibrationFrequency = 64;
}  // namespace raw_offset

struct RawFileHeader {
  std::int16_t channel_count = 0;
  std::int16_t day = 0;
  std::int16_t month = 0;
  std::int16_t year = 0;
  std::int16_t sample_format = 0;
  char station[kRawStationWidth] = {};
  double sample_interval = 0.0;
  double time_of_day = 0.0;
};

struct RawChannelRecord {
  char name[kRawChannelNameWidth] = {};
  double calibration = 0.0;
  double calibration_frequency = 0.0;
};

RawFileHeader DecodeRawHeader(std::span<const unsigned char, kRawHeaderSize> bytes);
RawChannelRecord DecodeRawChannelRecord(
    std::span<const unsigned char, kRawChannelRecordSize> bytes);

void TrimTrailingSpaces(char* field, std::size_t width);
void CutAtSpaceOrDot(char* field, std::size_t width);

// Names as stored (not upper-cased), code page 1251.
std::string RawStationName(const RawFileHeader& header);
std::string RawChannelName(const RawChannelRecord& record);

int RawAdjustedYear(const RawFileHeader& header);
EpochSeconds RawStartTime(const RawFileHeader& header);
int RawSampleWidth(const RawFileHeader& header);
double RawDuration(const RawFileHeader& header, std::uint64_t file_size);

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
  // Why the open or the last read fell short: errno, or 0 when the file
  // ended before the size it had when opened (it shrank meanwhile).
  int Error() const { return m_error; }

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
  int m_error = 0;
};

// Why a file is not a usable raw file.
enum class RawFileRefusal {
  kNone,
  kCannotOpen,        // missing, unreadable, or not a regular file
  kReadFailed,        // a read failed (or the file shrank) before the channel table's end
  kHeaderCut,         // shorter than the 120-byte header
  kNoStartDate,       // month outside 1 to 12 or day outside 1 to 31
  kNoSampleInterval,  // the interval is not a finite number above 0
  kNoTimeOfDay,       // the time of day is not finite
  kNegativeChannels,  // a channel count below 0
  kChannelTableCut,   // shorter than its own channel table
  // The file-open dialog's summary refuses two more kinds of file:
  kSummaryChannelCount,  // a channel count outside 1 to 99
  kSummaryEarlyStart,    // a start at 1970-01-01 00:00:01 or earlier
};
// The reason in words (English), for logs and tests.
const char* RawFileRefusalText(RawFileRefusal refusal);

// A raw file whose header and channel table have been read and found usable.
struct ParsedRawFile {
  RawFileHeader header;
  std::vector<RawChannelRecord> channels;  // channel_count of them
  std::uint64_t size = 0;                  // of the whole file, in bytes
};

// The one way into a raw file: opens it with `reader`, reads the header and
// the channel table and decides whether the file is usable; on success the
// reader stands at the first sample. Every reader of raw files goes through it.
// After kCannotOpen or kReadFailed the reader's Error() says why.
RawFileRefusal ParseRawFile(const std::filesystem::path& path, RawFileReader& reader,
                            ParsedRawFile& parsed);

struct RawSummaryRow {
  std::string station;  // code page 1251, as stored
  std::string channel;  // code page 1251, as stored
  std::string rate;
  std::string start;
  std::string duration;
};

struct RawSummary {
  RawFileRefusal refusal = RawFileRefusal::kNone;
  std::vector<RawSummaryRow> rows;  // one per channel; empty when refused
};
RawSummary SummarizeRawFile(const std::filesystem::path& path);

// One row per channel; empty when the file is not a usable raw file.
std::vector<RawSummaryRow> ReadRawSummary(const std::filesystem::path& path);

}  // namespace korvel
