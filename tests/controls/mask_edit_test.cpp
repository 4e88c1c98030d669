#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QInputMethodEvent>
#include <QMenu>
#include <QTest>
#include <map>
#include <memory>

#include "controls/mask_edit.h"

namespace korvel {
namespace {

// One key, then the text, caret and beep count it must leave.
struct Step {
  std::string key;
  const char* text;
  int caret;
  int beeps;
};

const std::map<std::string, std::pair<Qt::Key, Qt::KeyboardModifiers>> kNamedKeys = {
    {"Home", {Qt::Key_Home, {}}},
    {"End", {Qt::Key_End, {}}},
    {"Left", {Qt::Key_Left, {}}},
    {"Right", {Qt::Key_Right, {}}},
    {"S-Right", {Qt::Key_Right, Qt::ShiftModifier}},
    {"Ret", {Qt::Key_Return, {}}},
    {"BS", {Qt::Key_Backspace, {}}},
    {"Del", {Qt::Key_Delete, {}}},
    {"Ins", {Qt::Key_Insert, {}}},
    {"S-Del", {Qt::Key_Delete, Qt::ShiftModifier}},
    {"S-Ins", {Qt::Key_Insert, Qt::ShiftModifier}},
    {"C-Ins", {Qt::Key_Insert, Qt::ControlModifier}},
    {"C-BS", {Qt::Key_Backspace, Qt::ControlModifier}},
    {"A-5", {Qt::Key_5, Qt::AltModifier}},
    {"C-V", {Qt::Key_V, Qt::ControlModifier}},
    {"C-X", {Qt::Key_X, Qt::ControlModifier}},
    {"C-C", {Qt::Key_C, Qt::ControlModifier}},
    {"C-K", {Qt::Key_K, Qt::ControlModifier}},
    {"C-U", {Qt::Key_U, Qt::ControlModifier}},
    {"C-Z", {Qt::Key_Z, Qt::ControlModifier}},
    {"C-Y", {Qt::Key_Y, Qt::ControlModifier}},
    {"C-E", {Qt::Key_E, Qt::ControlModifier}},
    {"C-A", {Qt::Key_A, Qt::ControlModifier}}};

// The duration box of the main window.
class MaskEdit : public ::testing::Test {
 protected:
  void SetUp() override {
    edit.SetBeepHandler([this] { ++beeps; });
    edit.SetDateDigitRule(false);
    edit.ApplyMask("00:00:00", "__:__:__", "00:01:00");
    edit.SetValueText("00:30:00");
    edit.show();
  }
  void Run(const std::vector<Step>& steps) {
    for (std::size_t i = 0; i < steps.size(); ++i) {
      const Step& s = steps[i];
      if (s.key.size() == 1) {
        QTest::keyClick(&edit, s.key[0]);
      } else if (s.key == "de") {  // Cyrillic д
        QTest::sendKeyEvent(QTest::Click, &edit, Qt::Key(0x0414), QString::fromUtf8("д"), {});
      } else {
        const auto& [key, mods] = kNamedKeys.at(s.key);
        QTest::keyClick(&edit, key, mods);
      }
      EXPECT_EQ(edit.text(), QString::fromUtf8(s.text)) << "step " << i << " " << s.key;
      EXPECT_EQ(edit.cursorPosition(), s.caret) << "step " << i << " " << s.key;
      EXPECT_EQ(beeps, s.beeps) << "step " << i << " " << s.key;
    }
  }
  CMaskEdit edit;
  int beeps = 0;
};

TEST_F(MaskEdit, TypingOverwritesStepsOverSeparatorsAndRefuses) {
  Run({{"Home", "00:30:00", 0, 0},
       {"1", "10:30:00", 1, 0},
       {"2", "12:30:00", 3, 0},
       {"3", "12:30:00", 4, 0},
       {"4", "12:34:00", 6, 0},
       {"5", "12:34:50", 7, 0},
       {"6", "12:34:56", 8, 0},
       {"7", "12:34:56", 8, 1},
       {":", "12:34:56", 8, 2},
       {"Home", "12:34:56", 0, 2},
       {"a", "12:34:56", 0, 3},
       {" ", "12:34:56", 0, 4},
       {"Right", "12:34:56", 1, 4},
       {"Right", "12:34:56", 2, 4},
       // On a separator: it is rewritten, stepped past, and the digit lands behind it.
       {"9", "12:94:56", 4, 4},
       {"Left", "12:94:56", 3, 4},
       {"Left", "12:94:56", 2, 4},
       // The separator is stepped over before the letter is refused.
       {"x", "12:94:56", 3, 5}});
  EXPECT_EQ(edit.ValueText(), "12:94:56");
}

TEST_F(MaskEdit, EditingKeysAreDroppedCaretKeysMoveFreely) {
  QApplication::clipboard()->setText("clip");
  edit.setCursorPosition(4);
  Run({{"BS", "00:30:00", 4, 0},
       {"Del", "00:30:00", 4, 0},
       {"Ins", "00:30:00", 4, 0},
       {"S-Del", "00:30:00", 4, 0},
       {"S-Ins", "00:30:00", 4, 0},
       {"C-Ins", "00:30:00", 4, 0},
       {"C-BS", "00:30:00", 4, 0},
       {"A-5", "00:30:00", 4, 0},
       {"Ret", "00:30:00", 4, 0},
       {"End", "00:30:00", 8, 0},
       {"Left", "00:30:00", 7, 0},
       {"Home", "00:30:00", 0, 0}});
  EXPECT_EQ(QApplication::clipboard()->text(), "clip");
  // Of the control characters only cut, copy and paste get through: the
  // line-editing ones (kill to the end, kill the line, undo, redo, end of
  // line, select all) are dropped silently.
  edit.setCursorPosition(4);
  Run({{"C-K", "00:30:00", 4, 0},
       {"C-U", "00:30:00", 4, 0},
       {"C-Z", "00:30:00", 4, 0},
       {"C-Y", "00:30:00", 4, 0},
       {"C-E", "00:30:00", 4, 0},
       {"C-A", "00:30:00", 4, 0}});
  EXPECT_FALSE(edit.hasSelectedText());
  EXPECT_EQ(QApplication::clipboard()->text(), "clip");
  EXPECT_EQ(edit.ValueText(), "00:30:00");
  // The context menu offers the same three.
  edit.selectAll();
  const std::unique_ptr<QMenu> menu(edit.CreateContextMenu());
  QStringList entries;
  for (const QAction* action : menu->actions()) entries << action->text().section('\t', 0, 0);
  EXPECT_EQ(entries,
            (QStringList{QLineEdit::tr("Cu&t"), QLineEdit::tr("&Copy"), QLineEdit::tr("&Paste")}));
  menu->actions()[1]->trigger();
  EXPECT_EQ(QApplication::clipboard()->text(), "00:30:00");
}

TEST_F(MaskEdit, ExtraCharactersAndSelection) {
  Run({{"Home", "00:30:00", 0, 0},
       {":", ":0:30:00", 1, 0},
       {":", ":::30:00", 3, 0},
       {"S-Right", ":::30:00", 4, 0},
       {"S-Right", ":::30:00", 5, 0},
       {"7", ":::70:00", 4, 0}});  // only the first selected character is replaced
  EXPECT_FALSE(edit.hasSelectedText());
  EXPECT_EQ(edit.ValueText(), ":::70:00");
}

TEST_F(MaskEdit, PasteCutAndCyrillicChangeOnlyTheWindowText) {
  QApplication::clipboard()->setText("12:34:56");
  edit.selectAll();
  Run({{"C-V", "12:34:56", 8, 0}});
  edit.selectAll();
  Run({{"C-X", "", 0, 0}});
  EXPECT_EQ(QApplication::clipboard()->text(), "12:34:56");
  edit.SetValueText("00:30:00");
  edit.selectAll();
  Run({{"C-C", "00:30:00", 8, 0}});
  EXPECT_EQ(QApplication::clipboard()->text(), "00:30:00");
  edit.SetValueText("00:30:00");
  edit.setCursorPosition(0);
  // Inserted unfiltered; landing on a separator still steps over it.
  Run({{"de", "д00:30:00", 1, 0}, {"de", "дд:0:30:00", 3, 0}});
  EXPECT_EQ(edit.ValueText(), "00:30:00");
}

TEST_F(MaskEdit, ComposedTextIsFilteredLikeKeys) {
  edit.setCursorPosition(1);
  QInputMethodEvent commit;
  commit.setCommitString("5x");
  QApplication::sendEvent(&edit, &commit);
  EXPECT_EQ(edit.text(), "05:30:00");
  EXPECT_EQ(edit.cursorPosition(), 3);
  EXPECT_EQ(beeps, 1);
}

TEST_F(MaskEdit, EmptyMaskMakesAPlainEdit) {
  edit.ApplyMask("");
  EXPECT_FALSE(edit.IsMaskActive());
  EXPECT_EQ(edit.Mask(), "00:00:00");
  edit.setCursorPosition(2);
  Run({{"x", "00x:30:00", 3, 0}, {"BS", "00:30:00", 2, 0}, {"Del", "0030:00", 2, 0}});
  EXPECT_EQ(edit.ValueText(), "00:30:00");
  edit.ApplyMask("000", "__");  // a template of another length is dropped
  EXPECT_TRUE(edit.IsMaskActive());
  EXPECT_EQ(edit.Template(), "");
  EXPECT_EQ(edit.ExtraChars(), "");
}

TEST_F(MaskEdit, EveryClassCharacter) {
  edit.ApplyMask("09#?aAL&x");
  const char* ok[] = {"05", "1+", "2k", "2m", "2 ", "3Q", "3 ", "41", "4 ", "5z", "6b", "7 ", "7~"};
  const char* refused[] = {"0a", "1 ", "2j", "31", "4-", "5 ", "62", "81", "8x"};
  for (const char* c : ok) {
    edit.SetValueText(".........");
    edit.setCursorPosition(c[0] - '0');
    QTest::keyClick(&edit, c[1]);
    EXPECT_EQ(edit.text().at(c[0] - '0'), QChar(c[1])) << c;
    EXPECT_EQ(edit.cursorPosition(), c[0] - '0' + 1) << c;
  }
  EXPECT_EQ(beeps, 0);
  for (const char* c : refused) {
    edit.SetValueText(".........");
    edit.setCursorPosition(c[0] - '0');
    QTest::keyClick(&edit, c[1]);
    EXPECT_EQ(edit.text(), ".........") << c;
    EXPECT_EQ(edit.cursorPosition(), c[0] - '0') << c;
  }
  EXPECT_EQ(beeps, 9);
}

TEST_F(MaskEdit, DateDigitRuleRefusesSilently) {
  edit.ApplyMask("00.00.0000", "__.__.____");
  edit.SetDateDigitRule(true);
  edit.SetValueText("01.01.2007");
  edit.setCursorPosition(0);
  Run({{"4", "01.01.2007", 0, 0},
       {"x", "01.01.2007", 0, 1},
       {"3", "31.01.2007", 1, 1},
       {"2", "31.01.2007", 1, 1},
       {"1", "31.01.2007", 3, 1},
       {"2", "31.01.2007", 3, 1},
       {"1", "31.11.2007", 4, 1},
       {"3", "31.11.2007", 4, 1},
       {"2", "31.12.2007", 6, 1},
       {"9", "31.12.9007", 7, 1}});
}

TEST_F(MaskEdit, TemplateDecidesWhatIsFixed) {
  edit.ApplyMask("0000", "_-__");
  edit.SetValueText("1234");
  edit.setCursorPosition(0);
  Run({{"5", "5-34", 2, 0}});  // the fixed '-' is written into the value too
  EXPECT_EQ(edit.ValueText(), "5-34");
  edit.ApplyMask("00:00");  // no template: the ':' is an uneditable class
  edit.SetValueText("12:34");
  edit.setCursorPosition(2);
  Run({{"5", "12:34", 2, 1}});
  edit.ApplyMask("00:00:00", "__:__:__");
  edit.SetValueText("1");
  edit.setText("123");
  edit.setCursorPosition(2);
  Run({{"7", "12:7", 4, 1}});
  EXPECT_EQ(edit.ValueText(), "1 :7");  // a value shorter than the caret is padded
}

}  // namespace
}  // namespace korvel
