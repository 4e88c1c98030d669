#pragma once
// A single-line edit of fixed length: each position is either editable or a
// fixed separator. Typing overwrites one character at a time, refuses what
// does not fit the position (with a beep) and steps over separators by
// itself. The edit also keeps a shadow copy of its value (m_text) that only
// SetValueText and typed characters change, so that a paste or cut of the
// window text does not alter the value the owner reads.

#include <QLineEdit>
#include <functional>
#include <string>

class QContextMenuEvent;
class QInputMethodEvent;
class QMenu;
class QKeyEvent;

namespace korvel {

class CMaskEdit : public QLineEdit {
  Q_OBJECT

 public:
  explicit CMaskEdit(QWidget* parent = nullptr);
  ~CMaskEdit() override;

  // Turns masking off; with a non-empty mask it stores mask, template and
  // extra characters and turns masking on again. A template whose length
  // differs from the mask's is dropped. The text is not touched. All three
  // are code page 1251 text.
  void ApplyMask(const std::string& mask, const std::string& templ = {},
                 const std::string& extraChars = {});

  // Sets the shadow value and the window text (code page 1251).
  void SetValueText(const std::string& text);
  const std::string& ValueText() const { return m_text; }

  void SetMaskActive(bool active) { m_maskActive = active; }
  bool IsMaskActive() const { return m_maskActive; }
  void SetDateDigitRule(bool on) { m_dateDigitRule = on; }
  bool DateDigitRule() const { return m_dateDigitRule; }
  const std::string& Mask() const { return m_mask; }
  const std::string& Template() const { return m_template; }
  const std::string& ExtraChars() const { return m_extraChars; }

  // Character codes are Unicode; the printable ones (0x20..0x7E) are the
  // same in code page 1251.
  // The key filter: collapses the selection to its start, may step over a
  // fixed character under the caret, and refuses what does not fit.
  bool AcceptChar(int ch);
  // Types a fixed character over itself without filtering it.
  void EchoChar(int ch);

  // Called for every audible refusal; QApplication::beep() by default. An
  // empty function silences the edit.
  void SetBeepHandler(std::function<void()> beep);

  // The edit's context menu; while masking is on it offers only cut, copy
  // and paste. The caller owns it.
  QMenu* CreateContextMenu();

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void inputMethodEvent(QInputMethodEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;

  bool m_maskActive = false;
  bool m_dateDigitRule = false;
  std::string m_text;
  std::string m_mask;
  std::string m_template;
  std::string m_extraChars;
  bool m_echoing = false;

 private:
  // One character for the edit: filter, overwrite, then step over at most
  // one fixed character. `event` is the key press it came from, if any; a
  // non-printable character goes to the standard handling of that event.
  void OnChar(int ch, const QString& text, QKeyEvent* event);
  bool ClassAccepts(char cls, int pos, int ch);
  bool DateDigitAllowed(int pos, int ch) const;
  void StoreInShadow(int index, char ch);
  void Beep();

  std::function<void()> m_beep;
};

// Neither adds anything to CMaskEdit; they exist so the type names are there
// for owners that want to tell the boxes apart.
class CDateEdit : public CMaskEdit {
  Q_OBJECT

 public:
  using CMaskEdit::CMaskEdit;
};

class CTimeEdit : public CMaskEdit {
  Q_OBJECT

 public:
  using CMaskEdit::CMaskEdit;
};

}  // namespace korvel
