#pragma once
// The time window that convert, coverage and export-sds take from --start,
// --length and --all-times, korvel2tqf.ini's TIME and TIMEQTY where not given.

#include <optional>
#include <string>

#include "engine/time_arithmetic.h"

namespace korvel::cli {

struct WindowChoice {
  EpochSeconds start = 0.0;
  double length = 0.0;  // 0: every time
};

// Nothing when the start or the length is not exactly of its form ("hh:mm:ss
// dd/mm/yyyy", "hh:mm:ss"), after the window's own message and a line naming
// where the value came from on standard error. UTF-8 in.
std::optional<WindowChoice> ResolveTimeWindow(const std::string& start, const std::string& length,
                                              bool all_times);

}  // namespace korvel::cli
