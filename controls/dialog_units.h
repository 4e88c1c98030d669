#pragma once
// Window geometry is given in dialog units: x in quarters of the font's
// average character width, y in eighths of its height.

#include <QFont>
#include <QRect>
#include <QSize>

class QWidget;

namespace korvel {

struct DialogBaseUnits {
  int x = 4;  // average character width in pixels
  int y = 8;  // character height in pixels
};

DialogBaseUnits BaseUnitsOf(const QFont& font);
// The dialogs' font: "MS Sans Serif" at the desktop's size, 8 pt at the
// least, or the closest sans serif this desktop has (Liberation Sans keeps
// Arial's narrow widths, so captions fit).
QFont DialogFont();
QRect DialogRect(const DialogBaseUnits& units, int x, int y, int width, int height);

// The dialogs' font for a layout of `width` x `height` dialog units on the
// screen of `widget`, with `beside` pixels of other parts (a dialog's own
// rows) below it: DialogFont(), made smaller in half points (6 pt at the
// least) only where it would not fit the screen's free room, as on a netbook
// with a large desktop font or a high scale factor.
QFont DialogFontFitting(const QWidget& widget, int width, int height, QSize beside = {});

// `wanted` cut to what the screen of `widget` has free, its frame allowed
// for: no dialog opens larger than the screen, whatever the scale factor.
QSize FitOnScreen(const QWidget& widget, QSize wanted);

}  // namespace korvel
