#include "seed/tqf_header_guard.h"

#include <cmath>

namespace korvel {

bool HeaderFitsRow(const TqfHeaderFields& header, const std::string& station,
                   const std::string& channel, double rate, EpochSeconds start) {
  // "SpS=" holds six decimals: half the last of them, and what a double
  // adds to a large rate.
  const bool same_rate = std::fabs(header.sampling_rate - rate) <= 5e-7 + 1e-12 * std::fabs(rate);
  return header.station == station && header.channel == channel && same_rate &&
         std::fabs(header.start - start) < 1.0;
}

}  // namespace korvel
