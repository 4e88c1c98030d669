#include "engine/held_times.h"

#include <algorithm>
#include <cmath>

namespace korvel {

std::vector<std::pair<int, int>> UnheldRuns(EpochSeconds start, double interval, int count,
                                            std::span<const HeldSpan> spans) {
  // The positions each span holds, clamped to the block.
  std::vector<std::pair<int, int>> held;
  for (const HeldSpan& span : spans) {
    const auto position = [&](EpochSeconds t) {
      const double k = std::ceil((t - 0.5 * interval - start) / interval);
      return static_cast<int>(std::clamp(k, 0.0, static_cast<double>(count)));
    };
    const int first = position(span.begin);
    const int last = position(span.end);
    if (first < last) held.emplace_back(first, last);
  }
  std::sort(held.begin(), held.end());
  std::vector<std::pair<int, int>> runs;
  int next = 0;
  for (const auto& [first, last] : held) {
    if (first > next) runs.emplace_back(next, first);
    next = std::max(next, last);
  }
  if (next < count) runs.emplace_back(next, count);
  return runs;
}

}  // namespace korvel
