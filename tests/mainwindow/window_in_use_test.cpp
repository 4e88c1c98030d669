// The window as an operator meets it: every way of picking stations with
// real mouse and key events, and what the conversion then takes; the order
// of the station list; About and the right button; what the window shows
// while a command keeps it busy.
#include <gtest/gtest.h>

#include <QContextMenuEvent>
#include <QMenu>
#include <QMessageBox>
#include <QTimer>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>
#include <set>

#include "controls/multi_select_list_box.h"
#include "database/statement.h"
#include "engine/conversion_commands.h"
#include "tests/mainwindow/main_dialog_fixture.h"
#include "tests/qt_support/screenshot.h"
#include "tests/support/raw_file_builder.h"

namespace korvel {
namespace {

using test::TestDialog;

class WindowInUseTest : public test::MainDialogFixture {
 protected:
  // Three stations, each with a raw file in its own data directory inside
  // the saved time window.
  void WriteStations(const std::vector<std::string>& names) {
    std::string ini = "[SYSTEM]\nNSTA=" + std::to_string(names.size()) +
                      "\nTIME=06:00:00 07/03/2007\nTIMEQTY=01:00:00\n";
    for (std::size_t i = 0; i < names.size(); ++i)
      ini += "[STA" + std::to_string(i) + "]\nNAME=" + names[i] + "\n";
    for (const std::string& name : names) {
      const auto dir = sandbox.path() / "data" / name;
      std::filesystem::create_directories(dir);
      ini += "[" + name + "]\nDIR=" + dir.string() + "\n";
    }
    sandbox.WriteProgramIni(ini);
  }
  void WriteRaw(const std::string& station, const std::string& file,
                std::vector<std::string> channels, double time_of_day = 6 * 3600.0 + 12 * 60.0) {
    test::RawFileBuilder()
        .Station(station)
        .Channels(channels)
        .TimeOfDay(time_of_day)
        .Frames(100)
        .WriteTo(sandbox.path() / "data" / station / file);
  }
  std::set<std::string> CataloguedStations() {
    CStatement rows(db);
    rows.ExecDirect("SELECT DISTINCT STA FROM FILELIST");
    std::set<std::string> stations;
    while (rows.Fetch()) stations.insert(rows.Get<std::string>(1).value_or(""));
    return stations;
  }
  static std::vector<std::string> Selected(const CMainDialog& d) {
    std::vector<std::string> names;
    for (const QListWidgetItem* item : d.StationList()->selectedItems())
      names.push_back(item->text().toStdString());
    std::sort(names.begin(), names.end());
    return names;
  }
  // Column 0 of every channel row, in order.
  static std::vector<std::string> RowStations(const CMainDialog& d) {
    std::vector<std::string> stations;
    for (int i = 0; i < d.ChannelList()->topLevelItemCount(); ++i)
      stations.push_back(d.ChannelList()->topLevelItem(i)->text(0).toStdString());
    return stations;
  }
  static QPoint At(const CMainDialog& d, int row) {
    return d.StationList()->visualItemRect(d.StationList()->item(row)).center();
  }
};

// What a right-button request for a context menu at `at` brings up: the
// entries of the menu, closed again at once; empty when none came.
QStringList ContextMenuAt(QWidget* widget, QPoint at) {
  QStringList entries;
  QTimer::singleShot(0, widget, [&entries] {
    if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
      for (const QAction* action : menu->actions()) entries << action->text();
      menu->close();
    }
  });
  QContextMenuEvent event(QContextMenuEvent::Mouse, at, widget->mapToGlobal(at));
  QApplication::sendEvent(widget, &event);
  QCoreApplication::processEvents();  // the check runs whether a menu came or not
  return entries;
}

TEST_P(WindowInUseTest, TheStationsConvertedAreTheStationsShownSelected) {
  // SITECHAN: KIR Z, SH Z, N-S; KIROV z, E-W; KUDA BHZ. List order KIR, KIROV, KUDA.
  WriteStations({"KUDA", "KIR", "KIROV"});
  WriteRaw("KIR", "a.raw", {"Z", "N-S"});
  WriteRaw("KIROV", "a.raw", {"E-W"});
  WriteRaw("KUDA", "a.raw", {"BHZ"});
  const std::map<std::string, std::size_t> rows_of = {{"KIR", 3}, {"KIROV", 2}, {"KUDA", 1}};
  enum { kKir, kKirov, kKuda };

  struct Gesture {
    const char* name;
    std::function<void(TestDialog&)> act;
    std::vector<std::string> shown;  // the stations of the channel rows, in row order
  };
  const std::vector<Gesture> gestures = {
      {"a click",
       [](TestDialog& d) {
         QTest::mouseClick(d.StationList()->viewport(), Qt::LeftButton, {}, At(d, kKirov));
       },
       {"KIROV"}},
      {"a drag across three stations",
       [](TestDialog& d) {
         QWidget* list = d.StationList()->viewport();
         QTest::mousePress(list, Qt::LeftButton, {}, At(d, kKir));
         QTest::mouseMove(list, At(d, kKirov));
         QTest::mouseMove(list, At(d, kKuda));
         QTest::mouseRelease(list, Qt::LeftButton, {}, At(d, kKuda));
       },
       {"KIR"}},
      {"Ctrl+A after a click",
       [](TestDialog& d) {
         QTest::mouseClick(d.StationList()->viewport(), Qt::LeftButton, {}, At(d, kKuda));
         QTest::keyClick(d.StationList(), Qt::Key_A, Qt::ControlModifier);
       },
       {"KUDA"}},
      {"Shift with a click, twice",
       [](TestDialog& d) {
         QTest::mouseClick(d.StationList()->viewport(), Qt::LeftButton, Qt::ShiftModifier,
                           At(d, kKuda));
         QTest::mouseClick(d.StationList()->viewport(), Qt::LeftButton, Qt::ShiftModifier,
                           At(d, kKir));
       },
       {"KUDA", "KIR"}},
      {"Ctrl with a click, three times",
       [](TestDialog& d) {
         for (int row : {kKirov, kKir, kKirov})
           QTest::mouseClick(d.StationList()->viewport(), Qt::LeftButton, Qt::ControlModifier,
                             At(d, row));
       },
       {"KIR"}},
      {"the keyboard: arrows move, Space toggles",
       [](TestDialog& d) {
         d.StationList()->setFocus();
         for (Qt::Key key : {Qt::Key_Down, Qt::Key_Space, Qt::Key_Down, Qt::Key_Space, Qt::Key_Up,
                             Qt::Key_Up, Qt::Key_Space, Qt::Key_Down, Qt::Key_Down, Qt::Key_Space})
           QTest::keyClick(d.StationList(), key);
         QTest::keyClick(d.StationList(), Qt::Key_End, Qt::ShiftModifier);
       },
       {"KIROV", "KIR"}},
      {"the right and middle buttons",
       [](TestDialog& d) {
         QTest::mouseClick(d.StationList()->viewport(), Qt::RightButton, {}, At(d, kKirov));
         QTest::mouseClick(d.StationList()->viewport(), Qt::MiddleButton, {}, At(d, kKuda));
       },
       {}},
      {"a double click is two clicks",
       [](TestDialog& d) {
         // As the window system delivers it: a press, then a double click in place of the second.
         QTest::mouseClick(d.StationList()->viewport(), Qt::LeftButton, {}, At(d, kKirov));
         QTest::mouseDClick(d.StationList()->viewport(), Qt::LeftButton, {}, At(d, kKirov));
         QTest::mouseClick(d.StationList()->viewport(), Qt::LeftButton, {}, At(d, kKuda));
       },
       {"KUDA"}},
      {"the select-all button",
       [](TestDialog& d) { QTest::mouseClick(d.Button(kIdSelectAllStations), Qt::LeftButton); },
       {"KIR", "KIROV", "KUDA"}},
  };
  for (const Gesture& gesture : gestures) {
    SCOPED_TRACE(gesture.name);
    test::ResetCatalogue(db);
    db.ExecuteSQL(
        "INSERT INTO SITECHAN (STA, CHAN, SPS) VALUES ('KIR', 'Z', 100), ('KIR', 'SH Z', 100), "
        "('KIR', 'N-S', 100), ('KIROV', 'z', 20), ('KIROV', 'E-W', 20), ('KUDA', 'BHZ', 40)");
    std::filesystem::remove_all(out);
    std::filesystem::create_directories(out);
    notifier.messages.clear();
    CFileList fresh_catalogue{db, notifier};
    OutputWriter fresh_writer{fresh_catalogue, file_errors};
    TestDialog d(db, fresh_writer, notifier, "");
    d.show();
    ASSERT_EQ(d.CurrentStation(), "KIR");
    gesture.act(d);

    std::vector<std::string> expected_rows;
    for (const std::string& station : gesture.shown)
      expected_rows.insert(expected_rows.end(), rows_of.at(station), station);
    EXPECT_EQ(RowStations(d), expected_rows);
    std::vector<std::string> shown = gesture.shown;
    std::sort(shown.begin(), shown.end());
    EXPECT_EQ(Selected(d), shown);

    // Every channel ticked, then "Конвертировать": the stations catalogued
    // are the stations shown selected.
    QTest::mouseClick(d.Button(kIdTickAllChannels), Qt::LeftButton);
    QTest::mouseClick(d.Button(kIdConvert), Qt::LeftButton);
    ASSERT_FALSE(notifier.messages.empty());
    EXPECT_EQ(notifier.messages.back().text,
              shown.empty()
                  ? "Не выбрана станция/каналы !!!"
                  : "Успешно завершена конверсия " + std::to_string(shown.size()) + " файлов");
    EXPECT_EQ(CataloguedStations(), std::set<std::string>(shown.begin(), shown.end()));
  }
}

TEST_P(WindowInUseTest, StationsSortWithoutRegardToCaseAndEverythingFollowsThatOrder) {
  // (Sections of korvel2tqf.ini ignore case, so KIR and kir would share one.)
  WriteStations({"kira", "KUDA", "Kira", "KIR", "BAR"});
  for (const char* row : {"('BAR', 'Z', 1)", "('kira', 'Z', 1)", "('Kira', 'Z', 1)"})
    db.ExecuteSQL(std::string("INSERT INTO SITECHAN (STA, CHAN, SPS) VALUES ") + row);
  WriteRaw("BAR", "a.raw", {"Z"});
  WriteRaw("KIR", "a.raw", {"Z"});
  WriteRaw("KUDA", "a.raw", {"BHZ"});
  auto d = Open("KI");  // sought from the second entry
  std::vector<std::string> listed;
  for (int i = 0; i < d->StationList()->count(); ++i)
    listed.push_back(d->StationList()->item(i)->text().toStdString());
  EXPECT_EQ(listed, (std::vector<std::string>{"BAR", "KIR", "kira", "Kira", "KUDA"}));
  EXPECT_EQ(d->CurrentStation(), "KIR");
  EXPECT_EQ(RowStations(*d), (std::vector<std::string>{"KIR", "KIR", "KIR"}));
  d->SelectAllStations();
  EXPECT_EQ(RowStations(*d),
            (std::vector<std::string>{"BAR", "KIR", "KIR", "KIR", "kira", "Kira", "KUDA"}));
  d->TickAllChannels();
  QTest::mouseClick(d->Button(kIdConvert), Qt::LeftButton);
  std::vector<std::string> order;
  for (const auto& path : d->converted_paths)
    order.push_back(path.parent_path().filename().string());
  EXPECT_EQ(order, (std::vector<std::string>{"BAR", "KIR", "KUDA"}));
}

TEST_P(WindowInUseTest, AboutComesWithF1AndTheBackgroundsMenuNeverOverTheLists) {
  auto d = Open("KIR");
  d->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(d.get()));
  QStringList about{QStringLiteral("&О Korvel2tqf..."), QStringLiteral("&Покрытие данных...")};
#ifdef KORVEL_WITH_SEED
  about.append(QStringLiteral("&Экспорт в miniSEED (SDS)..."));
#endif
  // The background of the dialog, between its controls.
  EXPECT_EQ(ContextMenuAt(d.get(), QPoint(3, d->height() - 3)), about);
  const auto rows = Rows(*d);
  // Over the lists nothing comes up; the right button's tick is all.
  EXPECT_TRUE(ContextMenuAt(d->StationList()->viewport(), At(*d, 0)).isEmpty());
  const QRect first = d->ChannelList()->visualItemRect(d->ChannelList()->topLevelItem(0));
  EXPECT_TRUE(ContextMenuAt(d->ChannelList()->viewport(), QPoint(8, first.center().y())).isEmpty());
  EXPECT_EQ(Rows(*d), rows);

  // F1, once the window has the keyboard again after the menu.
  d->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(d.get()));
  QString shown;
  QTimer::singleShot(0, d.get(), [&shown] {
    if (QWidget* box = QApplication::activeModalWidget()) {
      shown = box->windowTitle();
      box->close();
    }
  });
  QTest::keyClick(d.get(), Qt::Key_F1);
  EXPECT_EQ(shown, QStringLiteral("О Korvel2tqf"));
}

TEST_P(WindowInUseTest, WhileACommandRunsTheWindowShowsTheFileItsCountAndWaits) {
  WriteStations({"KIR"});
  for (const char* name : {"a.raw", "b.raw", "c.raw"})
    WriteRaw("KIR", name, {"Z"}, 6 * 3600.0 + (name[0] - 'a') * 60.0);
  auto d = Open("KIR");
  ASSERT_EQ(RowStations(*d).size(), 3u);
  bool events_ran = false;
  bool closed_midway = true;
  d->on_examine = [&](std::size_t position) {
    if (position == 2) {
      EXPECT_FALSE(test::SaveScreenshot(*d, QStringLiteral("main-dialog-during-scan")).isEmpty());
    }
    if (position != 3) return;
    closed_midway = d->close();
    // The close box asks whether to stop; "Нет", and the command goes on.
    auto* box = d->findChild<QMessageBox*>();
    ASSERT_NE(box, nullptr);
    box->button(QMessageBox::No)->click();
  };
  QTimer::singleShot(0, d.get(), [&events_ran] { events_ran = true; });
  QTest::mouseClick(d->Button(kIdConvert), Qt::LeftButton);
  EXPECT_TRUE(events_ran);  // the window's own events go on during the scan
  EXPECT_FALSE(closed_midway);
  EXPECT_TRUE(d->isVisible());
  ASSERT_EQ(d->examined.size(), 3u);
  EXPECT_EQ(d->examined[0].status, "a.raw  (1 из 3)  Esc — Стоп");
  EXPECT_EQ(d->examined[1].status, "b.raw  (2 из 3)  Esc — Стоп");
  for (const test::Moment& m : d->examined) {
    EXPECT_FALSE(m.commands_enabled);
    EXPECT_EQ(m.cursor, Qt::WaitCursor);
  }
  // The summary comes under the arrow, though the buttons are still grey.
  ASSERT_EQ(notifier.messages.back().text, "Успешно завершена конверсия 3 файлов");
  EXPECT_EQ(notifier.cursors.back(), Qt::ArrowCursor);
  EXPECT_EQ(d->StatusLine()->text(), "");
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
  d->on_examine = nullptr;

  // The file command waits the same way, and a long name keeps its count.
  const std::string long_name = std::string(120, 'x') + ".raw";
  WriteRaw("KIR", long_name, {"Z"}, 7 * 3600.0);
  d->files = {sandbox.path() / "data" / "KIR" / "a.raw", sandbox.path() / "data" / "KIR" / "b.raw"};
  d->converted.clear();
  d->ConvertChosenFilesCommand();
  ASSERT_EQ(d->converted.size(), 2u);
  for (const test::Moment& m : d->converted) {
    EXPECT_FALSE(m.commands_enabled);
    EXPECT_EQ(m.cursor, Qt::WaitCursor);
  }
  EXPECT_EQ(notifier.cursors.back(), Qt::ArrowCursor);
  d->examined.clear();
  d->folder = sandbox.path() / "data" / "KIR";
  d->ConvertChosenDirectoryCommand();
  ASSERT_EQ(d->examined.size(), 4u);
  const QString last = QString::fromStdString(d->examined[3].status);
  EXPECT_TRUE(last.endsWith(QStringLiteral("x.raw  (4 из 4)  Esc — Стоп")))
      << d->examined[3].status;
  EXPECT_LE(d->StatusLine()->fontMetrics().horizontalAdvance(last),
            d->StatusLine()->contentsRect().width());
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

// Alt and an underlined letter press its button on either keyboard layout:
// on the Latin one the same physical key gives the Latin letter (Alt+R for
// "К"). In the dialog's menu the letter alone picks its entry.
TEST_P(WindowInUseTest, MnemonicsWorkOnTheRussianAndTheLatinLayout) {
  WriteStations({"KIR"});
  struct Case {
    const char* what;
    int key;
    bool in_menu;
    bool select;              // KIR selected first
    std::string message;      // the box the command brings, if any
    const char* asked_title;  // the chooser it opens, if any
    bool closes = false;
  };
  const std::vector<Case> cases = {
      {"Alt+К", 0x41A, false, false, "Не выбрана станция/каналы !!!", ""},
      {"Alt+R", Qt::Key_R, false, false, "Не выбрана станция/каналы !!!", ""},
      {"Alt+Ф", 0x424, false, true, "", "Конвертировать файл(ы) станции KIR"},
      {"Alt+A", Qt::Key_A, false, true, "", "Конвертировать файл(ы) станции KIR"},
      {"Alt+А", 0x410, false, true, "", "Выбор каталога станции KIR"},
      {"Alt+F", Qt::Key_F, false, true, "", "Выбор каталога станции KIR"},
      {"Alt+Ы", 0x42B, false, false, "", "", true},
      {"Alt+S", Qt::Key_S, false, false, "", "", true},
      {"П in the menu", 0x41F, true, false, "Не выбрана станция !!!", ""},
      {"G in the menu", Qt::Key_G, true, false, "Не выбрана станция !!!", ""},
#ifdef KORVEL_WITH_SEED
      {"Э in the menu", 0x42D, true, true, "В korvel2tqf.ini не задан код сети", ""},
      {"' in the menu", Qt::Key_Apostrophe, true, true, "В korvel2tqf.ini не задан код сети", ""},
#endif
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    notifier.messages.clear();
    auto d = Open(c.select ? "KIR" : "");
    d->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(d.get()));
    if (c.in_menu) {
      QTimer::singleShot(0, d.get(), [&] {
        if (QWidget* menu = QApplication::activePopupWidget())
          QTest::sendKeyEvent(QTest::Click, menu, static_cast<Qt::Key>(c.key),
                              QString(QChar(static_cast<char16_t>(c.key))).toLower(),
                              Qt::NoModifier);
      });
      QTest::keyClick(d->StationList(), Qt::Key_F10, Qt::ShiftModifier);
    } else {
      // The shortcuts first, then the widget with the focus, as a key reaches the window.
      QTest::sendKeyEvent(QTest::Click, QApplication::focusWidget(), static_cast<Qt::Key>(c.key),
                          QString(QChar(static_cast<char16_t>(c.key))).toLower(), Qt::AltModifier);
    }
    if (c.closes) {
      EXPECT_TRUE(QTest::qWaitFor([&] { return !d->isVisible(); }));
      continue;
    }
    if (!c.message.empty()) {
      ASSERT_TRUE(QTest::qWaitFor([&] { return !notifier.messages.empty(); }));
      ASSERT_EQ(notifier.messages.size(), 1u);
      EXPECT_EQ(notifier.messages[0].text.rfind(c.message, 0), 0u) << notifier.messages[0].text;
    }
    if (*c.asked_title != '\0') {
      EXPECT_TRUE(QTest::qWaitFor([&] { return d->choices == 1; }));
      EXPECT_EQ(d->asked_title, QString::fromUtf8(c.asked_title));
    }
    EXPECT_TRUE(d->isVisible());
  }
}

// No output root, one that is not there, or one that is a file: each command
// says so in one box, naming the folder and the system's reason, before it
// asks for anything or writes anything.
TEST_P(WindowInUseTest, AMissingOutputRootIsOneBoxNamingTheFolderAndTheReason) {
  WriteStations({"KIR"});
  WriteRaw("KIR", "a.raw", {"Z", "N-S"});
  const std::filesystem::path file = sandbox.path() / "a file";
  const std::filesystem::path missing = sandbox.path() / "no such root";
  test::WriteFileBytes(file, "x");
  const auto missing_text = [&](const std::filesystem::path& root, int error) {
    return "Нет каталога для файлов TQF " + (root / "").string() + ": " + std::strerror(error) +
           ".\nОн задан в " + (sandbox.path() / "tqf.ini").string() +
           " (раздел DATA, ключ DIR). Создайте каталог или исправьте DIR.";
  };
  const struct {
    std::string tqf_ini;
    std::string text;
  } roots[] = {{"[DATA]\n", kNoOutputRootText},
               {"[DATA]\nDIR=" + missing.string() + "\n", missing_text(missing, ENOENT)},
#ifndef _WIN32  // a file where a folder is meant: POSIX's own reason
               {"[DATA]\nDIR=" + file.string() + "\n", missing_text(file, ENOTDIR)}
#endif
  };
  const struct {
    const char* name;
    void (CMainDialog::*command)();
  } commands[] = {{"Конвертировать", &CMainDialog::ConvertSelectedStationsCommand},
                  {"Конв. файл(ы)...", &CMainDialog::ConvertChosenFilesCommand},
                  {"Конв. каталог(и)...", &CMainDialog::ConvertChosenDirectoryCommand}};
  for (const auto& root : roots) {
    sandbox.WriteTqfIni(root.tqf_ini);
    for (const auto& command : commands) {
      SCOPED_TRACE(root.tqf_ini + " " + command.name);
      notifier.messages.clear();
      auto d = Open("KIR");
      d->files = {sandbox.path() / "data" / "KIR" / "a.raw"};
      d->folder = sandbox.path() / "data" / "KIR";
      ((*d).*command.command)();
      EXPECT_EQ(d->choices, 0);
      ASSERT_EQ(notifier.messages.size(), 1u);
      EXPECT_EQ(notifier.messages[0].text, root.text);
      EXPECT_EQ(notifier.messages[0].icon, MessageIcon::Error);
      EXPECT_TRUE(CataloguedStations().empty());
    }
  }
  EXPECT_FALSE(std::filesystem::exists(missing));
}

INSTANTIATE_TEST_SUITE_P(Drivers, WindowInUseTest, ::testing::ValuesIn(test::TestDsns()),
                         [](const auto& info) { return info.param; });
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(WindowInUseTest);

}  // namespace
}  // namespace korvel
