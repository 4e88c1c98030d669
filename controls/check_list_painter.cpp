#include "controls/check_list_painter.h"

#include <QHeaderView>
#include <QImage>
#include <QItemSelectionModel>
#include <QPainter>
#include <QTreeView>
#include <QWidget>

#include "controls/fit_text.h"
#include "controls/focus_rect.h"

namespace korvel {

namespace {

constexpr int kTileSize = 16;
constexpr int kRowTextCapacity = 128;  // characters fetched per cell, terminator included
constexpr QRgb kTransparentKey = qRgb(255, 0, 0);

QImage LoadCheckStrip(const QString& path) {
  QImage image = QImage(path).convertToFormat(QImage::Format_ARGB32);
  for (int y = 0; y < image.height(); ++y) {
    auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = 0; x < image.width(); ++x) {
      if ((line[x] | 0xff000000u) == kTransparentKey) {
        line[x] = 0;
      }
    }
  }
  return image;
}

const QImage& CheckStrip(int scale) {
  static const QImage normal = LoadCheckStrip(QStringLiteral(":/images/checkuncheck.png"));
  static const QImage doubled = LoadCheckStrip(QStringLiteral(":/images/checkuncheck@2x.png"));
  return scale == 2 && !doubled.isNull() ? doubled : normal;
}

}  // namespace

QPixmap CheckBoxImage(int index, qreal ratio) {
  const int scale = ratio > 1.0 ? 2 : 1;
  const QImage& strip = CheckStrip(scale);
  const int tile = strip.height();
  if (index < 0 || tile == 0 || (index + 1) * tile > strip.width()) {
    return QPixmap();
  }
  QPixmap image = QPixmap::fromImage(strip.copy(index * tile, 0, tile, tile));
  image.setDevicePixelRatio(qreal(tile) / kTileSize);
  return image;
}

QList<QPixmap> CheckBoxImages(qreal ratio) {
  return {CheckBoxImage(0, ratio), CheckBoxImage(1, ratio)};
}

void DrawCellText(QPainter& painter, const QString& text, const QRect& cell) {
  if (cell.width() <= 0 || cell.height() <= 0) {
    return;
  }
  QString fitted = text.left(kCellTextCapacity - 1);
  FitTextWithEllipsis(painter.fontMetrics(), fitted, kCellTextCapacity, cell.width());
  painter.save();
  painter.fillRect(cell, painter.background().color());
  painter.setClipRect(cell, painter.hasClipping() ? Qt::IntersectClip : Qt::ReplaceClip);
  const QPoint origin(cell.left() + 2, cell.top() + 1 + painter.fontMetrics().ascent());
  painter.drawText(origin, fitted);
  painter.restore();
}

void DrawCheckListRow(QPainter& painter, const CheckListRow& row, int column_count,
                      bool highlight_selected) {
  const QPalette& palette = row.palette;
  const bool highlighted = row.selected && highlight_selected;
  const QColor text_colour =
      palette.color(QPalette::Active, highlighted ? QPalette::HighlightedText : QPalette::Text);
  const QColor back_colour =
      palette.color(QPalette::Active, highlighted ? QPalette::Highlight : QPalette::Base);
  painter.setPen(text_colour);
  painter.setBackground(back_colour);

  int image_width = 0;
  if (!row.state_images.isEmpty()) {
    // As drawn, on a highlighted row too: mixed with the highlight, an empty
    // box would look filled in.
    const QPixmap image = row.state_images.value(row.state_image == kStateUnticked ? 0 : 1);
    if (!image.isNull()) {
      painter.drawPixmap(row.rect.topLeft(), image);
    }
    image_width = row.state_images.first().deviceIndependentSize().toSize().width();
  }

  const auto text_of = [&](int column) {
    return row.texts.value(column).left(kRowTextCapacity - 1);
  };
  int left = row.rect.left() + image_width;
  int right = row.rect.left() + row.column_widths.value(0);
  if (column_count > 0) {
    DrawCellText(painter, text_of(0), QRect(left, row.rect.top(), right - left, row.rect.height()));
  }
  for (int column = 1; column < column_count; ++column) {
    left = right;
    right = left + row.column_widths.value(column);
    DrawCellText(painter, text_of(column),
                 QRect(left, row.rect.top(), right - left, row.rect.height()));
  }

  if (row.selected) {
    painter.setPen(palette.color(QPalette::Active, QPalette::Text));
    painter.setBackground(palette.color(QPalette::Active, QPalette::Base));
  }
  if (row.focused) {
    const int focus_left = row.rect.left() + image_width;
    DrawFocusRect(painter, QRect(focus_left, row.rect.top(), row.rect.right() + 1 - focus_left,
                                 row.rect.height()));
  }
}

CCheckListDelegate::CCheckListDelegate(QObject* parent, int column_count, bool highlight_selected)
    : QStyledItemDelegate(parent),
      m_columnCount(column_count),
      m_highlightSelected(highlight_selected),
      m_stateImages(CheckBoxImages()) {}

void CCheckListDelegate::SetStateImages(const QList<QPixmap>& images) {
  m_stateImages = images;
  m_ownCheckBoxes = false;
}

CheckListRow CCheckListDelegate::RowFor(const QStyleOptionViewItem& option,
                                        const QModelIndex& index) const {
  CheckListRow row;
  row.palette = option.palette;
  row.state_images = m_stateImages;
  if (m_ownCheckBoxes && option.widget != nullptr && option.widget->devicePixelRatioF() > 1.0) {
    row.state_images = CheckBoxImages(option.widget->devicePixelRatioF());
  }
  const QModelIndex first = index.siblingAtColumn(0);
  row.state_image = first.data(kStateImageRole).toInt();
  for (int column = 0; column < m_columnCount; ++column) {
    row.texts << index.siblingAtColumn(column).data(Qt::DisplayRole).toString();
  }

  const auto* view = qobject_cast<const QTreeView*>(option.widget);
  if (view == nullptr) {
    // Without a view the cell is all we know: treat it as a one-column row.
    row.rect = option.rect;
    row.column_widths = {option.rect.width()};
    for (int column = 1; column < m_columnCount; ++column) {
      row.column_widths << 0;
    }
    row.selected = option.state & QStyle::State_Selected;
    row.focused = option.state & QStyle::State_HasFocus;
    return row;
  }

  const QRect first_rect = view->visualRect(first);
  int total = 0;
  for (int column = 0; column < m_columnCount; ++column) {
    const int width = column == 0 ? first_rect.width() : view->header()->sectionSize(column);
    row.column_widths << width;
    total += width;
  }
  row.rect = QRect(first_rect.left(), option.rect.top(), total, option.rect.height());
  const QItemSelectionModel* selection = view->selectionModel();
  row.selected = selection != nullptr ? selection->isSelected(first)
                                      : bool(option.state & QStyle::State_Selected);
  const QModelIndex current = view->currentIndex();
  row.focused = view->hasFocus() && current.isValid() && current.row() == index.row() &&
                current.parent() == index.parent();
  return row;
}

QRect CCheckListDelegate::StateImageRect(const QTreeView& view, const QModelIndex& index) const {
  if (m_stateImages.isEmpty() || !index.isValid()) {
    return QRect();
  }
  const QRect first = view.visualRect(index.siblingAtColumn(0));
  return QRect(first.topLeft(), m_stateImages.first().size()) & first;
}

void CCheckListDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                               const QModelIndex& index) const {
  const CheckListRow row = RowFor(option, index);
  painter->save();
  painter->setClipRect(option.rect, painter->hasClipping() ? Qt::IntersectClip : Qt::ReplaceClip);
  painter->setFont(option.font);
  DrawCheckListRow(*painter, row, m_columnCount, m_highlightSelected);
  painter->restore();
}

QSize CCheckListDelegate::sizeHint(const QStyleOptionViewItem& option,
                                   const QModelIndex& index) const {
  const QFontMetrics metrics(option.font);
  const int image_height = m_stateImages.isEmpty() ? 0 : m_stateImages.first().height();
  const int image_width =
      (index.column() == 0 && !m_stateImages.isEmpty()) ? m_stateImages.first().width() : 0;
  const int text_width = metrics.horizontalAdvance(index.data(Qt::DisplayRole).toString()) + 4;
  return QSize(image_width + text_width, qMax(image_height, metrics.height() + 2));
}

}  // namespace korvel
