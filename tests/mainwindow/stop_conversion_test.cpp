// A conversion in the window stopped by the operator: Escape or the close box
// asks "Прервать конверсию?", "Да" stops it at the raw file in hand with every
// file on disk and its row in agreement, "Нет" lets it finish. The operator's
// other input meanwhile is dropped.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QMessageBox>
#include <QTimer>
#include <QWindow>
#include <algorithm>
#include <cmath>
#include <filesystem>
#include <map>

#include "database/catalogue_rows.h"
#include "tests/mainwindow/main_dialog_fixture.h"
#include "tests/support/raw_file_builder.h"

namespace korvel {
namespace {

using test::TestDialog;

constexpr int kRawFiles = 30;

// "Прервать конверсию?" as the window shows it, while its conversion goes on.
QMessageBox* StopQuestion(const QWidget& window) {
  for (QMessageBox* box : window.findChildren<QMessageBox*>())
    if (box->isVisible() && box->text() == QStringLiteral("Прервать конверсию?")) return box;
  return nullptr;
}

class StopConversionTest : public test::MainDialogFixture {
 protected:
  void SetUp() override {
    MainDialogFixture::SetUp();
    if (IsSkipped()) return;
    // A minute a file, two channels, within the saved window.
    const auto raw = sandbox.path() / "raw";
    for (int i = 0; i < kRawFiles; ++i)
      test::RawFileBuilder()
          .Station("KIR")
          .Date(1, 3, 7)
          .TimeOfDay(i * 60.0)
          .Channels({"Z", "N-S"})
          .Frames(6000)
          .WriteTo(raw / ("f" + std::to_string(100 + i) + ".raw"));
    sandbox.WriteProgramIni(
        "[SYSTEM]\nNSTA=1\nTIME=00:00:00 01/03/2007\nTIMEQTY=23:00:00\n[STA0]\nNAME=KIR\n[KIR]\n"
        "DIR=" +
        raw.string() + "\n");
  }
  // Every file below the output root has its row, every row its file, and
  // each file holds the 512 + 4 x TQTY x SPS bytes its row says.
  void ExpectFilesAgreeWithRows() {
    // Rows and the tree compared with one separator, as Windows names either.
    const auto generic = [](std::string path) {
      std::replace(path.begin(), path.end(), '\\', '/');
      return path;
    };
    std::map<std::string, FileListRow> rows;
    for (FileListRow& row : ReadStationFileRows(db, "KIR")) rows[generic(row.cpath)] = row;
    const std::map<std::string, std::string> files = test::ReadTree(out);
    for (const auto& [native_rel, bytes] : files) {
      const std::string rel = generic(native_rel);
      const auto row = rows.find(rel);
      if (row == rows.end()) {
        ADD_FAILURE() << rel << " is on disk without a row";
        continue;
      }
      const auto samples =
          static_cast<std::size_t>(std::llround(*row->second.tqty * *row->second.sps));
      EXPECT_EQ(bytes.size(), 512 + 4 * samples) << rel;
    }
    EXPECT_EQ(files.size(), rows.size()) << "a row names a file that is not on disk";
    EXPECT_FALSE(rows.empty());
  }
};

TEST_P(StopConversionTest, EscapeOrTheCloseBoxAsksAndYesStopsWithFilesAndRowsInAgreement) {
  const struct {
    const char* name;
    bool close_box;  // else Escape
    const char* answer;
    bool stops;
  } cases[] = {
      {"Escape, Да", false, "Да", true},
      {"the close box, Да", true, "Да", true},
      {"Escape, Нет", false, "Нет", false},
      {"the close box, Нет", true, "Нет", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    db.ExecuteSQL("DELETE FROM FILELIST");
    std::filesystem::remove_all(out);
    std::filesystem::create_directories(out);
    notifier.messages.clear();
    CFileList fresh_catalogue{db, notifier};
    OutputWriter fresh_writer{fresh_catalogue, file_errors};
    auto d = std::make_unique<TestDialog>(db, fresh_writer, notifier, "KIR");
    d->show();
    d->TickAllChannels();
    // As the window system delivers them: to the window, through the event
    // queue. The question comes while the work goes on, and is answered
    // at the next file.
    int asked = 0;
    QString title;
    QStringList buttons;
    std::size_t examined_at_answer = 0;
    d->on_examine = [&](std::size_t position) {
      if (QMessageBox* box = StopQuestion(*d)) {
        ++asked;
        title = box->windowTitle();
        for (QAbstractButton* b : box->buttons()) buttons << b->text();
        buttons.sort();
        EXPECT_EQ(test::CursorNow(), Qt::ArrowCursor);  // the box can be answered
        examined_at_answer = position;
        for (QAbstractButton* b : box->buttons())
          if (b->text() == QString::fromUtf8(c.answer)) b->click();
      }
      if (position != 3) return;
      if (c.close_box)
        QCoreApplication::postEvent(d->windowHandle(), new QCloseEvent);
      else
        QCoreApplication::postEvent(d->windowHandle(),
                                    new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, {}));
    };
    QTest::mouseClick(d->Button(kIdConvert), Qt::LeftButton);

    EXPECT_EQ(asked, 1);
    EXPECT_EQ(title, "KORVEL->TQF");
    EXPECT_EQ(buttons, (QStringList{"Да", "Нет"}));
    ASSERT_FALSE(notifier.messages.empty());
    if (c.stops) {
      // Seen in the raw file in hand, which is settled but not counted: no other begins.
      EXPECT_EQ(d->examined.size(), examined_at_answer);
      EXPECT_EQ(d->converted.size(), examined_at_answer - 1);
      EXPECT_EQ(notifier.messages.back().text, "Конверсия прервана, конвертировано " +
                                                   std::to_string(d->converted.size()) + " файлов");
    } else {
      EXPECT_EQ(d->examined.size(), static_cast<std::size_t>(kRawFiles));
      EXPECT_EQ(notifier.messages.back().text,
                "Успешно завершена конверсия " + std::to_string(kRawFiles) + " файлов");
    }
    EXPECT_EQ(StopQuestion(*d), nullptr);
    EXPECT_EQ(d->isVisible(), !(c.stops && c.close_box));
    ExpectFilesAgreeWithRows();
    for (std::size_t i = 0; i < d->examined.size(); ++i) {
      EXPECT_TRUE(d->examined[i].status.ends_with("  Esc — Стоп")) << d->examined[i].status;
      // The arrow while the question is on show.
      EXPECT_EQ(d->examined[i].cursor,
                i + 1 == examined_at_answer ? Qt::ArrowCursor : Qt::WaitCursor);
    }
    EXPECT_EQ(d->StatusLine()->text(), "");
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_TRUE(d->Button(kIdConvert)->isEnabled());
  }
}

// Keys, clicks and shortcuts given to the window while it converts are
// dropped: not acted on midway, nor after the command.
TEST_P(StopConversionTest, OtherInputDuringAConversionIsDropped) {
  auto d = Open("KIR");
  d->TickAllChannels();
  const auto rows = Rows(*d);
  QWidget* channels = d->ChannelList()->viewport();
  const QPoint first_tick(
      8, d->ChannelList()->visualItemRect(d->ChannelList()->topLevelItem(0)).center().y());
  d->on_examine = [&](std::size_t position) {
    if (position != 2) return;
    QWindow* window = d->windowHandle();
    for (Qt::Key key : {Qt::Key_F1, Qt::Key_Space, Qt::Key_Return}) {
      QCoreApplication::postEvent(window, new QKeyEvent(QEvent::KeyPress, key, {}));
      QCoreApplication::postEvent(window, new QKeyEvent(QEvent::KeyRelease, key, {}));
    }
    const QPointF at = channels->mapTo(d.get(), first_tick);
    for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease})
      QCoreApplication::postEvent(
          window,
          new QMouseEvent(type, at, d->mapToGlobal(at), Qt::LeftButton,
                          type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton, {}));
  };
  bool modal_seen = false;
  QTimer watch;
  QObject::connect(&watch, &QTimer::timeout, [&] {
    modal_seen = modal_seen || QApplication::activeModalWidget() != nullptr;
  });
  watch.start(5);
  QTest::mouseClick(d->Button(kIdConvert), Qt::LeftButton);
  QCoreApplication::processEvents();
  EXPECT_FALSE(modal_seen);   // no About box, no second conversion's boxes
  EXPECT_EQ(Rows(*d), rows);  // no tick changed
  EXPECT_EQ(d->examined.size(), static_cast<std::size_t>(kRawFiles));  // one conversion
  EXPECT_EQ(notifier.messages.back().text,
            "Успешно завершена конверсия " + std::to_string(kRawFiles) + " файлов");
}

INSTANTIATE_TEST_SUITE_P(Drivers, StopConversionTest, ::testing::ValuesIn(test::TestDsns()),
                         [](const auto& info) { return info.param; });
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(StopConversionTest);

}  // namespace
}  // namespace korvel
