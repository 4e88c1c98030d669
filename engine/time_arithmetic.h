#pragma once
// Every time is a double of seconds since 1970-01-01 00:00:00 in the proleptic
// Gregorian calendar, with fraction and without time zone. No platform
// calendar function is used: the results must match the recorder's own
// arithmetic bit for bit.

#include <string>

namespace korvel {

using EpochSeconds = double;

extern const int CumulativeDaysBeforeMonth[13];
// The February entry is rewritten by every DayOfYearToMonthDay call.
extern int DaysInMonth[13];

int IsLeapYear(int year);
EpochSeconds ToEpochSeconds(int year, int month, int day, int hour, int minute, float seconds);
int DayOfYearToMonthDay(int day_of_year, int& month, int& day, int year);
// Hour, minute and seconds are written even when the date cannot be worked out.
int SplitEpochSeconds(double t, int& year, int& month, int& day, int& hour, int& minute,
                      float& seconds);

// Mode 0: "hh:mm:s.ss dd.mm.yyyy"; mode 1: "hh:mm:s.ss"; any other: empty.
std::string FormatTimeText(double t, int mode);

}  // namespace korvel
