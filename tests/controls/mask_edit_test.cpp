#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QInputMethodEvent>
#include <QTest>

#include "controls/mask_edit.h"

namespace korvel {
namespace {

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
  // Types one key and checks text, caret and beeps after it.
  void Key(char ch, const char* text, int caret, int totalBeeps) {
    QTest::keyClick(&edit, ch);
    EXPECT_EQ(edit.text().toStdString(), text) << "after '" << ch << "'";
    EXPECT_EQ(edit.cursorPosition(), caret) << "after '" << ch << "'";
    EXPECT_EQ(beeps, totalBeeps) << "after '" << ch << "'";
  }
  void Keys(std::initializer_list<Qt::Key> keys, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    for (Qt::Key k : keys) QTest::keyClick(&edit, k, mods);
  }
  CMaskEdit edit;
  int beeps = 0;
};

TEST_F(MaskEdit, OverwritesAndStepsOverOneSeparatorPerKey) {
  Keys({Qt::Key_Home});
  Key('1', "10:30:00", 1, 0);
  Key('2', "12:30:00", 3, 0);
  Key('3', "12:30:00", 4, 0);
  Key('4', "12:34:00", 6, 0);
  Key('5', "12:34:50", 7, 0);
  Key('6', "12:34:56", 8, 0);
  Key('7', "12:34:56", 8, 1);
  Key(':', "12:34:56", 8, 2);
  EXPECT_EQ(edit.ValueText(), "12:34:56");
}

TEST_F(MaskEdit, CaretOnSeparatorRewritesItAndTypesBehindIt) {
  Keys({Qt::Key_Home, Qt::Key_Right, Qt::Key_Right});
  ASSERT_EQ(edit.cursorPosition(), 2);
  Key('5', "00:50:00", 4, 0);
  Keys({Qt::Key_Left, Qt::Key_Left});
  // The separator is stepped over before the letter is refused.
  Key('x', "00:50:00", 3, 1);
}

TEST_F(MaskEdit, RefusesLettersAndBlanksWithABeep) {
  Keys({Qt::Key_Home});
  Key('a', "00:30:00", 0, 1);
  Key(' ', "00:30:00", 0, 2);
  Key('9', "90:30:00", 1, 2);
  EXPECT_EQ(edit.ValueText(), "90:30:00");
}

TEST_F(MaskEdit, ExtraCharactersAreAcceptedAnywhereEditable) {
  Keys({Qt::Key_Home});
  Key(':', ":0:30:00", 1, 0);
  Key(':', ":::30:00", 3, 0);  // the typed ':' and then the template's
  EXPECT_EQ(edit.ValueText(), ":::30:00");
}

TEST_F(MaskEdit, TypingReplacesOnlyTheFirstSelectedCharacter) {
  edit.setCursorPosition(3);
  Keys({Qt::Key_Right, Qt::Key_Right, Qt::Key_Right}, Qt::ShiftModifier);
  ASSERT_EQ(edit.selectedText(), "30:");
  Key('7', "00:70:00", 4, 0);
  EXPECT_FALSE(edit.hasSelectedText());
}

TEST_F(MaskEdit, EditingKeysDoNothingCaretKeysMove) {
  QApplication::clipboard()->setText("clip");
  edit.setCursorPosition(4);
  Keys({Qt::Key_Backspace, Qt::Key_Delete, Qt::Key_Insert});
  Keys({Qt::Key_Delete, Qt::Key_Insert}, Qt::ShiftModifier);
  Keys({Qt::Key_Backspace, Qt::Key_Delete, Qt::Key_Insert}, Qt::ControlModifier);
  EXPECT_EQ(edit.text(), "00:30:00");
  EXPECT_EQ(edit.cursorPosition(), 4);
  EXPECT_EQ(QApplication::clipboard()->text(), "clip");
  EXPECT_EQ(beeps, 0);
  Keys({Qt::Key_End});
  EXPECT_EQ(edit.cursorPosition(), 8);
  Keys({Qt::Key_Left, Qt::Key_Left, Qt::Key_Left});
  EXPECT_EQ(edit.cursorPosition(), 5);
  Keys({Qt::Key_Home});
  EXPECT_EQ(edit.cursorPosition(), 0);
  Keys({Qt::Key_Return});
  EXPECT_EQ(edit.text(), "00:30:00");
}

TEST_F(MaskEdit, PasteAndCutChangeOnlyTheWindowText) {
  QApplication::clipboard()->setText("12:34:56");
  edit.selectAll();
  QTest::keyClick(&edit, Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(edit.text(), "12:34:56");
  edit.selectAll();
  QTest::keyClick(&edit, Qt::Key_X, Qt::ControlModifier);
  EXPECT_EQ(edit.text(), "");
  EXPECT_EQ(QApplication::clipboard()->text(), "12:34:56");
  EXPECT_EQ(edit.ValueText(), "00:30:00");
}

TEST_F(MaskEdit, CyrillicLetterIsInsertedUnfiltered) {
  const auto typeDe = [this] {
    QTest::sendKeyEvent(QTest::Click, &edit, Qt::Key(0x0414), QString::fromUtf8("д"), Qt::NoModifier);
  };
  edit.setCursorPosition(0);
  typeDe();
  EXPECT_EQ(edit.text(), QString::fromUtf8("д00:30:00"));
  EXPECT_EQ(edit.cursorPosition(), 1);
  // Landing on a separator still steps over it, overtyping the digit pushed there.
  typeDe();
  EXPECT_EQ(edit.text(), QString::fromUtf8("дд:0:30:00"));
  EXPECT_EQ(edit.cursorPosition(), 3);
  EXPECT_EQ(edit.ValueText(), "00:30:00");
  EXPECT_EQ(beeps, 0);
}

TEST_F(MaskEdit, AltChordsTypeNothingComposedTextIsFiltered) {
  edit.setCursorPosition(1);
  QTest::keyClick(&edit, Qt::Key_5, Qt::AltModifier);
  EXPECT_EQ(edit.text(), "00:30:00");
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
  Key('x', "00x:30:00", 3, 0);
  QTest::keyClick(&edit, Qt::Key_Backspace);
  QTest::keyClick(&edit, Qt::Key_Backspace);
  EXPECT_EQ(edit.text(), "0:30:00");
  EXPECT_EQ(edit.ValueText(), "00:30:00");
  edit.ApplyMask("000", "__");  // template of another length is dropped
  EXPECT_TRUE(edit.IsMaskActive());
  EXPECT_EQ(edit.Template(), "");
  EXPECT_EQ(edit.ExtraChars(), "");
}

TEST_F(MaskEdit, EveryClassCharacter) {
  edit.ApplyMask("09#?aAL&x");
  edit.SetValueText(".........");
  struct Case { int pos; char ch; bool ok; };
  const Case cases[] = {
      {0, '5', true}, {0, 'a', false}, {1, '+', true}, {1, ' ', false}, {2, 'k', true},
      {2, 'm', true}, {2, ' ', true}, {2, 'j', false}, {3, 'Q', true}, {3, ' ', true},
      {3, '1', false}, {4, '1', true}, {4, ' ', true}, {4, '-', false}, {5, 'z', true},
      {5, ' ', false}, {6, 'b', true}, {6, '2', false}, {7, ' ', true}, {7, '~', true},
      {8, '1', false}, {8, 'x', false}};
  int expectedBeeps = 0;
  for (const Case& c : cases) {
    edit.SetValueText(".........");
    edit.setCursorPosition(c.pos);
    QTest::keyClick(&edit, c.ch);
    if (!c.ok) ++expectedBeeps;
    EXPECT_EQ(edit.text().at(c.pos).toLatin1(), c.ok ? c.ch : '.') << c.pos << " " << c.ch;
    EXPECT_EQ(edit.cursorPosition(), c.ok ? c.pos + 1 : c.pos) << c.pos << " " << c.ch;
    EXPECT_EQ(beeps, expectedBeeps) << c.pos << " " << c.ch;
  }
}

TEST_F(MaskEdit, DateDigitRuleRefusesSilently) {
  edit.ApplyMask("00.00.0000", "__.__.____");
  edit.SetDateDigitRule(true);
  edit.SetValueText("01.01.2007");
  edit.setCursorPosition(0);
  Key('4', "01.01.2007", 0, 0);
  Key('x', "01.01.2007", 0, 1);
  Key('3', "31.01.2007", 1, 1);
  Key('2', "31.01.2007", 1, 1);
  Key('1', "31.01.2007", 3, 1);
  Key('2', "31.01.2007", 3, 1);
  Key('1', "31.11.2007", 4, 1);
  Key('3', "31.11.2007", 4, 1);
  Key('2', "31.12.2007", 6, 1);
  Key('9', "31.12.9007", 7, 1);
}

TEST_F(MaskEdit, FixedCharacterUnderAnEditableClassIsWrittenIntoTheValue) {
  edit.ApplyMask("0000", "_-__");
  edit.SetValueText("1234");
  edit.setCursorPosition(0);
  Key('5', "5-34", 2, 0);
  EXPECT_EQ(edit.ValueText(), "5-34");
  edit.ApplyMask("00:00");  // no template: the separator is not editable
  edit.SetValueText("12:34");
  edit.setCursorPosition(2);
  Key('5', "12:34", 2, 1);
}

TEST_F(MaskEdit, ValueShorterThanTheCaretIsPadded) {
  edit.SetValueText("1");
  edit.setText("123");
  edit.setCursorPosition(2);
  Key('7', "12:7", 4, 0);
  EXPECT_EQ(edit.ValueText(), "1 :7");
}

}  // namespace
}  // namespace korvel
