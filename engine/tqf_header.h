#pragma once
// Reading a TQF4.0 header back: the fields of the ten lines that BuildHeader
// writes, from a file on disk that may have been written by another program,
// cut short or damaged.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "engine/time_arithmetic.h"
#include "engine/tqf_file.h"

namespace korvel {

struct TqfHeaderFields {
  std::string station;  // code page 1251, as written
  std::string channel;  // without its double quotes
  std::string sampling_rate_text;
  double sampling_rate = 0.0;
  long data_offset = 0;
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
  EpochSeconds start = 0.0;  // whole seconds, as the header holds them
};

struct ParsedTqfHeader {
  std::optional<TqfHeaderFields> fields;
  // When there are no fields: the line that is missing or cannot be read,
  // named as in the header ("[TQF4.0]", "Start time", "SpS", ...).
  std::string defect;
};

// The text up to the NUL (or the whole 512 bytes), CR LF or LF lines, keys
// without regard to case. Required: the tag line, Data offset, Start time,
// Start date, SpS, Station and Channel; other lines are passed over.
ParsedTqfHeader ParseTqfHeader(const TqfHeader& bytes);

// True when the header is byte for byte what BuildHeader writes for its own
// fields: a file of this program's.
bool IsOwnTqfHeader(const TqfHeader& bytes, const TqfHeaderFields& fields);

// The first 512 bytes of a regular file and its size; nothing when it cannot
// be opened or read. A file shorter than a header gives its size alone.
struct TqfFileHead {
  std::uint64_t size = 0;
  std::optional<TqfHeader> header;
};
std::optional<TqfFileHead> ReadTqfFileHead(const std::filesystem::path& path);

}  // namespace korvel
