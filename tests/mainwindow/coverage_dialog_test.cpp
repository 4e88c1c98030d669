// "Покрытие данных...": the selected stations' coverage over the window's
// time, read from a real catalogue, painted, and saved as SVG.
#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QImage>
#include <QItemSelectionModel>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <QXmlStreamReader>

#include "controls/coverage_chart_view.h"
#include "controls/date_time_edit.h"
#include "controls/hover_button.h"
#include "controls/mask_edit.h"
#include "controls/multi_select_list_box.h"
#include "controls/open_file_dlg.h"
#include "controls/qt_path.h"
#include "controls/waveform_view.h"
#include "database/statement.h"
#include "engine/coverage_svg.h"
#include "mainwindow/coverage_dialog.h"
#include "platform/native_path.h"
#include "tests/mainwindow/main_dialog_fixture.h"
#include "tests/qt_support/screenshot.h"
#include "tests/support/raw_file_builder.h"

namespace korvel {
namespace {

constexpr EpochSeconds kMarch1 = 1172707200.0;  // 2007-03-01 00:00:00

class CoverageDialogTest : public test::MainDialogFixture {
 protected:
  void Row(const char* sta, const char* ch, const char* cpath, double from, double to,
           const char* creator) {
    test::InsertFileRow(db, sta, ch, cpath, kMarch1 + from, to - from, 100.0, creator);
  }
  // The window open on 00:00 01.03.2007 for an hour, with `stations` selected.
  std::unique_ptr<test::TestDialog> OpenOn(const std::vector<QString>& stations) {
    auto d = Open();
    d->StartEdit()->ShowDateTime(2007, 3, 1, 0, 0, 0);
    d->LengthEdit()->setText(QStringLiteral("01:00:00"));
    for (int i = 0; i < d->StationList()->count(); ++i)
      d->StationList()->item(i)->setSelected(
          std::find(stations.begin(), stations.end(), d->StationList()->item(i)->text()) !=
          stations.end());
    return d;
  }
  void Fill() {
    Row("KIR", "Z", "KIR/00/a", 300, 1200, "korvel2TQF");
    Row("KIR", "Z", "KIR/00/b", 900, 2400, "DRANOVEX");
    Row("KIR", "Z", "KIR/00/c", 2400, 3600, "korvel2TQF");
    Row("KIR", "N-S", "KIR/00/d", 0, 1800, "korvel2TQF");
    Row("KIR", "N-S", "KIR/00/e", 2100, 3600, "korvel2TQF");
    Row("KIROV", "E-W", "KIROV/00/f", 0, 3600, "korvel2TQF");
  }
};

class SavingCoverageDialog : public CCoverageDialog {
 public:
  using CCoverageDialog::CCoverageDialog;
  QString path;

 protected:
  QString ChooseSvgPath() override { return path; }
};

TEST_P(CoverageDialogTest, TheSelectedStationsOverTheWindowsTime) {
  Fill();
  auto d = OpenOn({"KIR", "KUDA"});
  const std::optional<CoverageReport> report = d->CoverageOfSelection();
  ASSERT_TRUE(report);
  EXPECT_EQ(FormatCoverageLines(*report),
            "KIR\tN-S\tgap\t2007-03-01T00:30:00.00\t2007-03-01T00:35:00.00\t300.00\n"
            "KIR\tN-S\tcoverage\t91.6\t2\n"
            "KIR\tZ\tgap\t2007-03-01T00:00:00.00\t2007-03-01T00:05:00.00\t300.00\n"
            "KIR\tZ\toverlap\t2007-03-01T00:15:00.00\t2007-03-01T00:20:00.00\t300.00\n"
            "KIR\tZ\tcoverage\t91.6\t3\n"
            "KUDA\t\tgap\t2007-03-01T00:00:00.00\t2007-03-01T01:00:00.00\t3600.00\n"
            "KUDA\t\tcoverage\t0.0\t0\n");
  EXPECT_TRUE(notifier.messages.empty());

  // A length of 0: all the time of the stations' files.
  d->LengthEdit()->setText(QStringLiteral("00:00:00"));
  EXPECT_EQ(d->CoverageOfSelection()->window.end, kMarch1 + 3600);

  // No station: a beep and the reason; a catalogue that cannot be read: the driver's text.
  d = OpenOn({});
  EXPECT_FALSE(d->CoverageOfSelection());
  EXPECT_EQ(notifier.beeps, 1);
  ASSERT_EQ(notifier.messages.size(), 1u);
  EXPECT_EQ(notifier.messages[0].text, "Не выбрана станция !!!");
  d = OpenOn({"KIR"});
  db.ExecuteSQL("DROP TABLE FILELIST");
  EXPECT_FALSE(d->CoverageOfSelection());
  ASSERT_EQ(notifier.messages.size(), 2u);
  EXPECT_EQ(notifier.messages[1].caption, "korvel2tqf");
  EXPECT_FALSE(notifier.messages[1].text.empty());
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);  // the wait cursor is gone again
}

TEST_P(CoverageDialogTest, TheEntryBesideAboutOpensThePictureThatSavesAsSvg) {
  Fill();
  auto d = OpenOn({"KIR", "KIROV", "KUDA"});
  QAction* entry = nullptr;
  for (QAction* action : d->actions())
    if (action->text() == QStringLiteral("&Покрытие данных...")) entry = action;
  ASSERT_NE(entry, nullptr);
  QString shown;
  QTimer::singleShot(0, d.get(), [&shown] {
    if (QWidget* box = QApplication::activeModalWidget()) {
      shown = box->windowTitle();
      box->close();
    }
  });
  entry->trigger();
  EXPECT_EQ(shown, QStringLiteral("Покрытие данных"));

  SavingCoverageDialog dialog(*d->CoverageOfSelection(), d.get());
  dialog.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
  // As painted: the bars in their colours where the report puts them.
  CCoverageChartView* view = dialog.Chart();
  const QImage image = view->grab().toImage();
  const CoverageChart chart = view->Chart();
  int gaps = 0, overlaps = 0;
  for (const ChartBox& box : chart.boxes) {
    if (box.ink != ChartInk::kGap && box.ink != ChartInk::kOverlap) continue;
    (box.ink == ChartInk::kGap ? gaps : overlaps) += 1;
    const QPoint inside(static_cast<int>(box.x + box.width / 2), static_cast<int>(box.y + 3));
    EXPECT_EQ(image.pixel(inside * image.devicePixelRatio()), 0xFF000000 | ChartInkColour(box.ink))
        << box.tip;
  }
  EXPECT_EQ(gaps, 1 + 3);  // the legend's, N-S's, Z's first, KUDA's
  EXPECT_EQ(overlaps, 1 + 1);
  EXPECT_FALSE(test::SaveScreenshot(dialog, QStringLiteral("coverage-dialog")).isEmpty());

  // Saved: the picture as shown, a document in its own right, in Russian.
  dialog.path = QtPath(sandbox.path() / "coverage.svg");
  dialog.SaveButton()->click();
  QFile file(dialog.path);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  const QByteArray saved = file.readAll();
  EXPECT_EQ(saved.toStdString(), CoverageChartSvg(view->Chart()));
  QXmlStreamReader xml(saved);
  QStringList texts;
  while (!xml.atEnd())
    if (xml.readNext() == QXmlStreamReader::StartElement && xml.name() == u"text")
      texts << xml.readElementText();
  EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
  for (const char* text : {"пропуск", "перекрытие", "есть данные", "нет файлов", "KIROV  E-W"})
    EXPECT_TRUE(texts.contains(QString::fromUtf8(text))) << text;
  EXPECT_FALSE(dialog.SaveSvg(QtPath(sandbox.path() / "no" / "such.svg")));
}

// "Сохранить как SVG..." opens in the output root, then where the last
// picture went; never in a folder another file dialog left behind.
TEST_P(CoverageDialogTest, TheSvgChooserOpensInTheOutputRootThenTheLastFolder) {
  Fill();
  auto d = OpenOn({"KIR"});
  QAction* entry = nullptr;
  for (QAction* action : d->actions())
    if (action->text() == QStringLiteral("&Покрытие данных...")) entry = action;
  ASSERT_NE(entry, nullptr);
  const auto pictures = sandbox.path() / "pictures";
  std::filesystem::create_directories(pictures);
  const struct {
    std::filesystem::path save_to;  // empty: cancelled
    std::filesystem::path opened_in;
  } steps[] = {{"", out}, {pictures / "a.svg", out}, {"", pictures}};
  for (const auto& step : steps) {
    SCOPED_TRACE(step.save_to);
    QString opened;
    QTimer::singleShot(0, d.get(), [&] {
      auto* coverage = qobject_cast<CCoverageDialog*>(QApplication::activeModalWidget());
      if (coverage == nullptr) return;
      QTimer::singleShot(0, coverage, [&] {
        auto* files = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (files == nullptr) return;
        opened = files->directory().absolutePath();
        if (step.save_to.empty()) return files->reject();
        files->selectFile(QtPath(step.save_to));
        QMetaObject::invokeMethod(files, "accept");  // as the Save button does
      });
      coverage->SaveButton()->click();
      coverage->reject();
    });
    entry->trigger();
    // The chooser names folders with '/', on Windows too.
    EXPECT_EQ(opened.toStdString(),
              QDir::fromNativeSeparators(QtPath(step.opened_in)).toStdString());
  }
  EXPECT_TRUE(std::filesystem::exists(pictures / "a.svg"));
}

// The three windows an operator looks at, in the look this run was given
// (default, a dark palette, a scale factor of 2): each inside the screen,
// on a dark palette every command caption readable on its face, pictures
// kept to look at.
TEST_P(CoverageDialogTest, EveryWindowFitsTheScreenAndReadsInThisLook) {
  Fill();
  const auto fits = [](QWidget& window) {
    QTest::qWait(50);  // the window manager's frame, where there is one
    const QRect screen = window.screen()->availableGeometry();
    EXPECT_LE(window.frameGeometry().width(), screen.width()) << window.windowTitle().toStdString();
    EXPECT_LE(window.frameGeometry().height(), screen.height())
        << window.windowTitle().toStdString();
  };
  auto d = OpenOn({"KIR", "KIROV", "KUDA"});
  d->StationList()->setCurrentRow(1);
  ASSERT_TRUE(QTest::qWaitForWindowExposed(d.get()));
  fits(*d);
  // The light palette keeps the window's own navy-on-grey captions.
  const bool dark = qgetenv("KORVEL_TEST_LOOK") == "dark";
  for (CHoverButton* button : d->findChildren<CHoverButton*>()) {
    if (button->text().isEmpty() || !dark) continue;
    EXPECT_GE(ContrastRatio(button->GetNormalTextColor(), button->GetNormalBackColor()), 4.5)
        << button->text().toStdString();
    EXPECT_GE(ContrastRatio(button->GetHotTextColor(), button->GetHotBackColor()), 4.5)
        << button->text().toStdString();
  }
  EXPECT_FALSE(test::SaveScreenshot(*d, QStringLiteral("look-main-dialog")).isEmpty());

  const std::filesystem::path raw = sandbox.path() / "raw" / "kir.raw";
  test::RawFileBuilder()
      .Station("KIR")
      .Channels({"Z", "N-S"})
      .Frames(20000)
      .Samples([](int channel, std::int64_t k) {
        return static_cast<std::int32_t>((k % 4000 - 2000) * (channel + 1) * 5);
      })
      .WriteTo(raw);
  OpenFileDlg files(d.get(), PathText(raw.parent_path()));
  files.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&files));
  // The dialog lists its folder in the background: the file is clicked once it is there.
  auto* view = files.findChild<QAbstractItemView*>(QStringLiteral("listView"));
  auto* model = qobject_cast<QFileSystemModel*>(view->model());
  const QString name = QDir::fromNativeSeparators(QtPath(raw));
  ASSERT_TRUE(QTest::qWaitFor([&] { return model->index(name).isValid(); }, 5000));
  view->selectionModel()->select(model->index(name),
                                 QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  ASSERT_TRUE(files.WaitForPreview());
  EXPECT_EQ(files.SummaryList()->topLevelItemCount(), 2);
  EXPECT_FALSE(files.Waveform()->Envelope().empty());
  fits(files);
  EXPECT_FALSE(test::SaveScreenshot(files, QStringLiteral("look-file-dialog")).isEmpty());
  files.reject();

  CCoverageDialog coverage(*d->CoverageOfSelection(), d.get());
  coverage.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&coverage));
  fits(coverage);
  // The chart's paper and words follow the look: white paper on the light
  // one, the palette's own on the dark one, the words readable on it either
  // way; the saved picture stays on white.
  CCoverageChartView* chart = coverage.findChild<CCoverageChartView*>();
  ASSERT_NE(chart, nullptr);
  const QColor paper = chart->Ink(ChartInk::kPaper);
  EXPECT_EQ(paper, dark ? chart->palette().color(QPalette::Base) : QColor(Qt::white));
  EXPECT_GE(ContrastRatio(chart->Ink(ChartInk::kText), paper), 4.5);
  EXPECT_NE(CoverageChartSvg(chart->Chart()).find("fill=\"#FFFFFF\""), std::string::npos);
  EXPECT_FALSE(test::SaveScreenshot(coverage, QStringLiteral("look-coverage-dialog")).isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Drivers, CoverageDialogTest, ::testing::ValuesIn(test::TestDsns()),
                         [](const auto& info) { return info.param; });
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(CoverageDialogTest);

}  // namespace
}  // namespace korvel
