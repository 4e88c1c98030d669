// The main window on a real data source: stations from korvel2tqf.ini,
// channels from SITECHAN, ticks by mouse, the commands and their messages.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QAction>
#include <QContextMenuEvent>
#include <QDialogButtonBox>
#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <QtMath>
#include <filesystem>
#include <functional>
#include <set>

#include "controls/check_list_painter.h"
#include "controls/date_time_edit.h"
#include "controls/dialog_units.h"
#include "controls/hover_button.h"
#include "controls/mask_edit.h"
#include "controls/multi_select_list_box.h"
#include "controls/qt_path.h"
#include "database/database.h"
#include "database/file_list.h"
#include "database/statement.h"
#include "korvel_version.h"
#include "mainwindow/about_dialog.h"
#include "mainwindow/control_ids.h"
#include "mainwindow/main_dialog.h"
#include "platform/profile.h"
#include "tests/mainwindow/main_dialog_fixture.h"
#include "tests/qt_support/screenshot.h"
#include "tests/support/databases/live_database.h"
#include "tests/support/raw_file_builder.h"
#include "tests/support/recording_notifier.h"
#include "tests/support/temp_dir.h"

namespace korvel {
namespace {

using test::Moment;
using test::TestDialog;

class MainDialogTest : public test::MainDialogFixture {};

TEST_P(MainDialogTest, OpensWithItsControlsStationsAndSavedWindow) {
  auto d = Open();
  EXPECT_EQ(d->windowTitle(), "KORVEL2TQF");
  const DialogBaseUnits units = BaseUnitsOf(d->font());
  EXPECT_EQ(d->Button(kIdConvert)->geometry(), DialogRect(units, 261, 18, 84, 20));
  EXPECT_EQ(d->Button(kIdExit)->text(), "В&ыход");  // Alt+Ы
  EXPECT_TRUE(d->Button(kIdConvert)->isDefault());
  EXPECT_EQ(d->StationList()->geometry(), DialogRect(units, 12, 17, 61, 113));
  ASSERT_EQ(d->StationList()->count(), 3);
  EXPECT_EQ(d->StationList()->item(0)->text(), "KIR");  // sorted
  EXPECT_EQ(d->StationList()->item(2)->text(), "KUDA");
  EXPECT_EQ(d->StartEdit()->text(), "01:02:03 04/05/2006");
  EXPECT_EQ(d->ChannelList()->headerItem()->text(2), "Отс./с.");
  EXPECT_TRUE(Rows(*d).empty());  // nothing preselected
  EXPECT_TRUE(d->ScanSubdirectories() == false);
  // The About entry (F1 and the background's context menu), the coverage
  // beside it, and the miniSEED export where it is built.
#ifdef KORVEL_WITH_SEED
  ASSERT_EQ(d->actions().size(), 3);
  EXPECT_EQ(d->actions()[2]->text(), "&Экспорт в miniSEED (SDS)...");
#else
  ASSERT_EQ(d->actions().size(), 2);
#endif
  EXPECT_EQ(d->actions()[0]->text(), "&О Korvel2tqf...");
  EXPECT_EQ(d->actions()[0]->shortcut(), QKeySequence(Qt::Key_F1));
  EXPECT_EQ(d->actions()[1]->text(), "&Покрытие данных...");
  EXPECT_TRUE(d->actions()[1]->shortcut().isEmpty());
  EXPECT_FALSE(writer.ContinuesAcrossRuns());  // korvel2tqf.ini has no CONTINUE=1
  EXPECT_EQ(d->windowIcon().availableSizes(), (QList<QSize>{{48, 48}, {32, 32}, {16, 16}}));
}

TEST_P(MainDialogTest, CONTINUEInTheIniLetsOutputContinueEarlierRuns) {
  sandbox.WriteProgramIni("[SYSTEM]\nNSTA=1\nCONTINUE=1\n[STA0]\nNAME=KIR\n");
  auto d = Open();
  EXPECT_TRUE(writer.ContinuesAcrossRuns());
}

TEST_P(MainDialogTest, TheInitialStationIsSoughtFromTheSecondEntry) {
  auto d = Open("kir");
  EXPECT_EQ(d->CurrentStation(), "KIROV");
  EXPECT_TRUE(d->StationList()->item(1)->isSelected());
  EXPECT_EQ(Rows(*d), (std::vector<std::string>{"KIROV/z/20.000/1", "KIROV/E-W/20.000/2"}));
}

TEST_P(MainDialogTest, StationsBringTheirChannelsWithTheirInitialTicks) {
  auto d = Open();
  CMultiSelectListBox* stations = d->StationList();
  const QRect kir = stations->visualItemRect(stations->item(0));
  QTest::mouseClick(stations->viewport(), Qt::LeftButton, {}, kir.center());
  EXPECT_EQ(Rows(*d), (std::vector<std::string>{"KIR/Z/100.000/2", "KIR/SH Z/100.000/1",
                                                "KIR/N-S/100.000/2"}));
  const QRect kirov = stations->visualItemRect(stations->item(1));
  QTest::mouseClick(stations->viewport(), Qt::LeftButton, {}, kirov.center());
  EXPECT_EQ(Rows(*d).size(), 5u);
  // Deselecting KIR removes its rows only, not those of KIROV.
  QTest::mouseClick(stations->viewport(), Qt::LeftButton, {}, kir.center());
  EXPECT_EQ(Rows(*d), (std::vector<std::string>{"KIROV/z/20.000/1", "KIROV/E-W/20.000/2"}));
}

TEST_P(MainDialogTest, ClicksOnTheCheckImageToggleAndNowhereElse) {
  auto d = Open("KIR");  // preselects KIROV (searched from the second entry)
  const auto kirov = Rows(*d);
  ASSERT_EQ(kirov.size(), 2u);
  QTest::mouseClick(d->ChannelList()->viewport(), Qt::LeftButton, {},
                    QPoint(8, d->ChannelList()->viewport()->height() - 2));
  EXPECT_EQ(Rows(*d), kirov);  // below the last row: nothing
  d->SelectAllStations();
  ASSERT_EQ(Rows(*d).size(), 6u);
  QTreeWidget* list = d->ChannelList();
  list->setCurrentItem(list->topLevelItem(2));
  ClickRow(*d, 0, 8);                    // KIR Z, ticked -> unticked
  ClickRow(*d, 1, 15, Qt::RightButton);  // SH Z, unticked -> ticked, the image's last column
  EXPECT_EQ(list->currentItem(), list->topLevelItem(0));  // the list's own handling of a left click
  ClickRow(*d, 2, 60);                                    // right of the image: nothing
  ClickRow(*d, 2, 16);                                    // just right of it: nothing
  // The right button ticks and does nothing more: the current row stays.
  ClickRow(*d, 3, 4, Qt::RightButton);  // KIROV z, unticked -> ticked
  EXPECT_EQ(list->currentItem(), list->topLevelItem(2));
  // The zone moves with the image when the list is scrolled sideways.
  list->setColumnWidth(2, 3 * list->viewport()->width());
  QCoreApplication::processEvents();  // the scroll bar takes the new width
  list->horizontalScrollBar()->setValue(10);
  ASSERT_EQ(list->header()->offset(), 10);
  ClickRow(*d, 4, 8);  // the image now ends at 6: nothing
  ClickRow(*d, 4, 5);  // KIROV E-W, ticked -> unticked
  list->horizontalScrollBar()->setValue(0);
  const auto rows = Rows(*d);
  EXPECT_EQ(rows[0], "KIR/Z/100.000/1");
  EXPECT_EQ(rows[1], "KIR/SH Z/100.000/2");
  EXPECT_EQ(rows[2], "KIR/N-S/100.000/2");
  EXPECT_EQ(rows[3], "KIROV/z/20.000/2");
  EXPECT_EQ(rows[4], "KIROV/E-W/20.000/1");

  ASSERT_TRUE(d->CollectTickedChannels());
  ASSERT_EQ(d->Selection().size(), 3u);
  EXPECT_EQ(d->Selection()[0].station, "KIR");
  EXPECT_EQ(d->Selection()[0].channel, "SH Z");
  EXPECT_EQ(d->Selection()[2].station, "KIROV");

  d->UntickAllChannels();
  EXPECT_FALSE(d->CollectTickedChannels());
  d->TickAllChannels();
  EXPECT_TRUE(d->CollectTickedChannels());
  EXPECT_EQ(d->Selection().size(), 6u);
  d->SelectAllStations();  // back to the initial ticks
  EXPECT_EQ(Rows(*d)[1], "KIR/SH Z/100.000/1");
  d->DeselectAllStations();
  EXPECT_TRUE(Rows(*d).empty());
}

TEST_P(MainDialogTest, ConvertsTheSelectedStationsOverTheWindow) {
  test::RawFileBuilder()
      .Station("KIR")
      .Date(4, 5, 6)
      .TimeOfDay(3723.0)
      .Channels({"Z", "SH Z"})
      .Frames(100)
      .WriteTo(sandbox.path() / "raw" / "a.raw");
  auto d = Open();
  d->ConvertSelectedStationsCommand();  // nothing selected, nothing ticked
  ASSERT_EQ(notifier.messages.size(), 1u);
  EXPECT_EQ(notifier.messages[0].text, "Не выбрана станция/каналы !!!");
  EXPECT_EQ(notifier.beeps, 1);

  d->StationList()->item(0)->setSelected(true);
  d->StationList()->setCurrentRow(0, QItemSelectionModel::NoUpdate);
  d->SelectAllStations();
  d->StationList()->item(1)->setSelected(false);
  d->StationList()->item(2)->setSelected(false);
  notifier.messages.clear();
  QTest::mouseClick(d->Button(kIdConvert), Qt::LeftButton);
  ASSERT_FALSE(notifier.messages.empty());
  EXPECT_EQ(notifier.messages.back().text, "Успешно завершена конверсия 1 файлов");
  EXPECT_EQ(notifier.messages.back().caption, "KORVEL->TQF");
  EXPECT_TRUE(std::filesystem::exists(out + "/KIR/01/04052006-010203-Z.KIR"));
  EXPECT_FALSE(std::filesystem::exists(out + "/KIR/01/04052006-010203-SH%20Z.KIR"));
  EXPECT_TRUE(d->Button(kIdConvert)->isEnabled());
  EXPECT_EQ(d->StatusLine()->text(), "");

  // The chosen files and the chosen folder, whole.
  d->files = {(sandbox.path() / "raw" / "a.raw").string()};
  notifier.messages.clear();
  d->ConvertChosenFilesCommand();
  EXPECT_EQ(notifier.messages.back().text, "Успешно завершена конверсия 1 файлов");
  d->folder = out;
  d->ConvertChosenDirectoryCommand();
  EXPECT_EQ(notifier.messages.back().text.rfind("Ошибка конверсии !!!\n В каталоге: " + out, 0),
            0u);
}

TEST_P(MainDialogTest, ClosingSavesTheTimeWindowAsShown) {
  {
    auto d = Open();
    d->LengthEdit()->setText("00:10:00");
    d->close();
  }
  EXPECT_EQ(GetProfileString("SYSTEM", "TIME", "", 32, "korvel2tqf.ini"), "01:02:03 04/05/2006");
  EXPECT_EQ(GetProfileString("SYSTEM", "TIMEQTY", "", 32, "korvel2tqf.ini"), "00:10:00");

#ifndef _WIN32  // links and modes as POSIX has them
  // A shared korvel2tqf.ini behind a link, with a byte-order mark, a line
  // outside code page 1251 and mode 0640: only the two lines change.
  const auto real = sandbox.path() / "raw" / "shared.ini";
  const std::string before =
      "\xEF\xBB\xBF; \xE6\x97\xA5\xE6\x9C\xAC\n[SYSTEM]\nNSTA=1\nTIME=1:2:3 4/5/2006\n"
      "TIMEQTY=00:30:00\n[STA0]\nNAME=KIR\n";
  test::WriteFileBytes(real, before);
  ASSERT_EQ(::chmod(real.c_str(), 0640), 0);
  std::filesystem::remove(sandbox.path() / "korvel2tqf.ini");
  std::filesystem::create_symlink(real, sandbox.path() / "korvel2tqf.ini");
  Open()->close();
  EXPECT_TRUE(std::filesystem::is_symlink(sandbox.path() / "korvel2tqf.ini"));
  std::string after = before;
  after.replace(after.find("TIME=1:2:3 4/5/2006"), 19, "TIME=01:02:03 04/05/2006");
  EXPECT_EQ(test::ReadFileBytes(real), after);
  EXPECT_EQ(std::filesystem::status(real).permissions(), std::filesystem::perms::owner_read |
                                                             std::filesystem::perms::owner_write |
                                                             std::filesystem::perms::group_read);
#endif
}

// Without korvel2tqf.ini the window says so once, naming the file it looked
// for, and closing it writes no file of the time alone; with the file, the
// time is kept as ever.
TEST_P(MainDialogTest, WithoutKorvel2tqfIniTheWindowSaysSoAndClosingWritesNoFile) {
  const std::filesystem::path ini = sandbox.path() / "korvel2tqf.ini";
  for (const bool present : {false, true}) {
    SCOPED_TRACE(present ? "present" : "absent");
    if (!present) std::filesystem::remove(ini);
    notifier.messages.clear();
    {
      auto d = Open();
      QCoreApplication::processEvents();  // the window is up
      QCoreApplication::processEvents();
      d->close();
    }
    EXPECT_EQ(std::filesystem::exists(ini), present);
    if (present) {
      EXPECT_TRUE(notifier.messages.empty()) << notifier.messages.front().text;
      EXPECT_EQ(GetProfileString("SYSTEM", "TIME", "", 32, "korvel2tqf.ini"),
                "01:02:03 04/05/2006");
      continue;
    }
    ASSERT_EQ(notifier.messages.size(), 1u);
    EXPECT_EQ(notifier.messages[0].caption, "KORVEL->TQF");
    EXPECT_EQ(notifier.messages[0].icon, MessageIcon::Warning);
    const std::string& text = notifier.messages[0].text;
    EXPECT_EQ(text.rfind("Нет файла настройки " + ini.string() + ".\n", 0), 0u) << text;
    EXPECT_NE(text.find("«Your own data», шаг 5"), std::string::npos) << text;
    sandbox.WriteProgramIni("[SYSTEM]\nTIME=1:2:3 4/5/2006\n");
  }
}

TEST_P(MainDialogTest, EightHoverButtonsWithTheirTipsIconsAndColours) {
  auto d = Open();
  const std::vector<std::pair<int, QString>> expected = {
      {kIdSelectAllStations, "Выбрать все станции"},
      {kIdDeselectAllStations, "Отменить выбор"},
      {kIdExit, "Завершить работу программы"},
      {kIdConvert, "Конвертировать"},
      {kIdConvertFiles, "Конвертировать файл(ы) ..."},
      {kIdConvertDirectory, "Конвертировать каталог(и) ..."},
      {kIdUntickAllChannels, "Отменить выбор"},
      {kIdTickAllChannels, "Выбрать все каналы"}};
  ASSERT_EQ(d->HoverButtons().size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    CHoverButton* b = d->HoverButtons()[i];
    EXPECT_EQ(b->objectName(), QString::number(expected[i].first));
    EXPECT_EQ(b, d->Button(expected[i].first));  // the hover button replaced the plain one
    EXPECT_EQ(b->toolTip(), expected[i].second);
    EXPECT_TRUE(b->IsFlatStyle());
    EXPECT_TRUE(b->HasHoverCursor());
    EXPECT_FALSE(b->HotIcon().isNull());
    EXPECT_EQ(b->GetHotBackColor(),
              HotFace(b->GetNormalBackColor(), b->palette().color(QPalette::Light)));
    EXPECT_EQ(b->GetHotTextColor(), QColor(255, 0, 0));
    EXPECT_EQ(b->GetNormalTextColor(), QColor(0, 0, 128));
  }
  // Buttons sharing an icon share its image; the others differ.
  EXPECT_EQ(d->HoverButtons()[1]->HotIcon().toImage(), d->HoverButtons()[6]->HotIcon().toImage());
  EXPECT_NE(d->HoverButtons()[2]->HotIcon().toImage(), d->HoverButtons()[3]->HotIcon().toImage());
  EXPECT_TRUE(d->Button(kIdConvert)->isDefault());
  EXPECT_TRUE(static_cast<CHoverButton*>(d->Button(kIdConvert))->IsDefaultButton());

  // The plain buttons' clicks now come from the hover buttons.
  QTest::mouseClick(d->Button(kIdSelectAllStations), Qt::LeftButton);
  EXPECT_EQ(Rows(*d).size(), 6u);
  QTest::mouseClick(d->Button(kIdUntickAllChannels), Qt::LeftButton);
  EXPECT_FALSE(d->CollectTickedChannels());
  QTest::mouseClick(d->Button(kIdTickAllChannels), Qt::LeftButton);
  EXPECT_EQ((d->CollectTickedChannels(), d->Selection().size()), 6u);
  QTest::mouseClick(d->Button(kIdDeselectAllStations), Qt::LeftButton);
  EXPECT_TRUE(Rows(*d).empty());
  EXPECT_TRUE(d->StationList()->selectedItems().empty());
  QTest::mouseClick(d->Button(kIdExit), Qt::LeftButton);
  EXPECT_FALSE(d->isVisible());
  EXPECT_EQ(GetProfileString("SYSTEM", "TIMEQTY", "", 32, "korvel2tqf.ini"), "99:99:99");
}

TEST_P(MainDialogTest, StationNamesTimeTextAndPreselectionEdgeCases) {
  // NSTA counts entries, not names: STA1 missing, STA3 beyond the count.
  sandbox.WriteProgramIni(
      "[SYSTEM]\nNSTA=3\nTIME=12:00:00\n[STA0]\nNAME=KIR\n[STA2]\nNAME=BAR\n[STA3]\nNAME=KUDA\n");
  {
    auto d = Open("kir");
    ASSERT_EQ(d->StationList()->count(), 2);
    EXPECT_EQ(d->StationList()->item(0)->text(), "BAR");
    EXPECT_EQ(d->CurrentStation(), "KIR");  // BAR, KIR: found at the second entry
    EXPECT_EQ(Rows(*d).size(), 3u);
    EXPECT_EQ(d->StartEdit()->text(), "12:00:00 01/01/2000");
    EXPECT_EQ(d->LengthEdit()->text(), "00:30:00");
    EXPECT_TRUE(notifier.messages.empty());
  }
  {
    auto d = Open("XYZ");  // not found: the first entry is current, nothing selected
    EXPECT_EQ(d->CurrentStation(), "BAR");
    EXPECT_TRUE(d->StationList()->selectedItems().empty());
    EXPECT_TRUE(Rows(*d).empty());
  }
  sandbox.WriteProgramIni("[SYSTEM]\nNSTA=1\nTIMEQTY=99:99:99\n[STA0]\nNAME=KUDA\n");
  auto d = Open();
  EXPECT_EQ(d->StartEdit()->text(), "00:00:00 01/01/2007");
  EXPECT_EQ(d->LengthEdit()->text(), "99:99:99");  // shown as read
  EpochSeconds start = 0;
  double length = 0;
  d->ReadTimeWindow(start, length);
  EXPECT_EQ(length, 362439.0);
  EXPECT_EQ(start, ToEpochSeconds(2007, 1, 1, 0, 0, 0.0f));
}

TEST_P(MainDialogTest, AnInvalidStartTimeIsReportedOncePerStationAdded) {
  sandbox.WriteProgramIni(
      "[SYSTEM]\nNSTA=2\nTIME=25:00:00 01/01/2006\n[STA0]\nNAME=KIR\n[STA1]\nNAME=KUDA\n");
  auto d = Open();
  EXPECT_TRUE(notifier.messages.empty());
  d->SelectAllStations();
  ASSERT_EQ(notifier.messages.size(), 2u);
  EXPECT_EQ(notifier.messages[0].text, "Введено ошибочное время");
  EXPECT_EQ(notifier.messages[0].caption, "Ошибка");
  EXPECT_EQ(Rows(*d).size(), 4u);  // the rows stay
  notifier.messages.clear();
  QTest::mouseClick(d->Button(kIdConvert), Qt::LeftButton);
  ASSERT_EQ(notifier.messages.size(), 1u);
  EXPECT_EQ(notifier.messages[0].text, "Введено ошибочное время");
  EXPECT_EQ(d->focusWidget(), d->StartEdit());
  d->close();  // not saved: the line keeps what it held
  EXPECT_EQ(GetProfileString("SYSTEM", "TIME", "", 32, "korvel2tqf.ini"), "25:00:00 01/01/2006");
}

// A conversion that found nothing keeps the description's box and says on
// the status line why, naming the folder it looked in.
TEST_P(MainDialogTest, NothingFoundIsSaidOnTheStatusLineWithTheFolder) {
  const std::string raw = (sandbox.path() / "raw").string() + "/";
  const std::string folder = raw + " (korvel2tqf.ini [KIR] DIR=)";
  const struct {
    bool outside_the_window;  // a raw file of KIR the day after
    std::string status;
  } cases[] = {
      {false, "Станция KIR: каталог " + folder + " пуст"},
      {true, "Станция KIR: в каталоге " + folder +
                 " нет файлов за интервал 01:02:03 04/05/2006 + 01:00:00 (файлов станции вне "
                 "интервала: 1)"},
  };
  sandbox.WriteProgramIni(
      "[SYSTEM]\nNSTA=1\nTIME=01:02:03 04/05/2006\nTIMEQTY=01:00:00\n[STA0]\n"
      "NAME=KIR\n[KIR]\nDIR=" +
      raw + "\n");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.status);
    if (c.outside_the_window)
      test::RawFileBuilder().Station("KIR").Date(5, 5, 6).Channels({"Z"}).Frames(100).WriteTo(
          raw + "a.raw");
    auto d = Open();
    d->StationList()->item(0)->setSelected(true);
    d->StationList()->setCurrentRow(0, QItemSelectionModel::NoUpdate);
    notifier.messages.clear();
    QTest::mouseClick(d->Button(kIdConvert), Qt::LeftButton);
    ASSERT_FALSE(notifier.messages.empty());
    EXPECT_EQ(notifier.messages.back().text,
              "В каталогах файла настройки нет файлов для выбраных станций!!!");
    EXPECT_EQ(d->StatusLine()->text().toStdString(), c.status);
  }
}

// A saved time that is no time is shown as the window reads it, and said
// once on the status line; nothing pops up until a command needs it.
TEST_P(MainDialogTest, ASavedTimeThatIsNoTimeIsSaidOnTheStatusLine) {
  const struct {
    const char* saved;
    const char* start;
    const char* length;
    const char* status;
  } cases[] = {
      {"TIME=abc\nTIMEQTY=1h\n", "00:00:00 01/01/2000", "1h",
       "Ошибочное время в korvel2tqf.ini: TIME=abc, TIMEQTY=1h"},
      {"TIME=00:00:00 31/02/2007\nTIMEQTY=00:30:00\n", "00:00:00 31/02/2007", "00:30:00",
       "Ошибочное время в korvel2tqf.ini: TIME=00:00:00 31/02/2007"},
      {"TIME=00:00:00 01/03/2007\nTIMEQTY=99:99:99\n", "00:00:00 01/03/2007", "99:99:99", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.saved);
    sandbox.WriteProgramIni(std::string("[SYSTEM]\nNSTA=1\n") + c.saved + "[STA0]\nNAME=KIR\n");
    notifier.messages.clear();
    auto d = Open();
    EXPECT_EQ(d->StartEdit()->text(), c.start);
    EXPECT_EQ(d->LengthEdit()->text(), c.length);
    EXPECT_EQ(d->StatusLine()->text(), c.status);
    EXPECT_TRUE(notifier.messages.empty());
  }
}

// A start that is no date, or a length that the masked edit's ":" made into
// no length (it would read as 0, every time), is refused as typed, before
// anything is converted; the edit that holds it gets the focus.
TEST_P(MainDialogTest, ATypedTimeThatIsNoTimeConvertsNothing) {
  test::RawFileBuilder()
      .Station("KIR")
      .Date(4, 5, 6)
      .TimeOfDay(3723.0)
      .Channels({"Z"})
      .Frames(100)
      .WriteTo(sandbox.path() / "raw" / "a.raw");
  const struct {
    bool start;        // typed into the start edit, else into the length edit
    const char* keys;  // from the first position
    const char* shown;
  } cases[] = {
      {true, "00000031022007", "00:00:00 31/02/2007"},
      {true, "00000029022007", "00:00:00 29/02/2007"},
      {false, ":", ":9:99:99"},
      {false, "00:", "00::9:99"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.keys);
    auto d = Open();
    d->StationList()->item(0)->setSelected(true);  // KIR
    QLineEdit* edit = c.start ? static_cast<QLineEdit*>(d->StartEdit()) : d->LengthEdit();
    edit->setFocus();
    QTest::keyClick(edit, Qt::Key_Home);
    QTest::keyClicks(edit, c.keys);
    ASSERT_EQ(edit->text(), c.shown);
    notifier.messages.clear();
    QTest::mouseClick(d->Button(kIdConvert), Qt::LeftButton);
    ASSERT_EQ(notifier.messages.size(), 1u);
    EXPECT_EQ(notifier.messages[0].text, "Введено ошибочное время");
    EXPECT_EQ(notifier.messages[0].caption, "Ошибка");
    EXPECT_EQ(notifier.messages[0].icon, MessageIcon::Error);
    EXPECT_EQ(d->focusWidget(), edit);
    EXPECT_TRUE(std::filesystem::is_empty(out));
  }
}

// Closing saves a time the window takes; one it refuses leaves the saved
// line as it was, so that the next start opens without error boxes.
TEST_P(MainDialogTest, ClosingSavesOnlyATimeTheWindowTakes) {
  const struct {
    bool start;        // typed into the start edit, else into the length edit
    const char* keys;  // from the first position
    const char* time;  // saved after closing
    const char* length;
  } cases[] = {
      {true, "00000031022007", "1:2:3 4/5/2006", "99:99:99"},
      {true, "00000029022008", "00:00:00 29/02/2008", "99:99:99"},
      {false, ":", "01:02:03 04/05/2006", "99:99:99"},
      {false, "001000", "01:02:03 04/05/2006", "00:10:00"},
  };
  const std::string ini = test::ReadFileBytes(sandbox.path() / "korvel2tqf.ini");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.keys);
    test::WriteFileBytes(sandbox.path() / "korvel2tqf.ini", ini);
    {
      auto d = Open();
      QLineEdit* edit = c.start ? static_cast<QLineEdit*>(d->StartEdit()) : d->LengthEdit();
      edit->setFocus();
      QTest::keyClick(edit, Qt::Key_Home);
      QTest::keyClicks(edit, c.keys);
      QTest::keyClick(d.get(), Qt::Key_Escape);
      ASSERT_FALSE(d->isVisible());
    }
    EXPECT_EQ(GetProfileString("SYSTEM", "TIME", "", 32, "korvel2tqf.ini"), c.time);
    EXPECT_EQ(GetProfileString("SYSTEM", "TIMEQTY", "", 32, "korvel2tqf.ini"), c.length);
    notifier.messages.clear();
    auto again = Open("KUDA");  // a preselected station reads the fields back
    EXPECT_TRUE(notifier.messages.empty()) << notifier.messages[0].text;
  }
}

// "Конв. файл(ы)..." and "Конв. каталог(и)..." work for the selected station,
// wherever the caret stands: its folder, named in the chooser's title.
TEST_P(MainDialogTest, TheSelectedStationDrivesTheFileAndFolderCommands) {
  std::string ini = "[SYSTEM]\nNSTA=3\n[STA0]\nNAME=KIR\n[STA1]\nNAME=KIROV\n[STA2]\nNAME=KUDA\n";
  for (const char* station : {"KIR", "KIROV", "KUDA"})
    ini += std::string("[") + station + "]\nDIR=" + (sandbox.path() / station).string() + "\n";
  sandbox.WriteProgramIni(ini);
  const struct {
    std::vector<Qt::Key> keys;  // in the station list, the caret on KIR
    const char* station;
  } cases[] = {
      {{Qt::Key_Space, Qt::Key_Down, Qt::Key_Down}, "KIR"},
      {{Qt::Key_Down, Qt::Key_Space, Qt::Key_Down}, "KIROV"},
      {{Qt::Key_Space, Qt::Key_Down, Qt::Key_Down, Qt::Key_Space}, "KUDA"},
      {{Qt::Key_Space, Qt::Key_Down, Qt::Key_Space, Qt::Key_Up}, "KIR"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.station);
    auto d = Open();
    for (Qt::Key key : c.keys) QTest::keyClick(d->StationList(), key);
    ASSERT_FALSE(Rows(*d).empty());
    const QString folder = QtPath(sandbox.path() / c.station) + QDir::separator();
    QTest::mouseClick(d->Button(kIdConvertFiles), Qt::LeftButton);
    EXPECT_EQ(d->asked_folder.toStdString(), folder.toStdString());
    EXPECT_EQ(d->asked_title.toStdString(),
              std::string("Конвертировать файл(ы) станции ") + c.station);
    QTest::mouseClick(d->Button(kIdConvertDirectory), Qt::LeftButton);
    EXPECT_EQ(d->asked_folder.toStdString(), folder.toStdString());
    EXPECT_EQ(d->asked_title.toStdString(), std::string("Выбор каталога станции ") + c.station);
    EXPECT_EQ(d->choices, 2);
  }
}

// A chosen file that gives nothing is named by the summary, and a box after
// it says why; one that cannot be read was told by the conversion already.
TEST_P(MainDialogTest, AChosenFileThatGivesNothingSaysWhy) {
  const auto raw = sandbox.path() / "raw";
  test::RawFileBuilder().Station("KUDA").Channels({"BHZ"}).Frames(10).WriteTo(raw / "kuda.raw");
  test::RawFileBuilder().Station("KIR").Channels({"SH Z"}).Frames(10).WriteTo(raw / "shz.raw");
  test::WriteFileBytes(raw / "short.raw", "0123456789");
  const struct {
    const char* file;
    const char* reason;  // null: no box follows the summary
  } cases[] = {
      {"kuda.raw",
       "это файл станции KUDA, а выбрана станция KIR: выберите станцию KUDA и отметьте её каналы"},
      {"shz.raw", "ни один из его каналов (SH Z) не отмечен для станции KIR"},
      {"short.raw", "это не файл регистратора Korvel: он короче заголовка (120 байт)"},
      {"missing.raw", nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    auto d = Open();
    QTest::keyClick(d->StationList(), Qt::Key_Space);  // KIR, with Z and N-S ticked
    d->files = {raw / c.file};
    notifier.messages.clear();
    QTest::mouseClick(d->Button(kIdConvertFiles), Qt::LeftButton);
    const std::string summary = "Ошибка конверсии файла '" + (raw / c.file).string() + "'";
    const auto at = std::find_if(notifier.messages.begin(), notifier.messages.end(),
                                 [&](const auto& m) { return m.text == summary; });
    ASSERT_NE(at, notifier.messages.end());
    ASSERT_EQ(notifier.messages.end() - at, c.reason ? 2 : 1);
    if (!c.reason) continue;
    EXPECT_EQ(at[1].text, std::string("Файл ") + c.file + " не конвертирован: " + c.reason);
    EXPECT_EQ(at[1].icon, MessageIcon::Error);
  }
}

TEST_P(MainDialogTest, ADatabaseErrorWhileListingChannelsShowsTheDriversText) {
  db.ExecuteSQL("DROP TABLE SITECHAN");
  auto d = Open();
  d->StationList()->item(0)->setSelected(true);  // signals: the channels are listed
  ASSERT_EQ(notifier.messages.size(), 1u);
  EXPECT_EQ(notifier.messages[0].caption, "korvel2tqf");
  EXPECT_TRUE(notifier.messages[0].text.find("SITECHAN") != std::string::npos ||
              notifier.messages[0].text.find("sitechan") != std::string::npos)
      << notifier.messages[0].text;
  EXPECT_TRUE(Rows(*d).empty());
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);  // the wait cursor is gone again
}

TEST_P(MainDialogTest, TwoStationsAndAHotButtonAsTheOperatorSeesThem) {
  auto d = Open("KUDA");
  CMultiSelectListBox* stations = d->StationList();
  QTest::mouseClick(stations->viewport(), Qt::LeftButton, {},
                    stations->visualItemRect(stations->item(0)).center());
  EXPECT_EQ(Rows(*d).size(), 4u);
  EXPECT_EQ(d->StationList()->selectedItems().size(), 2);
  d->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(d.get()));
  // The mouse over "Конвертировать", with the platform's own palette: the
  // hot face is the face brightened where the light edge stays visible,
  // never the black of a carried sum.
  auto* convert = static_cast<CHoverButton*>(d->Button(kIdConvert));
  QTest::mouseMove(d.get(), QPoint(2, 2));  // from outside, wherever the mouse was left
  QTest::mouseMove(convert, QPoint(convert->width() / 2, convert->height() / 2));
  ASSERT_TRUE(QTest::qWaitFor([&] { return convert->IsHovered(); }, 2000));
  const QColor face = QApplication::palette().color(QPalette::Active, QPalette::Button);
  EXPECT_EQ(convert->GetNormalBackColor().rgb(), face.rgb());
  const QString shot = test::SaveScreenshot(*d, QStringLiteral("main-dialog-hot-button"));
  ASSERT_FALSE(shot.isEmpty());
  const QImage image(shot);
  EXPECT_EQ(image.size(), d->size() * image.devicePixelRatio());
  const QColor light = QApplication::palette().color(QPalette::Active, QPalette::Light);
  EXPECT_EQ(image.pixel(convert->geometry().topLeft() + QPoint(2, 2)), HotFace(face, light).rgb());
  EXPECT_NE(image.pixel(convert->geometry().topLeft() + QPoint(2, 2)),
            image.pixel(convert->geometry().topLeft()));  // the raised edge shows
}

// The channel list as the screen shows it (what was painted, not a fresh
// rendering), and as a fresh paint of the whole list would show it.
std::pair<QImage, QImage> ChannelListAsShownAndRepainted(CMainDialog& d) {
  QWidget* viewport = d.ChannelList()->viewport();
  QCoreApplication::processEvents();
  const auto shown = [&] {
    const QPoint at = viewport->mapTo(&d, QPoint(0, 0));
    return d.screen()
        ->grabWindow(d.winId(), at.x(), at.y(), viewport->width(), viewport->height())
        .toImage()
        .convertToFormat(QImage::Format_RGB32);
  };
  const QImage as_shown = shown();
  viewport->repaint();
  return {as_shown, shown()};
}

// The focus rectangle goes with the focus and the current row, whole; the
// box of an unticked channel looks the same on the highlighted row as on
// any other.
TEST_P(MainDialogTest, TheChannelListShowsNoStaleFocusAndUntickedBoxesAsUnticked) {
  auto d = Open("KIROV");  // KIROV: z unticked, E-W ticked
  d->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(d.get()));
  QTreeWidget* list = d->ChannelList();
  ASSERT_EQ(list->topLevelItemCount(), 2);
  list->setFocus(Qt::TabFocusReason);
  list->setCurrentItem(list->topLevelItem(1));
  const QRect box0 = QRect(list->visualItemRect(list->topLevelItem(0)).topLeft(), QSize(16, 16));
  const QRect box1 = QRect(list->visualItemRect(list->topLevelItem(1)).topLeft(), QSize(16, 16));
  struct Step {
    const char* what;
    std::function<void()> act;
  };
  const Step steps[] = {
      {"the focus on the list", [] {}},
      {"Up to the unticked channel", [&] { QTest::keyClick(list, Qt::Key_Up); }},
      {"Space unticks the other",
       [&] {
         QTest::keyClick(list, Qt::Key_Down);
         QTest::keyClick(list, Qt::Key_Space);
       }},
      {"a click on the other row's channel", [&] { ClickRow(*d, 0, 60); }},
      {"a click on a box", [&] { ClickRow(*d, 1, 8); }},
      {"a click on the other box", [&] { ClickRow(*d, 0, 8); }},
      {"Down and Space, the first box, Down",
       [&] {
         QTest::keyClick(list, Qt::Key_Down);
         QTest::keyClick(list, Qt::Key_Space);
         ClickRow(*d, 0, 8);
         QTest::keyClick(list, Qt::Key_Down);
       }},
      {"Tab away", [&] { QTest::keyClick(list, Qt::Key_Tab); }},
      {"Shift+Tab back", [&] { QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab); }},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.what);
    step.act();
    const auto [shown, repainted] = ChannelListAsShownAndRepainted(*d);
    EXPECT_EQ(shown, repainted);
  }
  // Both unticked now, the second one highlighted: the same box.
  ASSERT_EQ(Rows(*d), (std::vector<std::string>{"KIROV/z/20.000/1", "KIROV/E-W/20.000/1"}));
  ASSERT_TRUE(list->topLevelItem(1)->isSelected());
  const QImage shown = ChannelListAsShownAndRepainted(*d).first;
  // Inside the box's frame, in the screen's own pixels (around the frame the
  // row's colour shows through).
  const qreal ratio = shown.devicePixelRatio();
  const auto inside = [&](const QRect& box) {
    const QRectF logical(box.topLeft() + QPoint(3, 3), QSizeF(10, 10));
    const QPoint from(qCeil(logical.left() * ratio), qCeil(logical.top() * ratio));
    const QPoint to(qFloor(logical.right() * ratio), qFloor(logical.bottom() * ratio));
    return shown.copy(QRect(from, to - QPoint(1, 1)));
  };
  EXPECT_EQ(inside(box1), inside(box0));
  EXPECT_EQ(inside(box0).pixel(2, 2), QColor(Qt::white).rgb());
  EXPECT_FALSE(test::SaveScreenshot(*d, QStringLiteral("main-dialog-unticked-current")).isEmpty());
}

TEST(AboutDialog, NamesTheProgramItsVersionAndHasOneOkButton) {
  QWidget owner;
  CAboutDialog about(&owner);
  EXPECT_EQ(about.windowTitle(), "О Korvel2tqf");
  QStringList lines;
  for (const QLabel* label : about.findChildren<QLabel*>())
    if (!label->text().isEmpty()) lines += label->text().split('\n');
  ASSERT_EQ(lines.size(), 2) << lines.join('|').toStdString();
  EXPECT_TRUE(lines[0].contains("TQF4.0") && lines[0].contains("Version 1.20") &&
              lines[0].contains(QStringLiteral("Конвертер")))
      << lines[0].toStdString();
  // The build's version, the one --version prints, on the second line.
  EXPECT_TRUE(lines[1].startsWith(QStringLiteral("Версия сборки ") + kBuildVersion + "."))
      << lines[1].toStdString();
  const auto boxes = about.findChildren<QDialogButtonBox*>();
  ASSERT_EQ(boxes.size(), 1);
  ASSERT_EQ(boxes[0]->buttons().size(), 1);
  EXPECT_EQ(boxes[0]->standardButton(boxes[0]->buttons()[0]), QDialogButtonBox::Ok);
}

INSTANTIATE_TEST_SUITE_P(Drivers, MainDialogTest, ::testing::ValuesIn(test::TestDsns()),
                         [](const auto& info) { return info.param; });
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(MainDialogTest);

}  // namespace
}  // namespace korvel
