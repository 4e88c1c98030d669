#pragma once
// What the catalogue's files cover of a time window, per station and channel:
// the stretches no file covers (gaps) and those more than one file covers
// (overlaps). Shared by korvel2tqf-cli coverage and the window's picture.

#include <optional>
#include <string>
#include <vector>

#include "engine/catalogue.h"
#include "engine/time_arithmetic.h"

namespace korvel {

enum class StretchKind { kGap, kOverlap };

struct CoverageStretch {
  StretchKind kind = StretchKind::kGap;
  EpochSeconds start = 0.0;
  EpochSeconds end = 0.0;
};

struct TimeSpan {
  EpochSeconds start = 0.0;
  EpochSeconds end = 0.0;
};

struct ChannelCoverage {
  std::string station;                     // code page 1251
  std::string channel;                     // empty for a station that has no file at all
  std::vector<TimeSpan> covered;           // within the window, in time order, disjoint
  std::vector<CoverageStretch> stretches;  // the gaps and overlaps reported, in time order
  double covered_seconds = 0.0;            // the window less the gaps reported
  double percent = 0.0;                    // of the window
  int files = 0;                           // files that reach into the window
};

struct CoverageReport {
  TimeSpan window;
  std::vector<ChannelCoverage> channels;  // stations in the order asked, channels by name
  // Something is missing or doubled: a gap or overlap, or a station without files.
  bool HasProblems() const;
};

// A gap is a stretch longer than one sample interval that no file covers,
// the window's edges included; an overlap a stretch longer than one sample
// interval that more than one file covers (shorter ones are clock jitter,
// or a lone sample's worth, and count as covered once). The interval is the channel's longest among
// its files. Without a window, it runs from the first start to the last
// end of all the files given. A station with no file at all is one entry
// without a channel, its whole window a gap. Files with a start, duration
// or rate that is not a number are passed over.
CoverageReport ComputeCoverage(const std::vector<std::string>& stations,
                               const std::vector<CoverageFile>& files,
                               std::optional<TimeSpan> window);

// "YYYY-MM-DDThh:mm:ss.ss", the seconds rounded to hundredths.
std::string FormatCoverageTime(EpochSeconds t);

// A percentage with one decimal, cut rather than rounded, so that "100.0"
// means that nothing is missing.
std::string PercentText(double percent);

// The command's lines (UTF-8, tab-separated): station, channel, "gap" or
// "overlap", start, end, length in seconds; then station, channel,
// "coverage", the percentage covered, the number of files.
std::string FormatCoverageLines(const CoverageReport& report);

}  // namespace korvel
