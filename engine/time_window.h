#pragma once
// The operator's time window as text: a start "hh:mm:ss dd/mm/yyyy" and a
// length "hh:mm:ss".

#include <optional>
#include <string>

#include "engine/time_arithmetic.h"

namespace korvel {

struct DateTimeFields {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};

// Six numbers in the order of the text; nothing when fewer are found.
std::optional<DateTimeFields> ParseStartFields(const std::string& text);

// The start as EpochSeconds; nothing when the text has fewer than six numbers
// or a field out of its range.
std::optional<EpochSeconds> ParseWindowStart(const std::string& text);

// "%2d%*1c%2d%*1c%2d": hours, minutes, seconds, each 0 when missing; not
// validated, so 99:99:99 is 362439 seconds.
double ParseWindowLength(const std::string& text);

}  // namespace korvel
