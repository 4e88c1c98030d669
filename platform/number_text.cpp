#include "platform/number_text.h"

#include <charconv>

namespace korvel {

std::string FixedNumber(double value, int decimals) {
  char text[400];
  const auto [end, error] =
      std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals);
  if (error != std::errc()) return "nan";
  std::string result(text, end);
  if (result.front() == '-' && result.find_first_not_of("-0.") == std::string::npos)
    result.erase(0, 1);  // no "-0.00"
  return result;
}

std::optional<double> ParseNumber(std::string_view text) {
  double value = 0.0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || text.empty()) return std::nullopt;
  return value;
}

}  // namespace korvel
