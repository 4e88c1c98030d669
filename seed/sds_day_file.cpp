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
  // What the newer segments cover, from half a sample before each to half a
  // sample before its end, as sorted intervals that do not overlap.
  std::vector<std::pair<std::int64_t, std::int64_t>> covered;
  for (const SampleSegment& n : newer) {
    const auto half = static_cast<std::int64_t>(0.5 * kMicroseconds / n.rate);
    if (!n.samples.empty()) covered.emplace_back(n.start - half, n.End() - half);
  }
  std::sort(covered.begin(), covered.end());
  std::vector<std::pair<std::int64_t, std::int64_t>> spans;
  for (const auto& c : covered) {
    if (!spans.empty() && c.first <= spans.back().second)
      spans.back().second = std::max(spans.back().second, c.second);
    else
      spans.push_back(c);
  }
  std::vector<SampleSegment> merged;
  for (const SampleSegment& segment : older) {
    // Each run of samples that no newer segment covers stays a segment.
    SampleSegment kept{0, segment.rate, {}};
    auto span = spans.begin();
    for (std::size_t i = 0; i < segment.samples.size(); ++i) {
      const std::int64_t t = segment.TimeOf(i);
      while (span != spans.end() && span->second <= t) ++span;
      if (span != spans.end() && span->first <= t) {
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

DayFileSamples::DayFileSamples(const std::filesystem::path& file, SeedCodes codes)
    : m_name(file.string()), m_codes(std::move(codes)) {}

DayFileSamples::~DayFileSamples() {
  if (m_state != nullptr) ms_readmsr_r(&m_state, &m_record, nullptr, 0, nullptr, nullptr, 0, 0, 0);
}

bool DayFileSamples::Next(std::int64_t& time, float& value) {
  while (!m_failed && !m_done && m_index == m_count) {
    const int status =
        ms_readmsr_r(&m_state, &m_record, m_name.c_str(), 0, nullptr, nullptr, 0, 1, 0);
    if (status == MS_ENDOFFILE) {
      m_done = true;
      break;
    }
    const MSRecord* r = m_record;
    if (status != MS_NOERROR || m_codes.network != r->network || m_codes.station != r->station ||
        m_codes.location != r->location || m_codes.channel != r->channel ||
        (r->sampletype != 'i' && r->sampletype != 'f') || !(r->samprate > 0.0)) {
      m_failed = true;
      break;
    }
    m_run_count += static_cast<std::size_t>(m_count);
    if (m_run.rate == 0.0 || !Continues(m_run, m_run_count, r->starttime, r->samprate)) {
      m_run = {r->starttime, r->samprate, {}};
      m_run_count = 0;
    }
    m_index = 0;
    m_count = r->numsamples;
  }
  if (m_failed || m_done) return false;
  const std::size_t i = static_cast<std::size_t>(m_index);
  time = m_run.TimeOf(m_run_count + i);
  value = m_record->sampletype == 'i'
              ? static_cast<float>(static_cast<const std::int32_t*>(m_record->datasamples)[i])
              : static_cast<const float*>(m_record->datasamples)[i];
  ++m_index;
  return true;
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
