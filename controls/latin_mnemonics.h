#pragma once
// Mnemonics on either keyboard layout: the window's underlined letters are
// Cyrillic, and an operator whose layout is Latin at the moment presses the
// same physical key (Alt+R for "К" on the ЙЦУКЕН layout) and means the same.

#include <QChar>

class QWidget;

namespace korvel {

// The Latin letter (or sign) on the key that holds `letter` on the Russian
// ЙЦУКЕН layout, upper-case; a null QChar for anything else.
QChar LatinKeyOf(QChar letter);
// The other way round: the Cyrillic capital on the key of a Latin letter or
// sign; a null QChar when the key holds no Cyrillic letter.
QChar CyrillicKeyOf(QChar latin);

// Alt and the Latin letter of a key press the button of `window` whose
// mnemonic is the Cyrillic letter of that key, and the Latin letters pick
// the entries of the menus `window` opens, for as long as `window` lives.
void AddLatinMnemonics(QWidget* window);

}  // namespace korvel
