#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QTest>
#include <QVBoxLayout>
#include <array>

#include "controls/date_time_edit.h"
#include "tests/support/recording_notifier.h"

namespace korvel {
namespace {

using Numbers = std::array<int, 6>;  // year, month, day, hour, minute, second

Numbers Read(const CDateTimeEdit& edit, Numbers n = {-7, -7, -7, -7, -7, -7}) {
  edit.ReadDateTime(n[0], n[1], n[2], n[3], n[4], n[5]);
  return n;
}

TEST(DateTimeEdit, LayoutsShowAndRead) {
  CDateTimeEdit edit;
  EXPECT_TRUE(edit.IsMaskActive());
  EXPECT_EQ(edit.Template(), "__.__.____ __:__:__");
  edit.ShowDateTime(2007, 3, 4, 5, 6, 7);
  EXPECT_EQ(edit.ValueText(), "03.04.2007 05:06:07");  // month first
  EXPECT_EQ(Read(edit), (Numbers{2007, 3, 4, 5, 6, 7}));
  edit.SelectLayout(1);
  EXPECT_EQ(edit.Mask(), "0000.000 00:00:00");
  edit.ShowDateTime(2008, 3, 1, 12, 0, 0);
  EXPECT_EQ(edit.text(), "2008.061 12:00:00");
  edit.SetValueText("2008.060 12:00:00");
  EXPECT_EQ(Read(edit), (Numbers{2008, 2, 29, 12, 0, 0}));
  edit.SetValueText("2007.000 01:02:03");
  EXPECT_EQ(Read(edit), (Numbers{2007, 1, 0, 1, 2, 3}));
  edit.SelectLayout(2);
  edit.ShowDateTime(2007, 3, 4, 5, 6, 7);
  EXPECT_EQ(edit.text(), "05:06:07 04/03/2007");
  edit.SetValueText("1,2 3 4/5//2006");
  EXPECT_EQ(Read(edit), (Numbers{2006, 5, 4, 1, 2, 3}));
  edit.setText("23:00:00 01/01/2000");  // the window text is never read
  EXPECT_EQ(Read(edit), (Numbers{2006, 5, 4, 1, 2, 3}));
  edit.SetValueText("12:34");
  EXPECT_EQ(Read(edit, {2000, 1, 1, 0, 0, 0}), (Numbers{2000, 1, 1, 12, 34, 0}));
  edit.SelectLayout(9);  // only the number changes
  EXPECT_EQ(edit.Mask(), "00:00:00 00/00/0000");
  EXPECT_EQ(edit.text(), "12:34");
  EXPECT_EQ(Read(edit), (Numbers{-7, -7, -7, -7, -7, -7}));
  edit.ShowDateTime(2007, 3, 4, 5, 6, 7);
  EXPECT_EQ(edit.ValueText(), "");
}

TEST(DateTimeEdit, RangeCheck) {
  CDateTimeEdit edit;
  const std::pair<const char*, bool> cases[] = {
      {"24:00:00 01/01/2007", false}, {"23:59:59 31/12/2007", true},
      {"00:00:00 29/02/2008", true},  {"00:00:00 29/02/2007", false},
      {"00:00:00 29/02/2100", false}, {"00:00:00 29/02/2000", true},
      {"00:00:00 00/01/2007", true},  {"00:60:00 01/01/2007", false},
      {"00:00:60 01/01/2007", false}, {"00:00:00 31/04/2007", false},
      {"-1:00:00 01/01/2007", true},  {"00:00:00 01/13/2007", false},
      {"00:00:00 01/00/2007", false}, {"12:00:00", false},
      {"__:__:__ __/__/____", false}};
  edit.SelectLayout(2);
  for (const auto& [text, valid] : cases) {
    edit.SetValueText(text);
    EXPECT_EQ(edit.IsValidDateTime(), valid) << text;
  }
  edit.SelectLayout(1);
  for (const auto& [text, valid] : {std::pair{"2008.366 23:59:59", true},
                                    {"2007.366 23:59:59", false},
                                    {"2007.100 23:59", false}}) {
    edit.SetValueText(text);
    EXPECT_EQ(edit.IsValidDateTime(), valid) << text;
  }
  edit.SelectLayout(3);
  EXPECT_FALSE(edit.IsValidDateTime());
}

TEST(DateTimeEdit, TypingAStartTimeKeyByKey) {
  CDateTimeEdit edit;
  int beeps = 0;
  edit.SetBeepHandler([&] { ++beeps; });
  edit.SelectLayout(2);
  edit.ShowDateTime(2007, 1, 1, 0, 0, 0);
  edit.show();
  QTest::keyClick(&edit, Qt::Key_Home);
  const char* keys = "235959311220082";
  const int carets[] = {1, 3, 4, 6, 7, 9, 10, 12, 13, 15, 16, 17, 18, 19, 19};
  for (int i = 0; keys[i]; ++i) {
    QTest::keyClick(&edit, keys[i]);
    EXPECT_EQ(edit.cursorPosition(), carets[i]) << i;
    EXPECT_EQ(beeps, i == 14 ? 1 : 0) << i;
  }
  EXPECT_EQ(edit.text(), "23:59:59 31/12/2008");
  EXPECT_EQ(Read(edit), (Numbers{2008, 12, 31, 23, 59, 59}));
  QApplication::clipboard()->setText("99:99:99 99/99/9999");
  edit.selectAll();
  QTest::keyClick(&edit, Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(edit.text(), "99:99:99 99/99/9999");
  EXPECT_EQ(Read(edit), (Numbers{2008, 12, 31, 23, 59, 59}));
}

TEST(DateTimeEdit, DataExchangeReportsAnInvalidStartAndRefocuses) {
  QWidget window;
  auto* layout = new QVBoxLayout(&window);
  auto* edit = new CDateTimeEdit;
  auto* other = new QLineEdit;
  layout->addWidget(edit);
  layout->addWidget(other);
  window.show();
  edit->SelectLayout(2);
  test::RecordingNotifier notifier;
  edit->ShowDateTime(2007, 12, 31, 23, 59, 59);
  other->setFocus();
  EXPECT_TRUE(DDX_DateTimeEdit(*edit, notifier));
  EXPECT_TRUE(notifier.messages.empty());
  EXPECT_EQ(window.focusWidget(), other);
  for (const char* bad : {"24:00:00 01/01/2007", "00:00:00 01/00/2007", "00:00"}) {
    edit->SetValueText(bad);
    other->setFocus();
    notifier.messages.clear();
    EXPECT_FALSE(DDX_DateTimeEdit(*edit, notifier)) << bad;
    ASSERT_EQ(notifier.messages.size(), 1u) << bad;
    EXPECT_EQ(notifier.messages[0].text, "Введено ошибочное время");
    EXPECT_EQ(notifier.messages[0].caption, "Ошибка");
    EXPECT_EQ(notifier.messages[0].icon, MessageIcon::Error);
    EXPECT_EQ(window.focusWidget(), edit) << bad;
    EXPECT_FALSE(edit->hasSelectedText()) << bad;
  }
}

}  // namespace
}  // namespace korvel
