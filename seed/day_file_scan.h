#pragma once
// A day file read once from end to end without its samples: the hash of
// its bytes (and of its first bytes up to a length, when asked), whether it
// is nothing but records of one channel, and where its last record ends.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "seed/content_hash.h"
#include "seed/sds_day_file.h"

namespace korvel {

struct DayFileScan {
  std::uint64_t size = 0;
  ContentHasher hasher;     // of all the bytes, to go on with
  std::string prefix_hash;  // of the bytes up to the length asked about
  // Whole 4096-byte records of the codes, Steim-2 or float32, and no other
  // byte.
  bool records = false;
  // The last record's start, samples, rate and sequence number.
  std::int64_t last_start = 0;
  std::int64_t last_samples = 0;
  double last_rate = 0.0;
  int last_sequence = 0;

  // Just past the last record's last sample.
  std::int64_t End() const;
};

// Nothing when the file cannot be read.
std::optional<DayFileScan> ScanDayFile(const std::filesystem::path& file, const SeedCodes& codes,
                                       std::optional<std::uint64_t> prefix = std::nullopt);

}  // namespace korvel
