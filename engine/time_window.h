#pragma once
// The operator's time window as text: a start "hh:mm:ss dd/mm/yyyy" and a
// length "hh:mm:ss".

#include <optional>
#include <string>

#include "engine/time_arithmetic.h"

namespace korvel {

// The start as EpochSeconds, from a text of exactly that form: two digits
// each, the year four, a date that exists (no 31/02) from 1970 on and a time
// of day; nothing for any other text.
std::optional<EpochSeconds> ParseWindowStart(const std::string& text);

// The length in seconds, from a text of exactly that form: hours 00 to 99,
// minutes and seconds 00 to 59 (00:00:00 is no time filter); nothing for any
// other text.
std::optional<double> ParseWindowLength(const std::string& text);

// A start and a length written back in those forms, to name a window.
std::string WindowStartText(EpochSeconds start);
std::string WindowLengthText(double length);

// The window's length edit: "hh:mm:ss" with two digits each, whatever they
// are (the edit's mask lets any digit in, and 99:99:99 is a length there).
bool HasLengthForm(const std::string& text);

// How the window reads its length edit: "%2d%*1c%2d%*1c%2d", each 0 when
// missing, not validated, so 99:99:99 is 362439 seconds.
double WindowLengthSeconds(const std::string& text);

}  // namespace korvel
