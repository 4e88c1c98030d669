#include "engine/coverage.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <utility>

#include "platform/text1251.h"
#include "platform/number_text.h"

namespace korvel {
namespace {

bool Usable(const CoverageFile& file) {
  return std::isfinite(file.start) && std::isfinite(file.duration) && file.duration >= 0.0 &&
         std::isfinite(file.sampling_rate);
}

// Spans that meet or overlap become one.
std::vector<TimeSpan> Union(std::vector<TimeSpan> spans) {
  std::sort(spans.begin(), spans.end(),
            [](const TimeSpan& a, const TimeSpan& b) { return a.start < b.start; });
  std::vector<TimeSpan> merged;
  for (const TimeSpan& span : spans) {
    if (!merged.empty() && span.start <= merged.back().end)
      merged.back().end = std::max(merged.back().end, span.end);
    else
      merged.push_back(span);
  }
  return merged;
}

ChannelCoverage Measure(const std::string& station, const std::string& channel,
                        const std::vector<const CoverageFile*>& files, TimeSpan window) {
  ChannelCoverage coverage;
  coverage.station = station;
  coverage.channel = channel;
  double interval = 0.0;
  std::vector<TimeSpan> spans;  // the files' parts inside the window, by start
  for (const CoverageFile* file : files) {
    const EpochSeconds end = file->start + file->duration;
    if (!(file->start < window.end && end > window.start)) continue;
    ++coverage.files;
    if (file->sampling_rate > 0.0) interval = std::max(interval, 1.0 / file->sampling_rate);
    spans.push_back({std::max(file->start, window.start), std::min(end, window.end)});
  }
  std::sort(spans.begin(), spans.end(),
            [](const TimeSpan& a, const TimeSpan& b) { return a.start < b.start; });
  coverage.covered = Union(spans);

  std::vector<CoverageStretch> stretches;
  EpochSeconds reached = window.start;
  for (const TimeSpan& span : coverage.covered) {
    if (span.start - reached > interval)
      stretches.push_back({StretchKind::kGap, reached, span.start});
    reached = span.end;
  }
  if (window.end - reached > interval)
    stretches.push_back({StretchKind::kGap, reached, window.end});

  // Where a file begins before the ones before it have ended.
  std::vector<TimeSpan> doubled;
  EpochSeconds reach = -INFINITY;
  for (const TimeSpan& span : spans) {
    if (span.start < reach) doubled.push_back({span.start, std::min(span.end, reach)});
    reach = std::max(reach, span.end);
  }
  for (const TimeSpan& span : Union(doubled))
    if (span.end - span.start > interval)
      stretches.push_back({StretchKind::kOverlap, span.start, span.end});
  std::stable_sort(
      stretches.begin(), stretches.end(),
      [](const CoverageStretch& a, const CoverageStretch& b) { return a.start < b.start; });
  coverage.stretches = std::move(stretches);
  // Jitter shorter than a sample interval counts as covered: all of the
  // window is covered exactly when no gap is reported.
  const double length = window.end - window.start;
  coverage.covered_seconds = length;
  for (const CoverageStretch& s : coverage.stretches)
    if (s.kind == StretchKind::kGap) coverage.covered_seconds -= s.end - s.start;
  if (length > 0.0)
    coverage.percent = 100.0 * coverage.covered_seconds / length;
  else
    coverage.percent = coverage.files > 0 ? 100.0 : 0.0;
  return coverage;
}

}  // namespace

bool CoverageReport::HasProblems() const {
  return std::any_of(channels.begin(), channels.end(), [](const ChannelCoverage& c) {
    return !c.stretches.empty() || c.channel.empty();
  });
}

CoverageReport ComputeCoverage(const std::vector<std::string>& stations,
                               const std::vector<CoverageFile>& files,
                               std::optional<TimeSpan> window) {
  CoverageReport report;
  std::vector<const CoverageFile*> usable;
  for (const CoverageFile& file : files)
    if (Usable(file)) usable.push_back(&file);
  if (window) {
    report.window = *window;
  } else if (!usable.empty()) {
    report.window = {INFINITY, -INFINITY};
    for (const CoverageFile* file : usable) {
      report.window.start = std::min(report.window.start, file->start);
      report.window.end = std::max(report.window.end, file->start + file->duration);
    }
  }
  for (const std::string& station : stations) {
    if (std::any_of(report.channels.begin(), report.channels.end(),
                    [&](const ChannelCoverage& c) { return c.station == station; }))
      continue;  // a station asked for twice is reported once
    std::map<std::string, std::vector<const CoverageFile*>> by_channel;
    for (const CoverageFile* file : usable)
      if (file->station == station) by_channel[file->channel].push_back(file);
    if (by_channel.empty()) {
      report.channels.push_back(Measure(station, "", {}, report.window));
      continue;
    }
    for (const auto& [channel, channel_files] : by_channel)
      report.channels.push_back(Measure(station, channel, channel_files, report.window));
  }
  return report;
}

std::string PercentText(double percent) {
  // Cut, not rounded: 100.0 only when nothing is missing.
  return FixedNumber(std::floor(percent * 10.0 + 1e-9) / 10.0, 1);
}

std::string FormatCoverageTime(EpochSeconds t) {
  if (!std::isfinite(t)) return "-";
  const double hundredths = std::round(t * 100.0);
  const double whole = std::floor(hundredths / 100.0);
  const int fraction = static_cast<int>(hundredths - whole * 100.0);
  int year = 0, month = 0, day = 0, hour = 0, minute = 0;
  float seconds = 0.0f;
  SplitEpochSeconds(whole, year, month, day, hour, minute, seconds);
  char text[64];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%02d", year, month, day, hour,
                minute, static_cast<int>(seconds), fraction);
  return text;
}

std::string FormatCoverageLines(const CoverageReport& report) {
  std::string lines;
  for (const ChannelCoverage& c : report.channels) {
    const std::string names = DisplayName(c.station) + "\t" + DisplayName(c.channel) + "\t";
    for (const CoverageStretch& s : c.stretches)
      lines += names + (s.kind == StretchKind::kGap ? "gap" : "overlap") + "\t" +
               FormatCoverageTime(s.start) + "\t" + FormatCoverageTime(s.end) + "\t" +
               FixedNumber(s.end - s.start, 2) + "\n";
    lines += names + "coverage\t" + PercentText(c.percent) + "\t" + std::to_string(c.files) + "\n";
  }
  return lines;
}

}  // namespace korvel
