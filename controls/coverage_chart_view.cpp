#include "controls/coverage_chart_view.h"

#include <QHelpEvent>
#include <QPainter>
#include <QToolTip>

namespace korvel {
namespace {

constexpr int kPreferredWidth = 1000;

}  // namespace

QColor CCoverageChartView::Ink(ChartInk ink) const {
  const QColor fixed = QColor::fromRgb(ChartInkColour(ink));
  const QPalette& colours = palette();
  if (colours.color(QPalette::Base).lightness() >= 128) return fixed;
  switch (ink) {
    case ChartInk::kPaper:
      return colours.color(QPalette::Base);
    case ChartInk::kRowShade:
      return colours.color(QPalette::AlternateBase);
    case ChartInk::kGrid:
      return colours.color(QPalette::Mid);
    case ChartInk::kAxis:
    case ChartInk::kText:
      return colours.color(QPalette::Text);
    case ChartInk::kCovered:
    case ChartInk::kGap:
    case ChartInk::kOverlap:
      break;
  }
  return fixed;
}

CCoverageChartView::CCoverageChartView(CoverageReport report, ChartWords words, QWidget* parent)
    : QWidget(parent), m_report(std::move(report)), m_words(std::move(words)) {
  setObjectName(QStringLiteral("coverageChart"));
  m_preferred_height =
      static_cast<int>(LayOutCoverageChart(m_report, kPreferredWidth, m_words).height);
  setMinimumHeight(m_preferred_height);
  setMinimumWidth(400);
}

const CoverageChart& CCoverageChartView::Chart() const {
  if (m_chart_width != width()) {
    m_chart = LayOutCoverageChart(m_report, width(), m_words);
    m_chart_width = width();
  }
  return m_chart;
}

QSize CCoverageChartView::sizeHint() const { return {kPreferredWidth, m_preferred_height}; }

void CCoverageChartView::paintEvent(QPaintEvent*) {
  const CoverageChart& chart = Chart();
  QPainter painter(this);
  for (const bool background : {true, false}) {
    for (const ChartBox& box : chart.boxes)
      if (IsBackgroundInk(box.ink) == background)
        painter.fillRect(QRectF(box.x, box.y, box.width, box.height), Ink(box.ink));
    for (const ChartLine& line : chart.lines) {
      if (IsBackgroundInk(line.ink) != background) continue;
      painter.setPen(QPen(Ink(line.ink), 1));
      // On the pixel, not between two.
      painter.drawLine(QPointF(qFloor(line.x1) + 0.5, qFloor(line.y1) + 0.5),
                       QPointF(qFloor(line.x2) + 0.5, qFloor(line.y2) + 0.5));
    }
  }
  QFont font = this->font();
  font.setPixelSize(static_cast<int>(chart.font_size));
  painter.setPen(Ink(ChartInk::kText));
  for (const ChartText& text : chart.texts) {
    font.setBold(text.bold);
    painter.setFont(font);
    const QString words = QString::fromStdString(text.text);
    const double advance = painter.fontMetrics().horizontalAdvance(words);
    double x = text.x;
    if (text.anchor == ChartAnchor::kMiddle) x -= advance / 2;
    if (text.anchor == ChartAnchor::kEnd) x -= advance;
    painter.drawText(QPointF(x, text.y), words);
  }
}

bool CCoverageChartView::event(QEvent* event) {
  if (event->type() != QEvent::ToolTip) return QWidget::event(event);
  const auto* help = static_cast<QHelpEvent*>(event);
  const CoverageChart& chart = Chart();
  // The topmost box under the pointer that stands for something.
  for (auto box = chart.boxes.rbegin(); box != chart.boxes.rend(); ++box) {
    if (box->tip.empty() || IsBackgroundInk(box->ink)) continue;
    if (QRectF(box->x, box->y, box->width, box->height).contains(help->pos())) {
      QToolTip::showText(help->globalPos(), QString::fromStdString(box->tip), this);
      return true;
    }
  }
  QToolTip::hideText();
  event->ignore();
  return true;
}

}  // namespace korvel
