// The embedded catalogue safe from the window's own dialogs: a dialog that
// looks into the catalogue's folder, or a preview of its files, must not
// close a descriptor of them (SQLite's locks would go with it), so that
// another program's rows written meanwhile survive the window's own writes.
#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QDir>
#include <QFileSystemModel>
#include <QTest>
#include <QTreeWidget>
#include <cstdlib>
#include <set>
#ifdef __linux__
#include <sys/inotify.h>
#include <unistd.h>
#endif
#include <filesystem>

#include "controls/open_file_dlg.h"
#include "controls/qt_path.h"
#include "database/connection.h"
#include "database/statement.h"
#include "platform/native_path.h"
#include "platform/protected_files.h"
#include "tests/support/raw_file_builder.h"
#include "tests/support/run_command.h"
#include "tests/support/temp_dir.h"

namespace korvel {
namespace {

namespace fs = std::filesystem;

// The files of a folder that anyone opens while it lives (Linux: inotify).
class OpensWatched {
 public:
  explicit OpensWatched(const fs::path& folder) {
#ifdef __linux__
    m_fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (m_fd >= 0) inotify_add_watch(m_fd, folder.c_str(), IN_OPEN);
#else
    (void)folder;
#endif
  }
  ~OpensWatched() {
    if (m_fd >= 0) close(m_fd);
  }
  bool Available() const { return m_fd >= 0; }
  std::set<std::string> Opened() {
    std::set<std::string> names;
#ifdef __linux__
    alignas(inotify_event) char buffer[4096];
    for (ssize_t got; (got = read(m_fd, buffer, sizeof buffer)) > 0;)
      for (char* at = buffer; at < buffer + got;) {
        const auto* event = reinterpret_cast<const inotify_event*>(at);
        if (event->len > 0) names.insert(event->name);
        at += sizeof(inotify_event) + event->len;
      }
#endif
    return names;
  }

 private:
  int m_fd = -1;
};

int Count(CDatabase& db, const std::string& sql) {
  CStatement s(db);
  s.ExecDirect(sql);
  return s.Fetch() ? s.Get<std::int32_t>(1).value_or(-1) : -1;
}

TEST(CatalogueSafety, LookingIntoTheCatalogueFolderLosesNoOtherProgramsRows) {
  test::ConfigSandbox sandbox;
  const fs::path folder = sandbox.path();
  const std::string file = (folder / "catalogue.sqlite").string();
  test::WriteFileBytes(folder / "odbc.ini",
                       "[SAFETY]\nDriver=SQLite3\nDatabase=" + file +
                           "\nJournalMode=WAL\nSyncPragma=NORMAL\nTimeout=15000\n");
  const char* old_ini = std::getenv("ODBCINI");
  const std::string saved = old_ini ? old_ini : "";
  setenv("ODBCINI", (folder / "odbc.ini").c_str(), 1);

  CDatabase window;  // the window's connection, as CConverterApp opens it
  ASSERT_EQ(window.OpenEx("DSN=SAFETY;"), CDatabase::OpenResult::Opened);
  ASSERT_EQ(test::RunCommand("korvel2tqf-cli", {"--dsn", "SAFETY", "create-tables"}).exit_status,
            0);
  window.ExecuteSQL("INSERT INTO SITECHAN (STA, CHAN, SPS) VALUES ('KIR', 'Z', 100)");
  KeepCatalogueFilesToTheDriver(window);
  EXPECT_TRUE(IsProtectedFile(folder / "catalogue.sqlite-wal"));

  OpensWatched opens(folder);
  {
    // The operator looks into the folder and at the catalogue's own files,
    // then cancels.
    OpenFileDlg dialog(nullptr, PathText(folder));
    dialog.show();
    auto* view = dialog.findChild<QAbstractItemView*>(QStringLiteral("listView"));
    ASSERT_NE(view, nullptr);
    auto* model = qobject_cast<QFileSystemModel*>(view->model());
    for (int waited = 0;
         waited < 200 && model->rowCount(model->index(QDir::fromNativeSeparators(QtPath(folder)))) < 3;
         ++waited)
      QTest::qWait(10);
    for (const char* name : {"catalogue.sqlite", "catalogue.sqlite-wal", "catalogue.sqlite-shm"}) {
      const QModelIndex index = model->index(QDir::fromNativeSeparators(QtPath(folder / name)));
      ASSERT_TRUE(index.isValid()) << name;
      EXPECT_NE(model->type(index), QString()) << name;  // typed, by name alone
      view->setCurrentIndex(index);
      EXPECT_TRUE(dialog.WaitForPreview());
      EXPECT_EQ(dialog.SummaryList()->topLevelItemCount(), 0) << name;
    }
    dialog.reject();
  }
  for (const std::string& name : opens.Opened()) {
    EXPECT_EQ(name.rfind("catalogue.sqlite", 0), std::string::npos)
        << name << " was opened outside the catalogue's driver";
  }

  // Another program writes the catalogue meanwhile: three channels of KUDA.
  test::RawFileBuilder()
      .Station("KUDA")
      .Channels({"Z", "N-S", "E-W"})
      .Frames(10)
      .WriteTo(folder / "kuda.raw");
  const auto added = test::RunCommand(
      "korvel2tqf-cli", {"--dsn", "SAFETY", "add-channels", (folder / "kuda.raw").string()});
  ASSERT_EQ(added.exit_status, 0) << added.err;
  // Then the window writes the same table (the same page: a stale copy of
  // it would drop KUDA's rows), and closes.
  for (int i = 0; i < 5; ++i)
    window.ExecuteSQL("INSERT INTO SITECHAN (STA, CHAN, SPS) VALUES ('KIR', 'C" +
                      std::to_string(i) + "', 100)");
  window.Close();

  CDatabase after;
  ASSERT_EQ(after.OpenEx("DSN=SAFETY;"), CDatabase::OpenResult::Opened);
  EXPECT_EQ(Count(after, "SELECT COUNT(*) FROM SITECHAN WHERE STA = 'KUDA'"), 3);
  EXPECT_EQ(Count(after, "SELECT COUNT(*) FROM SITECHAN WHERE STA = 'KIR'"), 6);
  after.Close();
  if (old_ini) setenv("ODBCINI", saved.c_str(), 1);
}

}  // namespace
}  // namespace korvel
