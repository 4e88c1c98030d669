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

// `wanted` cut to what the screen of `widget` has free, its frame allowed
// for: no dialog opens larger than the screen, whatever the scale factor.
QSize FitOnScreen(const QWidget& widget, QSize wanted);

}  // namespace korvel
