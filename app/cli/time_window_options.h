#pragma once
// The time window that convert and coverage take from --start, --length and
// --all-times, korvel2tqf.ini's TIME and TIMEQTY where not given.

#include <optional>
#include <string>

#include "engine/time_arithmetic.h"

namespace korvel::cli {

struct WindowChoice {
  EpochSeconds start = 0.0;
  double length = 0.0;  // 0: every time
};

// Nothing, after the window's own message on standard error, when the start
// is no time. UTF-8 in.
std::optional<WindowChoice> ResolveTimeWindow(const std::string& start, const std::string& length,
                                              bool all_times);

}  // namespace korvel::cli
