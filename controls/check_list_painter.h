#pragma once
// Rows of the channel list: a check-box image followed by text cells, each
// text shortened with "..." when its cell is too narrow.

#include <QList>
#include <QPalette>
#include <QPixmap>
#include <QRect>
#include <QStringList>
#include <QStyledItemDelegate>

class QPainter;
class QTreeView;

namespace korvel {

// The row's check state lives in column 0 under this role, as an int
// "state image": 1 unticked, 2 ticked.  Anything but 1 draws the ticked box.
inline constexpr int kStateImageRole = Qt::UserRole + 1;
inline constexpr int kStateUnticked = 1;
inline constexpr int kStateTicked = 2;

// One 16 x 16 tile of ":/images/checkuncheck.png" (0 empty box, 1 ticked box)
// with its pure red pixels made transparent; a null pixmap for other indexes.
// Above a device pixel ratio of 1 the tile comes from the strip drawn at
// twice the size, marked with ratio 2: the same 16 units, sharp.
QPixmap CheckBoxImage(int index, qreal ratio = 1.0);
// Both tiles, in index order: the channel list's state images.
QList<QPixmap> CheckBoxImages(qreal ratio = 1.0);

// What the painter needs to know about one row.
struct CheckListRow {
  QRect rect;                   // the whole row, across all columns
  QStringList texts;            // one per column
  QList<int> column_widths;     // one per column, in pixels
  QList<QPixmap> state_images;  // empty: the list has no state images
  int state_image = 0;
  bool selected = false;
  bool focused = false;
  QPalette palette;  // Text/Base, HighlightedText/Highlight
};

// Fills `cell` with the painter's background colour and draws `text` in its
// pen colour 2 pixels in and 1 down, shortened to the cell's width, clipped.
void DrawCellText(QPainter& painter, const QString& text, const QRect& cell);

// Draws the state image at the row's top-left corner and `column_count` text
// cells after it.  A selected row takes the highlight colours when
// `highlight_selected` is set; a focused row gets a dotted focus rectangle
// that leaves the image out.  The area right of the last column is left alone.
void DrawCheckListRow(QPainter& painter, const CheckListRow& row, int column_count,
                      bool highlight_selected);

// Delegate for the channel list (a QTreeWidget): every cell paints the whole
// row clipped to itself, so partial repaints give the same pixels as one
// full-row paint.
class CCheckListDelegate : public QStyledItemDelegate {
  Q_OBJECT

 public:
  explicit CCheckListDelegate(QObject* parent = nullptr, int column_count = 3,
                              bool highlight_selected = true);

  // Replaces the state images; an empty list draws no images and starts the
  // first cell at the row's left edge.
  // Replacing them also ends the choice of the sharper strip by ratio.
  void SetStateImages(const QList<QPixmap>& images);
  const QList<QPixmap>& StateImages() const { return m_stateImages; }
  int ColumnCount() const { return m_columnCount; }

  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override;
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

  // The row record the delegate paints for `index` (any column of the row).
  CheckListRow RowFor(const QStyleOptionViewItem& option, const QModelIndex& index) const;

  // Where the check image of `index`'s row lies in `view`'s viewport, as
  // painted: at the row's left edge wherever the list is scrolled, cut to the
  // first column. Empty without state images.
  QRect StateImageRect(const QTreeView& view, const QModelIndex& index) const;

 private:
  int m_columnCount;
  bool m_highlightSelected;
  QList<QPixmap> m_stateImages;
  bool m_ownCheckBoxes = true;  // the strip's tiles, taken at the screen's ratio
};

}  // namespace korvel
