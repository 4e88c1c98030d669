#pragma once
// Shortening a cell's text with "..." so that it fits the cell.

#include <QFontMetrics>
#include <QString>

namespace korvel {

// The cells are drawn from fixed buffers of this many characters, terminator included.
inline constexpr int kCellTextCapacity = 256;

// Shortens `text` in place so that it fits `width` minus a 4-pixel margin,
// ending it with "..." (three full stops).  `capacity` counts characters the
// way the cell's buffer does, including a terminating zero: the shortened text
// plus the three dots must leave room for it.  A width below 4 wraps to a huge
// unsigned width and never shortens.  Returns false, with `text` unchanged,
// when no shortened form fits; the caller then draws the full text, clipped.
bool FitTextWithEllipsis(const QFontMetrics& metrics, QString& text, int capacity, int width);

}  // namespace korvel
