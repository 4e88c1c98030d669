#include "controls/multi_select_list_box.h"

#include <QKeyEvent>
#include <QMouseEvent>

namespace korvel {

CMultiSelectListBox::CMultiSelectListBox(QWidget* parent) : QListWidget(parent) {
  setSelectionMode(QAbstractItemView::MultiSelection);
  setSortingEnabled(false);  // AddSorted keeps the order; Qt's sort heeds case
  setDragEnabled(false);
  setContextMenuPolicy(Qt::PreventContextMenu);
}

int CMultiSelectListBox::AddSorted(const QString& text) {
  int row = 0;
  while (row < count() && QString::compare(item(row)->text(), text, Qt::CaseInsensitive) <= 0)
    ++row;
  insertItem(row, text);
  return row;
}

void CMultiSelectListBox::mousePressEvent(QMouseEvent* event) {
  // The right and middle buttons neither select nor move the caret.
  if (event->button() != Qt::LeftButton) {
    event->accept();
    return;
  }
  QListWidget::mousePressEvent(event);
}

void CMultiSelectListBox::mouseMoveEvent(QMouseEvent* event) {
  // A drag with a button held would select the entries it passes over.
  if (event->buttons() != Qt::NoButton) {
    event->accept();
    return;
  }
  QListWidget::mouseMoveEvent(event);
}

void CMultiSelectListBox::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) {
    event->accept();
    return;
  }
  QListWidget::mouseReleaseEvent(event);
}

void CMultiSelectListBox::mouseDoubleClickEvent(QMouseEvent* event) {
  QMouseEvent press(QEvent::MouseButtonPress, event->position(), event->scenePosition(),
                    event->globalPosition(), event->button(), event->buttons(), event->modifiers(),
                    event->pointingDevice());
  mousePressEvent(&press);
  event->setAccepted(press.isAccepted());
}

void CMultiSelectListBox::keyPressEvent(QKeyEvent* event) {
  if (event->matches(QKeySequence::SelectAll)) {
    event->accept();
    return;
  }
  QListWidget::keyPressEvent(event);
}

}  // namespace korvel
