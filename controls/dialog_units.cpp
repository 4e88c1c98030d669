#include "controls/dialog_units.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <algorithm>
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
  // The desktop's own size where it is larger: 8 pt is the floor, not the rule.
  QFont font(QStringLiteral("MS Sans Serif"),
             std::max(8, QGuiApplication::font().pointSize()));
  font.setStyleHint(QFont::SansSerif);
  return font;
}

QRect DialogRect(const DialogBaseUnits& u, int x, int y, int width, int height) {
  return QRect(x * u.x / 4, y * u.y / 8, width * u.x / 4, height * u.y / 8);
}

QSize FitOnScreen(const QWidget& widget, QSize wanted) {
  const QScreen* screen = widget.screen() ? widget.screen() : QGuiApplication::primaryScreen();
  if (screen == nullptr) return wanted;
  // The title bar and borders are not yet known before the first show:
  // room for a usual frame.
  constexpr int kFrameWidth = 16;
  constexpr int kFrameHeight = 48;
  const QRect free = screen->availableGeometry();
  return wanted.boundedTo(QSize(free.width() - kFrameWidth, free.height() - kFrameHeight));
}

}  // namespace korvel
