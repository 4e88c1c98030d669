#include "mainwindow/arrow_cursor_notifier.h"

#include <QApplication>
#include <QCursor>

namespace korvel {

void ArrowCursorNotifier::Message(const std::string& text, const std::string& caption,
                                  MessageIcon icon) {
  if (QApplication::overrideCursor() == nullptr) {
    m_shown_by.Message(text, caption, icon);
    return;
  }
  QApplication::setOverrideCursor(Qt::ArrowCursor);
  m_shown_by.Message(text, caption, icon);
  QApplication::restoreOverrideCursor();
}

}  // namespace korvel
