#include "controls/focus_rect.h"

#include <QPainter>
#include <QRect>

namespace korvel {

void DrawFocusRect(QPainter& painter, const QRect& rect) {
  if (rect.isEmpty()) {
    return;
  }
  painter.save();
  painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
  const auto dot = [&](int x, int y) {
    if (((x - rect.left()) + (y - rect.top())) % 2 == 0) {
      painter.fillRect(QRect(x, y, 1, 1), Qt::white);
    }
  };
  for (int x = rect.left(); x <= rect.right(); ++x) {
    dot(x, rect.top());
    if (rect.bottom() != rect.top()) {
      dot(x, rect.bottom());
    }
  }
  for (int y = rect.top() + 1; y < rect.bottom(); ++y) {
    dot(rect.left(), y);
    if (rect.right() != rect.left()) {
      dot(rect.right(), y);
    }
  }
  painter.restore();
}

}  // namespace korvel
