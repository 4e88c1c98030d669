#pragma once
// miniSEED 2 records read from their bytes as the SEED manual lays them out,
// without libmseed: the 48-byte fixed header, Blockettes 1000 and 1001, and
// the samples of Steim-2 and float32 records (big-endian, as we write them).
//
// Fixed header (big-endian):
//   0  char[6] sequence number     18 char[2] network
//   6  char    quality indicator   20 BTIME   start (year, day of year, hour,
//   8  char[5] station                        minute, second, -, 1/10000 s)
//   13 char[2] location            30 uint16  number of samples
//   15 char[3] channel             32 int16   rate factor, 34 int16 multiplier
//   36 activity, io, quality flags; 39 number of blockettes
//   40 int32 time correction; 44 uint16 data offset; 46 uint16 first blockette
// Blockette 1000: encoding, word order, record length exponent.
// Blockette 1001: timing quality, microseconds (int8), frame count.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace korvel::test {

struct MseedRecord {
  std::string sequence;  // six digits
  char quality = 0;
  std::string network, station, location, channel;  // without their padding
  // Microseconds since 1970: the fixed header's time plus Blockette 1001's.
  std::int64_t start = 0;
  int rate_factor = 0, rate_multiplier = 0;
  std::uint8_t activity = 0, io = 0, quality_flags = 0;
  std::int32_t time_correction = 0;
  int encoding = -1, word_order = -1, length = 0;  // Blockette 1000
  bool has_1001 = false;
  int microseconds = 0, timing_quality = 0;  // Blockette 1001
  std::vector<float> samples;

  // The rate that the factor and multiplier give.
  double Rate() const;
};

// The records of a day file, one after another; nothing, with what is
// wrong in `error`, when the bytes are anything else.
std::optional<std::vector<MseedRecord>> ParseMseedRecords(const std::string& bytes,
                                                          std::string* error = nullptr);

}  // namespace korvel::test
