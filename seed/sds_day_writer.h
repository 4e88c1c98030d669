#pragma once
// One channel's day file written from the parts of its TQF files that fall
// on the day. A new day file, and one that only gains samples after its
// last record, is written as the samples are read, a buffer at a time, its
// records added to its end; where new samples meet the file's own, the day
// is read, merged by time and written anew in one step. Either way the
// folder's list (seed/sds_manifest.h) holds the hash of what is on disk, and
// of what was there before a write that did not finish.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "seed/sds_day_file.h"
#include "seed/sds_export.h"

namespace korvel {

// The part of one TQF file that the export takes: samples [first, last) of
// the file, sample i at start + i/rate (microseconds, as libmseed counts).
struct SourceSpan {
  std::filesystem::path file;
  std::uint64_t data_offset = 0;
  std::int64_t start = 0;
  double rate = 0.0;
  std::size_t first = 0, last = 0;

  std::int64_t TimeOf(std::size_t i) const;
  // The first sample in [first, last] at or after `t`.
  std::size_t IndexAt(std::int64_t t) const;
};

struct DayFileOutcome {
  SdsOutcome outcome = SdsOutcome::kLeft;
  std::optional<SdsRemark> problem;  // nothing when there is none
  bool source_unreadable = false;    // a TQF file failed: its channel stops
};

// `pieces`: the spans' samples of this day, in order of their starts.
DayFileOutcome WriteDayFile(const std::filesystem::path& file, const std::string& relative,
                            const SeedCodes& codes, const std::vector<SourceSpan>& pieces);

}  // namespace korvel
