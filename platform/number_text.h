#pragma once
// Numbers as text for files, rows, keys and reports. The window runs in the
// desktop's locale (Qt sets the C library's from the environment), where
// printf's "%f" writes a decimal comma; these never look at any locale.

#include <optional>
#include <string>
#include <string_view>

namespace korvel {

// `value` with `decimals` decimals and a dot; "-0.00" is written "0.00".
std::string FixedNumber(double value, int decimals);
// A decimal number ("-" allowed, a dot, an exponent) and nothing else around
// it; nothing when `text` is not exactly that.
std::optional<double> ParseNumber(std::string_view text);

}  // namespace korvel
