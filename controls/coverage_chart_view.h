#pragma once
// The coverage picture painted with Qt: the same boxes, lines and texts that
// the SVG holds, laid out at the widget's width; a box's tooltip tells the
// stretch it stands for.

#include <QWidget>

#include "engine/coverage.h"
#include "engine/coverage_chart.h"

namespace korvel {

class CCoverageChartView : public QWidget {
  Q_OBJECT

 public:
  CCoverageChartView(CoverageReport report, ChartWords words, QWidget* parent = nullptr);

  // The picture at the current width, as painted; laid out again only when
  // the width changes (not for every scroll step or tooltip).
  const CoverageChart& Chart() const;
  QSize sizeHint() const override;
  // An ink as painted here: the saved picture's colour, but on a dark
  // palette the paper, shades, grid, axis and words are the palette's, so
  // that the chart reads as the rest of the window does. The bars keep their
  // colours, and the saved SVG stays on white.
  QColor Ink(ChartInk ink) const;

 protected:
  void paintEvent(QPaintEvent* event) override;
  bool event(QEvent* event) override;

 private:
  CoverageReport m_report;
  ChartWords m_words;
  int m_preferred_height = 0;
  mutable CoverageChart m_chart;
  mutable int m_chart_width = -1;
};

}  // namespace korvel
