#pragma once
// The main window on the real data sources, shared by its test programs: a
// dialog whose file and folder choices a test answers and which notes what
// the operator would see while a command runs.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "controls/check_list_painter.h"
#include "database/database.h"
#include "database/file_list.h"
#include "engine/conversion_commands.h"
#include "mainwindow/control_ids.h"
#include "mainwindow/main_dialog.h"
#include "platform/text1251.h"
#include "tests/support/databases/live_database.h"
#include "tests/support/recording_notifier.h"
#include "tests/support/temp_dir.h"

namespace korvel::test {

// What the window does while a command runs, as the operator would see it.
struct Moment {
  std::string status;
  bool commands_enabled = true;
  Qt::CursorShape cursor = Qt::ArrowCursor;  // the override cursor, arrow when none
};

inline Qt::CursorShape CursorNow() {
  return QApplication::overrideCursor() ? QApplication::overrideCursor()->shape() : Qt::ArrowCursor;
}

// Keeps the cursor each message was shown under.
class CursorRecordingNotifier : public test::RecordingNotifier {
 public:
  void Message(const std::string& text, const std::string& caption, MessageIcon icon) override {
    test::RecordingNotifier::Message(text, caption, icon);
    cursors.push_back(CursorNow());
  }
  std::vector<Qt::CursorShape> cursors;
};

class TestDialog : public CMainDialog {
 public:
  using CMainDialog::CMainDialog;
  std::vector<std::filesystem::path> files;
  std::filesystem::path folder;
  int choices = 0;                // how often the operator was asked for files or a folder
  QString asked_folder;           // where the last choice opened (UTF-8)
  QString asked_title;            // and what it was titled
  std::vector<Moment> examined;   // at each file a scan examines
  std::vector<Moment> converted;  // at each raw file converted
  std::vector<std::filesystem::path> converted_paths;
  std::function<void(std::size_t position)> on_examine;
  std::function<void(std::size_t done)> on_export_step;  // before each day file

  void ExamineFile(const std::string& name, std::size_t position, std::size_t count) override {
    CMainDialog::ExamineFile(name, position, count);
    examined.push_back(Now());
    if (on_examine) on_examine(position);
  }
  void ShowExportStep(const std::string& day_file, std::size_t done) override {
    CMainDialog::ShowExportStep(day_file, done);
    if (on_export_step) on_export_step(done);
  }
  void FileConverted(const std::filesystem::path& path, std::uint64_t bytes) override {
    CMainDialog::FileConverted(path, bytes);
    converted.push_back(Now());
    converted_paths.push_back(path);
  }

 protected:
  bool ChooseFiles(const std::string& initial_folder, const QString& title,
                   std::vector<std::filesystem::path>& paths,
                   std::filesystem::path& path_name) override {
    ++choices;
    asked_folder = QString::fromStdString(Cp1251ToUtf8(initial_folder));
    asked_title = title;
    paths = files;
    path_name = files.empty() ? std::filesystem::path() : files.front();
    return !files.empty();
  }
  std::filesystem::path ChooseDirectory(const QString& initial_folder,
                                        const QString& title) override {
    ++choices;
    asked_folder = initial_folder;
    asked_title = title;
    return folder;
  }

 private:
  Moment Now() const {
    return {StatusLine()->text().toStdString(), Button(kIdConvert)->isEnabled(), CursorNow()};
  }
};

class MainDialogFixture : public test::LiveCatalogueTest {
 protected:
  void SetUp() override {
    LiveCatalogueTest::SetUp();
    if (IsSkipped()) return;
    ASSERT_EQ(db.OpenEx(test::TestConnectString(GetParam())), CDatabase::OpenResult::Opened);
    test::ResetCatalogue(db);
    for (const char* row : {"('KIR', 'Z', 100)", "('KIR', 'SH Z', 100)", "('KIR', 'N-S', 100)",
                            "('KIROV', 'z', 20)", "('KIROV', 'E-W', 20)", "('KUDA', 'BHZ', 40)"})
      db.ExecuteSQL(std::string("INSERT INTO SITECHAN (STA, CHAN, SPS) VALUES ") + row);
    out = (sandbox.path() / "out").string();
    std::filesystem::create_directories(out);
    std::filesystem::create_directories(sandbox.path() / "raw");
    sandbox.WriteTqfIni("[DATA]\nDIR=" + out + "\n");
    sandbox.WriteProgramIni(
        "[SYSTEM]\nNSTA=4\nTIME=1:2:3 "
        "4/5/2006\nTIMEQTY=99:99:99\n[STA0]\nNAME=KUDA\n[STA1]\nNAME=KIR\n"
        "[STA2]\nNAME=\n[STA3]\nNAME=KIROV\n[KIR]\nDIR=" +
        (sandbox.path() / "raw").string() + "\n");
  }
  std::unique_ptr<TestDialog> Open(const std::string& initial = "") {
    auto dialog = std::make_unique<TestDialog>(db, writer, notifier, initial);
    dialog->show();
    return dialog;
  }
  static std::vector<std::string> Rows(const CMainDialog& d) {
    std::vector<std::string> rows;
    QTreeWidget* list = d.ChannelList();
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
      const QTreeWidgetItem* item = list->topLevelItem(i);
      rows.push_back((item->text(0) + "/" + item->text(1) + "/" + item->text(2) + "/" +
                      QString::number(item->data(0, kStateImageRole).toInt()))
                         .toStdString());
    }
    return rows;
  }
  void ClickRow(CMainDialog& d, int row, int x, Qt::MouseButton button = Qt::LeftButton) {
    QTreeWidget* list = d.ChannelList();
    const QRect r = list->visualItemRect(list->topLevelItem(row));
    QTest::mouseClick(list->viewport(), button, {}, QPoint(x, r.center().y()));
  }

  test::ConfigSandbox sandbox;
  CDatabase db;
  CursorRecordingNotifier notifier;
  CFileList catalogue{db, notifier};
  FileErrorMessages file_errors{notifier};
  OutputWriter writer{catalogue, file_errors};
  std::string out;
};

}  // namespace korvel::test
