#include <gtest/gtest.h>

#include <cmath>

#include "engine/time_arithmetic.h"

namespace korvel {
namespace {

struct Split {
  int ok, year, month, day, hour, minute;
  float seconds;
};

Split SplitOf(double t) {
  Split s{};
  s.year = s.month = s.day = -1;
  s.ok = SplitEpochSeconds(t, s.year, s.month, s.day, s.hour, s.minute, s.seconds);
  return s;
}

TEST(TimeArithmetic, ToEpochSecondsCountsLeapYearsAsTheRecorderDoes) {
  EXPECT_EQ(ToEpochSeconds(1970, 1, 1, 0, 0, 0.0f), 0.0);
  EXPECT_EQ(ToEpochSeconds(2007, 3, 7, 6, 12, 0.5f), 1173247920.5);
  EXPECT_EQ(ToEpochSeconds(2000, 3, 1, 0, 0, 0.0f), 951868800.0);   // 2000 is a leap year
  EXPECT_EQ(ToEpochSeconds(2100, 3, 1, 0, 0, 0.0f), 4107542400.0);  // 2100 is not
  EXPECT_EQ(ToEpochSeconds(2004, 12, 31, 23, 59, 59.0f), 1104537599.0);
  EXPECT_EQ(ToEpochSeconds(1969, 12, 31, 0, 0, 0.0f), -86400.0);
  // Years 1902..1968 come out one day late, as the algorithm is given.
  EXPECT_EQ(ToEpochSeconds(1968, 1, 1, 0, 0, 0.0f), -63158400.0 + 86400.0);
  EXPECT_EQ(IsLeapYear(1900), 0);
  EXPECT_EQ(IsLeapYear(2000), 1);
  EXPECT_EQ(IsLeapYear(2004), 1);
  EXPECT_EQ(IsLeapYear(2007), 0);
}

TEST(TimeArithmetic, SplitAgreesWithTheCalendar) {
  Split s = SplitOf(0.0);
  EXPECT_EQ(s.ok, 1);
  EXPECT_EQ(s.year, 1970);
  EXPECT_EQ(s.month, 1);
  EXPECT_EQ(s.day, 1);
  EXPECT_EQ(s.hour, 0);
  EXPECT_EQ(s.minute, 0);
  EXPECT_EQ(s.seconds, 0.0f);

  s = SplitOf(1173247920.5);
  EXPECT_EQ(s.ok, 1);
  EXPECT_EQ(s.year, 2007);
  EXPECT_EQ(s.month, 3);
  EXPECT_EQ(s.day, 7);
  EXPECT_EQ(s.hour, 6);
  EXPECT_EQ(s.minute, 12);
  EXPECT_EQ(s.seconds, 0.5f);

  // The last day of a 400-year cycle is day 366 of its year.
  s = SplitOf(ToEpochSeconds(2000, 12, 31, 23, 0, 0.0f));
  EXPECT_EQ(s.year, 2000);
  EXPECT_EQ(s.month, 12);
  EXPECT_EQ(s.day, 31);
  EXPECT_EQ(s.hour, 23);

  // Every midnight, hour and minute from 1970 to 2400 splits back exactly.
  for (int year = 1970; year <= 2400; year += 3) {
    for (int month = 1; month <= 12; ++month) {
      const int last = month == 2 ? 28 + IsLeapYear(year) : DaysInMonth[month];
      for (int day : {1, 15, last}) {
        const int hour = (year + day) % 24;
        const int minute = (month * 7) % 60;
        s = SplitOf(ToEpochSeconds(year, month, day, hour, minute, 0.0f));
        ASSERT_EQ(s.ok, 1);
        ASSERT_EQ(s.year, year);
        ASSERT_EQ(s.month, month);
        ASSERT_EQ(s.day, day) << year << "-" << month;
        ASSERT_EQ(s.hour, hour);
        ASSERT_EQ(s.minute, minute);
        ASSERT_EQ(s.seconds, 0.0f);
      }
    }
  }
}

// An independent day count (days from 1970-01-01 in the proleptic Gregorian
// calendar, by era arithmetic) to check every day against.
long long ReferenceDays(long long y, int m, int d) {
  y -= m <= 2;
  const long long era = (y >= 0 ? y : y - 399) / 400;
  const long long yoe = y - era * 400;
  const long long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const long long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

TEST(TimeArithmetic, EveryDayFrom1969To2400MatchesTheReferenceCount) {
  const int lengths[13] = {0, 31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  long long expected = ReferenceDays(1969, 1, 1);
  for (int year = 1969; year <= 2400; ++year) {
    for (int month = 1; month <= 12; ++month) {
      const int last = lengths[month] + (month == 2 ? IsLeapYear(year) : 0);
      for (int day = 1; day <= last; ++day, ++expected) {
        ASSERT_EQ(ReferenceDays(year, month, day), expected);
        const double t = ToEpochSeconds(year, month, day, 23, 59, 59.5f);
        ASSERT_EQ(t, static_cast<double>(expected) * 86400.0 + 86399.5)
            << year << "-" << month << "-" << day;
        const Split s = SplitOf(static_cast<double>(expected) * 86400.0);
        ASSERT_EQ(s.ok, 1);
        ASSERT_EQ(s.year, year);
        ASSERT_EQ(s.month, month);
        ASSERT_EQ(s.day, day);
        ASSERT_EQ(SplitOf(t).day, day);
      }
    }
  }
}

TEST(TimeArithmetic, SplitResolvesFractionsOnlyAsFineAsTheSumAllows) {
  // Present-day fractions become multiples of 2^-17 s; 2^-19 short of a whole
  // second rounds up to it.
  Split s = SplitOf(1173247920.0 - std::ldexp(1.0, -19));
  EXPECT_EQ(s.minute, 12);
  EXPECT_EQ(s.seconds, 0.0f);
  s = SplitOf(1173247920.0 + std::ldexp(3.0, -17));
  EXPECT_EQ(s.seconds, static_cast<float>(std::ldexp(3.0, -17)));
  // Beyond any representable day, only the time fields are written.
  s = SplitOf(1e300);
  EXPECT_EQ(s.ok, 0);
  EXPECT_EQ(s.year, -1);
  EXPECT_EQ(SplitOf(std::nan("")).ok, 0);
}

TEST(TimeArithmetic, DayOfYearToMonthDay) {
  int month = -1, day = -1;
  EXPECT_EQ(DayOfYearToMonthDay(366, month, day, 2001), 0);
  EXPECT_EQ(month, 0);
  EXPECT_EQ(day, 0);
  EXPECT_EQ(DayOfYearToMonthDay(366, month, day, 2004), 1);
  EXPECT_EQ(month, 12);
  EXPECT_EQ(day, 31);
  EXPECT_EQ(DaysInMonth[2], 29);
  EXPECT_EQ(DayOfYearToMonthDay(60, month, day, 2007), 1);
  EXPECT_EQ(month, 3);
  EXPECT_EQ(day, 1);
  EXPECT_EQ(DaysInMonth[2], 28);
  month = day = -1;
  EXPECT_EQ(DayOfYearToMonthDay(0, month, day, 2007), 0);
  EXPECT_EQ(month, 0);
  EXPECT_EQ(day, 0);
}

TEST(TimeArithmetic, FormatTimeText) {
  EXPECT_EQ(FormatTimeText(ToEpochSeconds(2007, 1, 1, 0, 0, 0.0f), 0), "00:00:0.00 01.01.2007");
  EXPECT_EQ(FormatTimeText(1173247925.25, 0), "06:12:5.25 07.03.2007");
  EXPECT_EQ(FormatTimeText(1800.0, 1), "00:30:0.00");
  EXPECT_EQ(FormatTimeText(25 * 3600.0 + 61.5, 1), "01:01:1.50");
  EXPECT_EQ(FormatTimeText(59.996, 1), "00:00:60.00");
  EXPECT_EQ(FormatTimeText(1800.0, 2), "");
  EXPECT_EQ(FormatTimeText(-1.0, 7), "");
}

}  // namespace
}  // namespace korvel
