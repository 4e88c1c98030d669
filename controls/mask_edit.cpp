#include "controls/mask_edit.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMenu>
#include <algorithm>
#include <string_view>

#include "platform/text1251.h"

namespace korvel {
namespace {

constexpr int kBackspace = 8;
// Stands for a control character made with Ctrl: never printable, never
// Backspace, so the standard handling gets it.
constexpr int kControlChar = 0;

bool IsPrintable(int ch) { return ch >= 0x20 && ch <= 0x7E; }
bool IsDigit(int ch) { return ch >= '0' && ch <= '9'; }
bool IsLetter(int ch) { return (ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z'); }

QString FromCp1251(std::string_view text) { return QString::fromStdString(Cp1251ToUtf8(text)); }

// The Unicode code of one code page 1251 character of a template.
int CodeOf1251(char c) {
  const QString s = FromCp1251(std::string_view(&c, 1));
  return s.isEmpty() ? 0 : s.at(0).unicode();
}

bool IsClipboardKey(const QKeyEvent* event) {
  return event->matches(QKeySequence::Cut) || event->matches(QKeySequence::Copy) ||
         event->matches(QKeySequence::Paste);
}

}  // namespace

CMaskEdit::CMaskEdit(QWidget* parent) : QLineEdit(parent), m_beep([] { QApplication::beep(); }) {}

CMaskEdit::~CMaskEdit() = default;

void CMaskEdit::ApplyMask(const std::string& mask, const std::string& templ,
                          const std::string& extraChars) {
  m_maskActive = false;
  if (mask.empty()) return;
  m_mask = mask;
  m_template = templ.size() == mask.size() ? templ : std::string();
  m_extraChars = extraChars;
  m_maskActive = true;
}

void CMaskEdit::SetValueText(const std::string& text) {
  m_text = text;
  setText(FromCp1251(text));
}

void CMaskEdit::SetBeepHandler(std::function<void()> beep) { m_beep = std::move(beep); }

void CMaskEdit::Beep() {
  if (m_beep) m_beep();
}

bool CMaskEdit::AcceptChar(int ch) {
  if (!m_maskActive || !IsPrintable(ch)) return true;

  // Typing always goes to the start of the selection; the rest of the
  // selection stays as it was.
  int pos = hasSelectedText() ? selectionStart() : cursorPosition();
  deselect();
  setCursorPosition(pos);

  const int length = static_cast<int>(m_mask.size());
  if (pos >= length) {
    Beep();
    return false;
  }
  if (!m_template.empty() && m_template[pos] != '_') {
    EchoChar(CodeOf1251(m_template[pos]));
    pos = cursorPosition();
  }
  if (m_extraChars.find(static_cast<char>(ch)) != std::string::npos) return true;
  // A step over the last fixed character leaves no class to test against.
  return ClassAccepts(pos < length ? m_mask[pos] : '\0', pos, ch);
}

bool CMaskEdit::ClassAccepts(char cls, int pos, int ch) {
  bool accepted = false;
  switch (cls) {
    case '0':
      if (!IsDigit(ch)) break;
      // The date digit rule refuses silently: the digit is fine, only the
      // date is not.
      return !m_dateDigitRule || DateDigitAllowed(pos, ch);
    case '9':
      accepted = ch != ' ';
      break;
    case '#':
      accepted = IsDigit(ch) || ch == ' ' || ch == 'k' || ch == 'm';
      break;
    case '?':
      accepted = IsLetter(ch) || ch == ' ';
      break;
    case 'a':
      accepted = IsLetter(ch) || IsDigit(ch) || ch == ' ';
      break;
    case 'A':
      accepted = IsLetter(ch) || IsDigit(ch);
      break;
    case 'L':
      accepted = IsLetter(ch);
      break;
    case '&':
      accepted = true;
      break;
    default:
      break;
  }
  if (!accepted) Beep();
  return accepted;
}

// Fits a text that starts with a two-digit day, a separator and a two-digit
// month.
bool CMaskEdit::DateDigitAllowed(int pos, int ch) const {
  const auto at = [this](std::size_t i) { return i < m_text.size() ? m_text[i] : '\0'; };
  switch (pos) {
    case 0:
      return ch <= '3';
    case 1:
      return at(0) != '3' || ch <= '1';
    case 3:
      return ch <= '1';
    case 4:
      return at(3) != '1' || ch <= '2';
    default:
      return true;
  }
}

void CMaskEdit::EchoChar(int ch) {
  m_echoing = true;
  OnChar(ch, QString(QChar(static_cast<char16_t>(ch))), nullptr);
  m_echoing = false;
}

void CMaskEdit::StoreInShadow(int index, char ch) {
  const auto i = static_cast<std::size_t>(index);
  // The owners set a full-length value before anyone types; should the
  // caret still lie past its end, the gap is filled with blanks.
  if (i >= m_text.size()) m_text.resize(i + 1, ' ');
  m_text[i] = ch;
}

void CMaskEdit::OnChar(int ch, const QString& text, QKeyEvent* event) {
  if (event) event->accept();
  if (!m_echoing && !AcceptChar(ch)) return;

  const bool printable = IsPrintable(ch);
  if (m_maskActive) {
    if (printable) {
      // Overwrite: the character under the caret makes way for the new one.
      const int start = hasSelectedText() ? selectionStart() : cursorPosition();
      const int end = hasSelectedText() ? selectionEnd() : start;
      const int stop = std::min(end + 1, static_cast<int>(this->text().size()));
      if (stop > start) {
        setSelection(start, stop - start);
        del();
      }
      StoreInShadow(end, static_cast<char>(ch));
    } else if (ch == kBackspace) {
      return;
    }
  }

  if (printable) {
    insert(QString(QChar(static_cast<char16_t>(ch))));
  } else if (event) {
    QLineEdit::keyPressEvent(event);
  } else {
    insert(text);
  }

  // At most one fixed character is stepped over per typed character; an
  // echoed one steps over nothing. A selection left by the standard handling
  // (say, after copy) is not overtyped.
  if (!m_echoing && m_maskActive && !m_template.empty() && !hasSelectedText()) {
    const int pos = cursorPosition();
    if (pos < static_cast<int>(m_template.size()) && m_template[pos] != '_')
      EchoChar(CodeOf1251(m_template[pos]));
  }
}

void CMaskEdit::keyPressEvent(QKeyEvent* event) {
  if (!m_maskActive || isReadOnly()) {
    QLineEdit::keyPressEvent(event);
    return;
  }
  switch (event->key()) {
    case Qt::Key_Insert:
    case Qt::Key_Delete:
      // Whatever the modifiers: Shift+Delete and Shift+Insert would cut and
      // paste around the character filter too.
      event->accept();
      return;
    case Qt::Key_Backspace:
      OnChar(kBackspace, QString(), event);
      return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
      // The dialog's keys, never characters for the edit.
      QLineEdit::keyPressEvent(event);
      return;
    default:
      break;
  }

  const QString text = event->text();
  if (text.isEmpty()) {  // caret keys and the like
    QLineEdit::keyPressEvent(event);
    return;
  }
  const Qt::KeyboardModifiers chord =
      event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
  if (chord == Qt::ControlModifier) {
    // Of the control characters only cut, copy and paste reach the standard
    // handling; the others (Ctrl+K, Ctrl+U, undo, ...) would change the text
    // behind the value's back.
    event->accept();
    if (IsClipboardKey(event)) OnChar(kControlChar, text, event);
    return;
  }
  // Ctrl+Alt is AltGr on some keyboards and types a character; Alt or Meta
  // alone are menu keys and type nothing here.
  if (chord != Qt::NoModifier && chord != (Qt::ControlModifier | Qt::AltModifier)) {
    event->ignore();
    return;
  }
  if (text.size() == 1) {
    OnChar(text.at(0).unicode(), text, event);
    return;
  }
  event->accept();
  for (char32_t cp : text.toUcs4())
    OnChar(static_cast<int>(cp), QString::fromUcs4(&cp, 1), nullptr);
}

QMenu* CMaskEdit::CreateContextMenu() {
  if (!m_maskActive || isReadOnly()) return createStandardContextMenu();
  // As with the keys: only cut, copy and paste, in the standard edit's own words.
  auto* menu = new QMenu(this);
  const auto add = [&](const QString& text, QKeySequence::StandardKey key, bool enabled,
                       auto slot) {
    QAction* action = menu->addAction(text + QLatin1Char('\t') +
                                      QKeySequence(key).toString(QKeySequence::NativeText));
    action->setEnabled(enabled);
    connect(action, &QAction::triggered, this, slot);
  };
  const bool selected = hasSelectedText() && echoMode() == QLineEdit::Normal;
  add(QLineEdit::tr("Cu&t"), QKeySequence::Cut, selected, &QLineEdit::cut);
  add(QLineEdit::tr("&Copy"), QKeySequence::Copy, selected, &QLineEdit::copy);
  const QClipboard* clipboard = QGuiApplication::clipboard();
  add(QLineEdit::tr("&Paste"), QKeySequence::Paste, clipboard && !clipboard->text().isEmpty(),
      &QLineEdit::paste);
  return menu;
}

void CMaskEdit::contextMenuEvent(QContextMenuEvent* event) {
  QMenu* menu = CreateContextMenu();
  menu->setAttribute(Qt::WA_DeleteOnClose);
  menu->popup(event->globalPos());
}

void CMaskEdit::inputMethodEvent(QInputMethodEvent* event) {
  if (!m_maskActive || isReadOnly()) {
    QLineEdit::inputMethodEvent(event);
    return;
  }
  // Composed characters are typed one by one like keyed ones; a pre-edit
  // string has no place inside the fixed layout and is not shown.
  const QString commit = event->commitString();
  for (char32_t cp : commit.toUcs4())
    OnChar(static_cast<int>(cp), QString::fromUcs4(&cp, 1), nullptr);
  event->accept();
}

}  // namespace korvel
