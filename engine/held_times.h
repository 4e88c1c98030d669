#pragma once
// What output that continues across runs leaves out of a raw file: samples
// whose times a channel's own files already hold.

#include <cstdint>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "engine/time_arithmetic.h"

namespace korvel {

// The times one of the channel's files holds: its row's TBEGIN to TBEGIN + TQTY.
struct HeldSpan {
  EpochSeconds begin = 0.0;
  EpochSeconds end = 0.0;
};

// The runs of a block's samples (`count` of them from `start`, one each
// `interval`) that no span holds, as [first, last) positions in order. A
// sample is held when its time lies within half an interval of one a span
// holds: recorder clocks start a fraction of a sample off, and a file's
// samples are at begin, begin + interval, ... up to, not at, its end.
std::vector<std::pair<int, int>> UnheldRuns(EpochSeconds start, double interval, int count,
                                            std::span<const HeldSpan> spans);

// Samples of one channel of a raw file that were not written again.
struct SkippedSamples {
  std::string station;  // code page 1251
  std::string channel;
  std::uint64_t samples = 0;
  double seconds = 0.0;
};

}  // namespace korvel
