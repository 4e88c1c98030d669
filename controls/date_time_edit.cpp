#include "controls/date_time_edit.h"

#include <array>
#include <cstdio>

namespace korvel {
namespace {

struct LayoutMask {
  const char* mask;
  const char* templ;
};

constexpr std::array<LayoutMask, 3> kLayouts = {{
    {"00.00.0000 00:00:00", "__.__.____ __:__:__"},
    {"0000.000 00:00:00", "____.___ __:__:__"},
    {"00:00:00 00/00/0000", "__:__:__ __/__/____"},
}};

constexpr std::array<int, 12> kMonthDays = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

// month must be 1..12.
int MonthLength(int year, int month) {
  return month == 2 && IsLeapYear(year) ? 29 : kMonthDays[month - 1];
}

int DayOfYear(int year, int month, int day) {
  int total = day;
  for (int m = 1; m < month && m <= 12; ++m) total += kMonthDays[m - 1];
  if (IsLeapYear(year) && month > 2) ++total;
  return total;
}

// Stops at December, so a day beyond the year's end shows up as a December
// day above 31, which the range check refuses.
void SplitDayOfYear(int year, int dayOfYear, int& month, int& day) {
  int m = 1;
  while (m < 12 && dayOfYear > MonthLength(year, m)) {
    dayOfYear -= MonthLength(year, m);
    ++m;
  }
  month = m;
  day = dayOfYear;
}

}  // namespace

CDateTimeEdit::CDateTimeEdit(QWidget* parent) : CMaskEdit(parent) {
  SelectLayout(0);
  m_maskActive = true;
  m_dateDigitRule = false;
}

void CDateTimeEdit::SelectLayout(int layout) {
  m_layout = layout;
  if (layout < 0 || layout >= static_cast<int>(kLayouts.size())) return;
  m_mask = kLayouts[layout].mask;
  m_template = kLayouts[layout].templ;
}

void CDateTimeEdit::ShowDateTime(int year, int month, int day, int hour, int minute, int second) {
  char buffer[96] = "";
  switch (m_layout) {
    case 0:
      std::snprintf(buffer, sizeof buffer, "%02d.%02d.%04d %02d:%02d:%02d", month, day, year, hour,
                    minute, second);
      break;
    case 1:
      std::snprintf(buffer, sizeof buffer, "%04d.%03d %02d:%02d:%02d", year,
                    DayOfYear(year, month, day), hour, minute, second);
      break;
    case 2:
      std::snprintf(buffer, sizeof buffer, "%02d:%02d:%02d %02d/%02d/%04d", hour, minute, second,
                    day, month, year);
      break;
    default:
      break;
  }
  SetValueText(buffer);
}

int CDateTimeEdit::ParseDateTime(int& year, int& month, int& day, int& hour, int& minute,
                                 int& second) const {
  const char* text = m_text.c_str();
  int count = 0;
  switch (m_layout) {
    case 0:
      count = std::sscanf(text, "%2d%*[., ]%2d%*[., ]%4d%*[:, ]%2d%*[:,// ]%2d%*[:,// ]%2d", &month,
                          &day, &year, &hour, &minute, &second);
      break;
    case 1: {
      int dayOfYear = 0;
      count = std::sscanf(text, "%4d%*[., ]%3d%*[ ]%2d%*[: ]%2d%*[: ]%2d", &year, &dayOfYear, &hour,
                          &minute, &second);
      if (count >= 2) SplitDayOfYear(year, dayOfYear, month, day);
      break;
    }
    case 2:
      count = std::sscanf(text, "%2d%*[:, ]%2d%*[,: ]%2d%*[:, ]%2d%*[:,// ]%2d%*[:,// ]%4d", &hour,
                          &minute, &second, &day, &month, &year);
      break;
    default:
      break;
  }
  return count < 0 ? 0 : count;
}

void CDateTimeEdit::ReadDateTime(int& year, int& month, int& day, int& hour, int& minute,
                                 int& second) const {
  ParseDateTime(year, month, day, hour, minute, second);
}

bool CDateTimeEdit::IsValidDateTime() const {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
  const int count = ParseDateTime(year, month, day, hour, minute, second);
  // A value with a number missing (a paste, "_" left in it) or a month below
  // 1 is as wrong as one out of range, though no upper bound catches it.
  if (count < (m_layout == 1 ? 5 : 6)) return false;
  if (month < 1 || month > 12) return false;
  if (hour > 23 || minute > 59 || second > 59) return false;
  return day <= MonthLength(year, month);
}

bool DDX_DateTimeEdit(CDateTimeEdit& edit, Notifier& notifier) {
  if (edit.IsValidDateTime()) return true;
  notifier.Message("Введено ошибочное время", "Ошибка", MessageIcon::Error);
  // Not a tab focus, so the text is not selected.
  edit.setFocus(Qt::OtherFocusReason);
  return false;
}

}  // namespace korvel
