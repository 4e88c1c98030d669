#include "controls/dialog_units.h"

#include <QFontMetrics>
#include <QStringList>

namespace korvel {

DialogBaseUnits BaseUnitsOf(const QFont& font) {
  const QFontMetrics metrics(font);
  // The Windows average: the width of the 52 Latin letters, rounded, over 52.
  const int letters = metrics.horizontalAdvance(
      QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
  return {(letters / 26 + 1) / 2, metrics.height()};
}

QFont DialogFont() {
  static const bool substituted = [] {
    QFont::insertSubstitutions(QStringLiteral("MS Sans Serif"),
                               QStringList{QStringLiteral("Liberation Sans"),
                                           QStringLiteral("Arial"), QStringLiteral("DejaVu Sans")});
    return true;
  }();
  (void)substituted;
  QFont font(QStringLiteral("MS Sans Serif"), 8);
  font.setStyleHint(QFont::SansSerif);
  return font;
}

QRect DialogRect(const DialogBaseUnits& u, int x, int y, int width, int height) {
  return QRect(x * u.x / 4, y * u.y / 8, width * u.x / 4, height * u.y / 8);
}

}  // namespace korvel
