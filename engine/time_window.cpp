#include "engine/time_window.h"

#include <cstdio>

namespace korvel {

std::optional<DateTimeFields> ParseStartFields(const std::string& text) {
  DateTimeFields f;
  if (std::sscanf(text.c_str(), "%d%*[^0-9]%d%*[^0-9]%d%*[^0-9]%d%*[^0-9]%d%*[^0-9]%d", &f.hour,
                  &f.minute, &f.second, &f.day, &f.month, &f.year) != 6)
    return std::nullopt;
  return f;
}

std::optional<EpochSeconds> ParseWindowStart(const std::string& text) {
  const auto f = ParseStartFields(text);
  if (!f || f->month < 1 || f->month > 12 || f->day < 1 || f->day > 31 || f->hour < 0 ||
      f->hour > 23 || f->minute < 0 || f->minute > 59 || f->second < 0 || f->second > 59 ||
      f->year < 1970 || f->year > 9999)
    return std::nullopt;
  return ToEpochSeconds(f->year, f->month, f->day, f->hour, f->minute,
                        static_cast<float>(f->second));
}

double ParseWindowLength(const std::string& text) {
  int hours = 0, minutes = 0, seconds = 0;
  std::sscanf(text.c_str(), "%2d%*1c%2d%*1c%2d", &hours, &minutes, &seconds);
  return hours * 3600.0 + minutes * 60.0 + seconds;
}

}  // namespace korvel
