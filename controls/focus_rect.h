#pragma once
// The focus mark of the list rows and the buttons.

class QPainter;
class QRect;

namespace korvel {

// Dotted rectangle that inverts every other border pixel, so drawing it twice
// restores what was there.
void DrawFocusRect(QPainter& painter, const QRect& rect);

}  // namespace korvel
