#pragma once
// A day file read once from end to end without its samples: the hash of
// its bytes (and of its first bytes up to a length, when asked), and what
// its records' headers say of its end, for adding records to it that are
// the ones a single export of everything would have made.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "seed/content_hash.h"
#include "seed/sds_day_file.h"

namespace korvel {

struct DayFileScan {
  std::uint64_t size = 0;
  ContentHasher hasher;       // of all the bytes, to go on with
  ContentHasher before_last;  // of the bytes before the last record
  std::string prefix_hash;    // of the bytes up to the length asked about
  // Whole 4096-byte records of the codes, Steim-2 or float32, and no other
  // byte.
  bool records = false;

  // The last record: its bytes, start, samples, rate, number, encoding.
  std::string last;
  std::int64_t last_start = 0;
  std::int64_t last_samples = 0;
  double last_rate = 0.0;
  int last_sequence = 0;
  bool last_steim2 = false;
  // The run of records that continue each other, the last among them: its
  // start and rate, and its samples before the last record.
  SampleSegment run;
  std::size_t run_before_last = 0;
  // What libmseed carries from record to record to start a Steim-2 record's
  // differences: the last sample of the latest Steim-2 record, before the
  // last record and with it, and whether any record comes before the last.
  std::int32_t steim2_before_last = 0, steim2_with_last = 0;
  bool records_before_last = false;

  // Just past the last record's last sample.
  std::int64_t End() const;
};

// Nothing when the file cannot be read.
std::optional<DayFileScan> ScanDayFile(const std::filesystem::path& file, const SeedCodes& codes,
                                       std::optional<std::uint64_t> prefix = std::nullopt);

}  // namespace korvel
