#include "engine/time_arithmetic.h"
#include "platform/number_text.h"

#include <cmath>
#include <cstdio>

namespace korvel {
namespace {

constexpr double kSecondsPerDay = 86400.0;
constexpr double kSecondsPerHour = 3600.0;
constexpr double kSecondsPerMinute = 60.0;
constexpr double kDaysPer400Years = 146097.0;
constexpr double kDaysPer100Years = 36524.0;
constexpr double kDaysPer4Years = 1461.0;
constexpr double kDaysPerYear = 365.0;
constexpr double kSecondsFromYear1To1970 = 62135596800.0;

double IntegralPart(double x) {
  double whole;
  std::modf(x, &whole);
  return whole;
}

}  // namespace

const int CumulativeDaysBeforeMonth[13] = {0,   0,   31,  59,  90,  120, 151,
                                           181, 212, 243, 273, 304, 334};
int DaysInMonth[13] = {0, 31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};

int IsLeapYear(int year) {
  if (year % 400 == 0) return 1;
  if (year % 4 != 0) return 0;
  return year % 100 != 0 ? 1 : 0;
}

EpochSeconds ToEpochSeconds(int year, int month, int day, int hour, int minute, float seconds) {
  int day_of_year = CumulativeDaysBeforeMonth[month] + day;
  if (IsLeapYear(year) == 1 && month > 2) day_of_year += 1;
  const int leap_days = (year - 1601) / 400 - (year - 1901) / 100 + (year - 1969) / 4;
  const int days = (year - 1970) * 365 + leap_days + day_of_year - 1;
  return static_cast<double>(days) * kSecondsPerDay + static_cast<double>(hour) * kSecondsPerHour +
         static_cast<double>(minute) * kSecondsPerMinute + static_cast<double>(seconds);
}

int DayOfYearToMonthDay(int n, int& month, int& day, int year) {
  if (n < 1) {
    month = 0;
    day = 0;
    return 0;
  }
  DaysInMonth[2] = 28 + IsLeapYear(year);
  month = 1;
  for (;;) {
    day = n;
    n -= DaysInMonth[month];
    if (n <= 0) return 1;
    if (++month > 12) {
      month = 0;
      day = 0;
      return 0;
    }
  }
}

int SplitEpochSeconds(double t, int& year, int& month, int& day, int& hour, int& minute,
                      float& seconds) {
  const double x = t + kSecondsFromYear1To1970;
  // Beyond 2^53 seconds no field fits an int; such a value is no time at all.
  if (!(std::fabs(x) < 9007199254740992.0)) {
    hour = 0;
    minute = 0;
    seconds = 0.0f;
    return 0;
  }
  double a;
  const double f = std::modf(x, &a);

  const double d = IntegralPart(a * (1.0 / kSecondsPerDay));
  const double s = a - d * kSecondsPerDay;
  const double h = IntegralPart(s * (1.0 / kSecondsPerHour));
  const double s1 = s - h * kSecondsPerHour;
  const double m = IntegralPart(s1 * (1.0 / kSecondsPerMinute));
  seconds = static_cast<float>(s1 - m * kSecondsPerMinute + f);
  hour = static_cast<int>(h);
  minute = static_cast<int>(m);

  const double q = IntegralPart(d / kDaysPer400Years);
  const double d1 = d - kDaysPer400Years * q;
  const double c = d1 == kDaysPer400Years - 1.0 ? 3.0 : IntegralPart(d1 / kDaysPer100Years);
  const double d2 = d1 - kDaysPer100Years * c;
  const double p = IntegralPart(d2 / kDaysPer4Years);
  const double d3 = d2 - kDaysPer4Years * p;
  double y = IntegralPart(d3 * (1.0 / kDaysPerYear));
  if (y == 4.0) y = 3.0;

  const int split_year = static_cast<int>(400.0 * q + 100.0 * c + 4.0 * p + y + 1.0);
  const int day_of_year = static_cast<int>(d3 - kDaysPerYear * y + 1.0);
  int split_month = 0;
  int split_day = 0;
  if (DayOfYearToMonthDay(day_of_year, split_month, split_day, split_year) <= 0) return 0;
  year = split_year;
  month = split_month;
  day = split_day;
  return 1;
}

std::string FormatTimeText(double t, int mode) {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0;
  float seconds = 0.0f;
  const int ok = SplitEpochSeconds(t, year, month, day, hour, minute, seconds);
  char text[64];
  if (mode == 0 && ok) {
    std::snprintf(text, sizeof text, "%02d:%02d:%s %02d.%02d.%04d", hour, minute,
                  FixedNumber(seconds, 2).c_str(), day, month, year);
  } else if (mode == 0 || mode == 1) {
    // Without a date the start shows its time of day alone.
    std::snprintf(text, sizeof text, "%02d:%02d:%s", hour, minute, FixedNumber(seconds, 2).c_str());
  } else {
    return {};
  }
  return text;
}

}  // namespace korvel
