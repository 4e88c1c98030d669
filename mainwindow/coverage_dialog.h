#pragma once
// "Покрытие данных": what the catalogue's files cover of the time window for
// the selected stations, drawn as the command line's coverage picture, with
// a button that saves it as SVG.

#include <QDialog>
#include <QString>

#include "engine/coverage.h"
#include "engine/coverage_chart.h"

class QPushButton;

namespace korvel {

class CCoverageChartView;

// The picture's words in the window's language.
ChartWords RussianChartWords();

class CCoverageDialog : public QDialog {
  Q_OBJECT

 public:
  // The save chooser opens in `svg_folder`, and SvgFolder() gives the folder
  // of the last picture saved (`svg_folder` until one is).
  CCoverageDialog(CoverageReport report, QString svg_folder, QWidget* parent = nullptr);
  explicit CCoverageDialog(CoverageReport report, QWidget* parent = nullptr)
      : CCoverageDialog(std::move(report), QString(), parent) {}
  const QString& SvgFolder() const { return m_svg_folder; }

  CCoverageChartView* Chart() const { return m_chart; }
  QPushButton* SaveButton() const { return m_save; }
  // Writes the picture as shown; false when the file cannot be written.
  bool SaveSvg(const QString& path) const;

 protected:
  // The file to save to; empty when the operator gives none. Tests answer it.
  virtual QString ChooseSvgPath();

 private:
  void Save();

  CCoverageChartView* m_chart = nullptr;
  QPushButton* m_save = nullptr;
  QString m_svg_folder;
};

}  // namespace korvel
