#include "seed/sds_day_file.h"

#include <libmseed.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <utility>

#include "seed/record_packer.h"

namespace korvel {

std::int64_t SampleSegment::TimeOf(std::size_t i) const {
  return start + std::llround(static_cast<double>(i) * kMicroseconds / rate);
}

bool Continues(const SampleSegment& segment, std::size_t count, std::int64_t start, double rate) {
  // A rate read back from a record is its factor and multiplier: as close
  // as libmseed's own tolerance, it is the same rate. Only a segment that
  // begins where the last ends, to the microsecond, joins it: a later
  // record's start is counted from the joined one's.
  return std::fabs(segment.rate - rate) <= 1e-4 * segment.rate &&
         std::llabs(start - segment.TimeOf(count)) <= kJoinTolerance;
}

std::vector<SampleSegment> JoinSegments(std::vector<SampleSegment> segments) {
  std::erase_if(segments, [](const SampleSegment& s) { return s.samples.empty(); });
  std::stable_sort(
      segments.begin(), segments.end(),
      [](const SampleSegment& a, const SampleSegment& b) { return a.start < b.start; });
  std::vector<SampleSegment> joined;
  // Room for all at once: a day of hourly files joins into one segment.
  std::size_t total = 0;
  for (const SampleSegment& segment : segments) total += segment.samples.size();
  for (SampleSegment& segment : segments) {
    if (!joined.empty()) {
      SampleSegment& last = joined.back();
      if (Continues(last, last.samples.size(), segment.start, segment.rate)) {
        if (last.samples.capacity() < total) last.samples.reserve(total);
        last.samples.insert(last.samples.end(), segment.samples.begin(), segment.samples.end());
        continue;
      }
    }
    joined.push_back(std::move(segment));
  }
  return joined;
}

std::vector<SampleSegment> MergeByTime(const std::vector<SampleSegment>& older,
                                       std::vector<SampleSegment> newer) {
  if (older.empty()) return JoinSegments(std::move(newer));
  std::vector<SampleSegment> merged;
  for (const SampleSegment& segment : older) {
    // Each run of samples that no newer segment covers stays a segment.
    SampleSegment kept{0, segment.rate, {}};
    for (std::size_t i = 0; i < segment.samples.size(); ++i) {
      const std::int64_t t = segment.TimeOf(i);
      const bool covered = std::any_of(newer.begin(), newer.end(), [&](const SampleSegment& n) {
        const auto half = static_cast<std::int64_t>(0.5 * kMicroseconds / n.rate);
        return t >= n.start - half && t < n.End() - half;
      });
      if (covered) {
        if (!kept.samples.empty()) merged.push_back(std::exchange(kept, {0, segment.rate, {}}));
        continue;
      }
      if (kept.samples.empty()) kept.start = t;
      kept.samples.push_back(segment.samples[i]);
    }
    if (!kept.samples.empty()) merged.push_back(std::move(kept));
  }
  std::move(newer.begin(), newer.end(), std::back_inserter(merged));
  return JoinSegments(std::move(merged));
}

std::string PackDayFile(const SeedCodes& codes, const std::vector<SampleSegment>& segments) {
  std::string bytes;
  RecordPacker packer(codes, [&bytes](std::string_view record) {
    bytes.append(record);
    return true;
  });
  for (const SampleSegment& segment : segments) {
    if (!packer.Begin(segment.start, segment.rate, AllExactIntegers(segment.samples)) ||
        !packer.Add(segment.samples) || !packer.End())
      return {};
  }
  return bytes;
}

std::optional<std::vector<SampleSegment>> ReadDayFile(const std::filesystem::path& file,
                                                      const SeedCodes& codes) {
  // Record by record: each keeps its own start, which a trace of joined
  // records would count from the first.
  MSFileParam* state = nullptr;
  MSRecord* record = nullptr;
  const std::string name = file.string();
  std::optional<std::vector<SampleSegment>> segments(std::in_place);
  int status;
  while ((status = ms_readmsr_r(&state, &record, name.c_str(), 0, nullptr, nullptr, 0, 1, 0)) ==
         MS_NOERROR) {
    if (codes.network != record->network || codes.station != record->station ||
        codes.location != record->location || codes.channel != record->channel ||
        (record->sampletype != 'i' && record->sampletype != 'f') || !(record->samprate > 0.0)) {
      segments.reset();
      break;
    }
    SampleSegment segment{record->starttime, record->samprate, {}};
    segment.samples.resize(static_cast<std::size_t>(record->numsamples));
    for (std::size_t i = 0; i < segment.samples.size(); ++i)
      segment.samples[i] =
          record->sampletype == 'i'
              ? static_cast<float>(static_cast<std::int32_t*>(record->datasamples)[i])
              : static_cast<float*>(record->datasamples)[i];
    segments->push_back(std::move(segment));
  }
  ms_readmsr_r(&state, &record, nullptr, 0, nullptr, nullptr, 0, 0, 0);
  if (status != MS_ENDOFFILE) segments.reset();
  if (segments) *segments = JoinSegments(std::move(*segments));
  return segments;
}

}  // namespace korvel
