#include "engine/time_window.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <string_view>

namespace korvel {
namespace {

// `text` laid out as `pattern`: "d" a digit, any other character itself.
bool HasForm(std::string_view text, std::string_view pattern) {
  if (text.size() != pattern.size()) return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const bool digit = text[i] >= '0' && text[i] <= '9';
    if (pattern[i] == 'd' ? !digit : text[i] != pattern[i]) return false;
  }
  return true;
}

// The digits of text[at] onwards, `count` of them; the form is checked already.
int Digits(std::string_view text, std::size_t at, std::size_t count) {
  int value = 0;
  for (std::size_t i = at; i < at + count; ++i) value = value * 10 + (text[i] - '0');
  return value;
}

int MonthLength(int year, int month) {
  constexpr std::array<int, 12> kDays = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) != 0 ? 29 : kDays[static_cast<std::size_t>(month - 1)];
}

}  // namespace

std::optional<EpochSeconds> ParseWindowStart(const std::string& text) {
  if (!HasForm(text, "dd:dd:dd dd/dd/dddd")) return std::nullopt;
  const int hour = Digits(text, 0, 2), minute = Digits(text, 3, 2), second = Digits(text, 6, 2);
  const int day = Digits(text, 9, 2), month = Digits(text, 12, 2), year = Digits(text, 15, 4);
  if (hour > 23 || minute > 59 || second > 59 || year < 1970 || month < 1 || month > 12 ||
      day < 1 || day > MonthLength(year, month))
    return std::nullopt;
  return ToEpochSeconds(year, month, day, hour, minute, static_cast<float>(second));
}

std::optional<double> ParseWindowLength(const std::string& text) {
  if (!HasLengthForm(text)) return std::nullopt;
  const int hours = Digits(text, 0, 2), minutes = Digits(text, 3, 2), seconds = Digits(text, 6, 2);
  if (minutes > 59 || seconds > 59) return std::nullopt;
  return hours * 3600.0 + minutes * 60.0 + seconds;
}

bool HasLengthForm(const std::string& text) { return HasForm(text, "dd:dd:dd"); }

double WindowLengthSeconds(const std::string& text) {
  int hours = 0, minutes = 0, seconds = 0;
  // The saved length read as the TQF system reads it, blanks and signs
  // included; integers only, which no locale changes (no decimal point, no
  // grouping without the ' flag).
  std::sscanf(text.c_str(), "%2d%*1c%2d%*1c%2d", &hours, &minutes, &seconds);
  return hours * 3600.0 + minutes * 60.0 + seconds;
}

std::string WindowStartText(EpochSeconds start) {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0;
  float seconds = 0.0f;
  SplitEpochSeconds(std::floor(start + 0.5), year, month, day, hour, minute, seconds);
  char text[48];
  std::snprintf(text, sizeof text, "%02d:%02d:%02d %02d/%02d/%04d", hour, minute,
                static_cast<int>(seconds), day, month, year);
  return text;
}

std::string WindowLengthText(double length) {
  const long long s = std::llround(length);
  char text[48];
  std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld", s / 3600, s / 60 % 60, s % 60);
  return text;
}

}  // namespace korvel
