#pragma once
// A masked edit for a date and time in one of three layouts:
//   0  "dd.dd.dddd dd:dd:dd"  month, day, year, hour, minute, second
//   1  "dddd.ddd dd:dd:dd"    year, day of the year, hour, minute, second
//   2  "dd:dd:dd dd/dd/dddd"  hour, minute, second, day, month, year
// It formats six numbers into its value and reads them back from the value
// (never from the window text, which a paste may have changed).

#include "controls/mask_edit.h"
#include "platform/notifier.h"

namespace korvel {

class CDateTimeEdit : public CMaskEdit {
  Q_OBJECT

 public:
  // Masked, layout 0, no extra characters, empty value.
  explicit CDateTimeEdit(QWidget* parent = nullptr);

  // 0, 1 and 2 install their mask and template; any other number is only
  // stored (and then nothing is shown or read). The text is not touched.
  void SelectLayout(int layout);
  int Layout() const { return m_layout; }

  void ShowDateTime(int year, int month, int day, int hour, int minute, int second);

  // A number the value does not supply keeps what the caller put there.
  void ReadDateTime(int& year, int& month, int& day, int& hour, int& minute, int& second) const;

  // All numbers present, month 1..12, hour up to 23, minute and second up to
  // 59, day up to the month's length. No lower bound on day or time.
  bool IsValidDateTime() const;

 private:
  // How many numbers the value supplied (5 in full for layout 1, else 6).
  int ParseDateTime(int& year, int& month, int& day, int& hour, int& minute, int& second) const;

  int m_layout = 0;
};

// The check run when the dialog collects its fields: an invalid start time
// is reported ("Введено ошибочное время", caption "Ошибка", error icon), the
// focus goes back to the edit and the result is false.
bool DDX_DateTimeEdit(CDateTimeEdit& edit, Notifier& notifier);

}  // namespace korvel
