#pragma once
// One miniSEED day file of one channel: its samples as time-stamped
// segments, packed into 4096-byte records by libmseed (Steim-2 where every
// sample is an integer that float32 holds exactly, float32 otherwise), each
// record's start exact to the microsecond, and read back from records the
// same way.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

struct MSFileParam_s;
struct MSRecord_s;

namespace korvel {

inline constexpr int kSeedRecordLength = 4096;
inline constexpr std::int64_t kMicroseconds = 1000000;

struct SeedCodes {
  std::string network, station, location, channel;
};

// A run of samples at one rate: the first at `start` (microseconds since
// 1970, UTC), the others 1/rate apart.
struct SampleSegment {
  std::int64_t start = 0;
  double rate = 0.0;
  std::vector<float> samples;

  // The time of sample i, as libmseed counts it.
  std::int64_t TimeOf(std::size_t i) const;
  // Just past the last sample: where a segment that continues it begins.
  std::int64_t End() const { return TimeOf(samples.size()); }
};

// How far a segment may begin from where another ends and still continue
// it: the rounding of two times to the microsecond.
inline constexpr std::int64_t kJoinTolerance = 1;

// Whether samples at `rate` from `start` continue a segment (to the
// microsecond, at the same rate).
bool Continues(const SampleSegment& segment, std::size_t count, std::int64_t start, double rate);

// The segments in time order, with those that continue each other joined
// into one.
std::vector<SampleSegment> JoinSegments(std::vector<SampleSegment> segments);

// `older` without the samples that a segment of `newer` covers, then
// `newer`: the day file's content after an export, joined.
std::vector<SampleSegment> MergeByTime(const std::vector<SampleSegment>& older,
                                       std::vector<SampleSegment> newer);

// The records of the segments, in order; empty when libmseed refuses them.
std::string PackDayFile(const SeedCodes& codes, const std::vector<SampleSegment>& segments);

// A day file's samples one at a time, in the file's order, each timed as
// ReadDayFile times it (from the start of its run of records that continue
// each other): one record in memory at a time.
class DayFileSamples {
 public:
  DayFileSamples(const std::filesystem::path& file, SeedCodes codes);
  ~DayFileSamples();
  DayFileSamples(const DayFileSamples&) = delete;
  DayFileSamples& operator=(const DayFileSamples&) = delete;

  // False at the end, and when the file holds anything but records of the
  // codes (then Failed()).
  bool Next(std::int64_t& time, float& value);
  bool Failed() const { return m_failed; }

 private:
  std::string m_name;
  SeedCodes m_codes;
  ::MSFileParam_s* m_state = nullptr;
  ::MSRecord_s* m_record = nullptr;
  SampleSegment m_run;                    // start and rate of the run the record is in
  std::size_t m_run_count = 0;            // its samples before the record
  std::int64_t m_index = 0, m_count = 0;  // in the record
  bool m_failed = false, m_done = false;
};

// The segments of a day file's records; nothing when the file holds
// anything but records of exactly these codes.
std::optional<std::vector<SampleSegment>> ReadDayFile(const std::filesystem::path& file,
                                                      const SeedCodes& codes);

}  // namespace korvel
