#pragma once
// A sorted list box with multiple selection, as the Windows list box has it:
// each click of the left button toggles the one entry under it (with Shift
// or Ctrl too) and makes it the caret entry; Space toggles the caret entry;
// the arrow keys and typed letters move the caret alone. Nothing selects
// several entries at once: a drag, Ctrl+A, the right and the middle button
// change nothing, and there is no context menu. A double click is a second
// click.

#include <QListWidget>

class QKeyEvent;
class QMouseEvent;

namespace korvel {

class CMultiSelectListBox : public QListWidget {
  Q_OBJECT

 public:
  explicit CMultiSelectListBox(QWidget* parent = nullptr);

  // Inserts an entry where it sorts without regard to case (KIR, kir and
  // Kira are neighbours), after the entries equal to it; returns its row.
  int AddSorted(const QString& text);

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
};

}  // namespace korvel
