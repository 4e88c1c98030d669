#include "controls/dialog_units.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QScreen>
#include <QStringList>
#include <QWidget>
#include <algorithm>

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
  QFont font(QStringLiteral("MS Sans Serif"), std::max(8, QGuiApplication::font().pointSize()));
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

QFont DialogFontFitting(const QWidget& widget, int width, int height, QSize beside) {
  QFont font = DialogFont();
  const auto fits = [&] {
    const QSize wanted = DialogRect(BaseUnitsOf(font), 0, 0, width, height).size() + beside;
    return FitOnScreen(widget, wanted) == wanted;
  };
  while (!fits() && font.pointSizeF() > 6.0) font.setPointSizeF(font.pointSizeF() - 0.5);
  return font;
}

}  // namespace korvel
