#include "controls/latin_mnemonics.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QKeySequence>
#include <QMenu>
#include <QPointer>
#include <QString>
#include <QWidget>

namespace korvel {
namespace {

// The Russian layout's letters on the keys of the US one, key by key.
constexpr char16_t kCyrillic[] = u"ЙЦУКЕНГШЩЗХЪФЫВАПРОЛДЖЭЯЧСМИТЬБЮЁ";
constexpr char kLatin[] = "QWERTYUIOP[]ASDFGHJKL;'ZXCVBNM,.`";
static_assert(sizeof kCyrillic / sizeof kCyrillic[0] == sizeof kLatin);

QChar MnemonicOf(const QString& text) {
  const QKeySequence mnemonic = QKeySequence::mnemonic(text);
  if (mnemonic.isEmpty()) return {};
  return QChar(static_cast<char16_t>(mnemonic[0].key())).toUpper();
}

// A Latin key reaches the window as the Cyrillic letter of its key. This is
// no second shortcut: X11 offers the Latin letter of a Cyrillic key to the
// shortcuts as well, and two shortcuts on one key would only be ambiguous
// there. So the keys come here only when no shortcut took them.
class LatinKeys : public QObject {
 public:
  explicit LatinKeys(QWidget* window) : QObject(window), m_window(window) {
    qApp->installEventFilter(this);
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() != QEvent::KeyPress || !watched->isWidgetType()) return false;
    auto* widget = static_cast<QWidget*>(watched);
    const auto* key = static_cast<const QKeyEvent*>(event);
    if (key->key() < 0x20 || key->key() > 0x7e) return false;
    const QChar latin = QChar::fromLatin1(static_cast<char>(key->key())).toUpper();
    const QChar cyrillic = CyrillicKeyOf(latin);
    if (cyrillic.isNull()) return false;
    if (auto* menu = qobject_cast<QMenu*>(widget);
        menu != nullptr && menu->parentWidget() == m_window)
      return PickInMenu(*menu, *key, latin, cyrillic);
    if (key->modifiers() != Qt::AltModifier || widget->window() != m_window) return false;
    for (QAbstractButton* button : m_window->findChildren<QAbstractButton*>()) {
      if (MnemonicOf(button->text()) != cyrillic || !button->isVisible() || !button->isEnabled())
        continue;
      button->animateClick();  // as the button's own mnemonic does
      return true;
    }
    return false;
  }

 private:
  // An open menu picks entries by their letter, with or without Alt.
  static bool PickInMenu(QMenu& menu, const QKeyEvent& key, QChar latin, QChar cyrillic) {
    bool ours = false;
    for (const QAction* action : menu.actions()) {
      const QChar mnemonic = MnemonicOf(action->text());
      if (mnemonic == latin) return false;
      ours = ours || mnemonic == cyrillic;
    }
    if (!ours) return false;
    QKeyEvent as_cyrillic(QEvent::KeyPress, cyrillic.unicode(), key.modifiers(),
                          QString(cyrillic.toLower()));
    QCoreApplication::sendEvent(&menu, &as_cyrillic);
    return true;
  }

  QWidget* m_window;
};

}  // namespace

QChar LatinKeyOf(QChar letter) {
  const qsizetype at = QStringView(kCyrillic).indexOf(letter.toUpper());
  return at < 0 ? QChar() : QChar::fromLatin1(kLatin[at]);
}

QChar CyrillicKeyOf(QChar latin) {
  const qsizetype at = QLatin1StringView(kLatin).indexOf(latin.toUpper());
  return at < 0 || latin.isNull() ? QChar() : QChar(kCyrillic[at]);
}

void AddLatinMnemonics(QWidget* window) { new LatinKeys(window); }

}  // namespace korvel
