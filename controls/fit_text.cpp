#include "controls/fit_text.h"

namespace korvel {

namespace {

const QString kDots = QStringLiteral("...");

// Drops one character from the end, never splitting a surrogate pair.
void DropLastCharacter(QString& text) {
  const qsizetype size = text.size();
  if (size >= 2 && text.at(size - 1).isLowSurrogate() && text.at(size - 2).isHighSurrogate()) {
    text.chop(2);
  } else {
    text.chop(1);
  }
}

}  // namespace

bool FitTextWithEllipsis(const QFontMetrics& metrics, QString& text, int capacity, int width) {
  // Compared unsigned on purpose: a cell narrower than the margin is "unlimited".
  const unsigned available = static_cast<unsigned>(width) - 4u;
  if (capacity <= 0) {
    return false;  // no room for even the scratch copy's terminator
  }
  if (static_cast<unsigned>(metrics.horizontalAdvance(text)) <= available) {
    return true;
  }
  const int dots = metrics.horizontalAdvance(kDots);
  QString scratch = text.left(capacity - 1);
  while (!scratch.isEmpty()) {
    DropLastCharacter(scratch);
    const int remaining = metrics.horizontalAdvance(scratch);
    const bool fits = static_cast<unsigned>(remaining + dots) <= available;
    const bool room = scratch.size() + kDots.size() < capacity;
    if (fits && room) {
      text = scratch + kDots;
      return true;
    }
  }
  return false;
}

}  // namespace korvel
