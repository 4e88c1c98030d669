#include "mainwindow/coverage_dialog.h"

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

#include "controls/coverage_chart_view.h"
#include "controls/dialog_units.h"
#include "controls/name_only_icon_provider.h"
#include "engine/coverage_chart.h"
#include "engine/coverage_svg.h"
#include "platform/file_io.h"
#include "platform/native_path.h"
#include "platform/text1251.h"

namespace korvel {

ChartWords RussianChartWords() {
  ChartWords words;
  words.title = "Покрытие данных";
  words.covered = "есть данные";
  words.gap = "пропуск";
  words.overlap = "перекрытие";
  words.file_count = [](long n) {
    return std::to_string(n) + " " + RussianPlural(n, "файл", "файла", "файлов");
  };
  words.nothing = "нет файлов";
  words.seconds = "с";
  words.window_times = true;
  return words;
}

CCoverageDialog::CCoverageDialog(CoverageReport report, QString svg_folder, QWidget* parent)
    : QDialog(parent), m_svg_folder(std::move(svg_folder)) {
  setWindowTitle(QStringLiteral("Покрытие данных"));
  m_chart = new CCoverageChartView(std::move(report), RussianChartWords());
  auto* scroll = new QScrollArea(this);
  scroll->setWidget(m_chart);
  scroll->setWidgetResizable(true);
  scroll->setFrameShape(QFrame::NoFrame);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
  m_save = buttons->addButton(QStringLiteral("Сохранить как SVG..."), QDialogButtonBox::ActionRole);
  buttons->button(QDialogButtonBox::Close)->setText(QStringLiteral("Закрыть"));
  connect(m_save, &QPushButton::clicked, this, &CCoverageDialog::Save);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(scroll, 1);
  layout->addWidget(buttons);
  // The whole picture where the screen has room, else a scroll bar.
  const QSize wanted = m_chart->sizeHint();
  resize(FitOnScreen(
      *this, QSize(wanted.width() + 2 * layout->contentsMargins().left() + 4,
                   qMin(wanted.height(), 600) + buttons->sizeHint().height() +
                       3 * layout->spacing() + 2 * layout->contentsMargins().top() + 4)));
}

bool CCoverageDialog::SaveSvg(const QString& path) const {
  // Replaced in one step: a failed save leaves an earlier picture whole.
  return ReplaceFileContents(Utf8Path(path.toStdString()), CoverageChartSvg(m_chart->Chart()));
}

QString CCoverageDialog::ChooseSvgPath() {
  QFileDialog dialog(this, QStringLiteral("Сохранить как SVG"), m_svg_folder,
                     QStringLiteral("SVG (*.svg)"));
  dialog.setOption(QFileDialog::DontUseNativeDialog, true);
  TypeFilesByName(dialog);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setDefaultSuffix(QStringLiteral("svg"));
  dialog.selectFile(QStringLiteral("coverage.svg"));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  return dialog.selectedFiles().front();
}

void CCoverageDialog::Save() {
  const QString path = ChooseSvgPath();
  if (path.isEmpty()) return;
  m_svg_folder = QFileInfo(path).absolutePath();
  if (!SaveSvg(path))
    QMessageBox::critical(this, windowTitle(),
                          QStringLiteral("Не удалось записать файл '%1'").arg(path));
}

}  // namespace korvel
