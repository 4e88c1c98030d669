#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStyle>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <QTreeWidget>
#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "controls/open_file_dlg.h"
#include "controls/qt_path.h"
#include "engine/raw_file.h"
#include "platform/native_path.h"
#include "platform/text1251.h"
#include "tests/qt_support/screenshot.h"
#include "tests/support/raw_file_builder.h"
#include "tests/support/temp_dir.h"

namespace korvel {
namespace {

using test::RawFileBuilder;
using test::TempDir;
using Rows = std::vector<std::vector<std::string>>;  // UTF-8 cells

QString Q(const std::filesystem::path& path) { return QDir::fromNativeSeparators(QtPath(path)); }

Rows ListRows(const OpenFileDlg& dlg) {
  Rows rows;
  QTreeWidget* list = dlg.SummaryList();
  for (int i = 0; i < list->topLevelItemCount(); ++i) {
    std::vector<std::string> cells;
    for (int c = 0; c < list->columnCount(); ++c)
      cells.push_back(list->topLevelItem(i)->text(c).toStdString());
    rows.push_back(cells);
  }
  return rows;
}

Rows ExpectedRows(const std::filesystem::path& path) {
  Rows rows;
  for (const RawSummaryRow& r : ReadRawSummary(path))
    rows.push_back({Cp1251ToUtf8(r.station), Cp1251ToUtf8(r.channel), r.rate, r.start, r.duration});
  return rows;
}

QAbstractItemView* FileView(const OpenFileDlg& dlg) {
  return dlg.findChild<QAbstractItemView*>(QStringLiteral("listView"));
}

// Selects exactly these entries in the dialog's file list, as a mouse would.
void SelectInView(const OpenFileDlg& dlg, const std::vector<std::filesystem::path>& paths) {
  QAbstractItemView* view = FileView(dlg);
  ASSERT_NE(view, nullptr);
  auto* model = qobject_cast<QFileSystemModel*>(view->model());
  ASSERT_NE(model, nullptr);
  QItemSelectionModel* selection = view->selectionModel();
  selection->clearSelection();
  for (const auto& path : paths) {
    const QModelIndex index = model->index(Q(path));
    ASSERT_TRUE(index.isValid()) << path;
    selection->select(index, QItemSelectionModel::Select | QItemSelectionModel::Rows);
  }
  EXPECT_TRUE(dlg.WaitForPreview());  // read off the UI thread
}

// The dialog's own Open button, as the operator would press it.
void PressOpen(OpenFileDlg& dlg) {
  auto* buttons = dlg.findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"));
  ASSERT_NE(buttons, nullptr);
  QPushButton* open = buttons->button(QDialogButtonBox::Open);
  ASSERT_NE(open, nullptr);
  ASSERT_TRUE(open->isEnabled());
  open->click();
}

std::string Text1251(const std::filesystem::path& path) { return PathText(path); }

class OpenFileDlgTest : public ::testing::Test {
 protected:
  std::filesystem::path Raw(const std::string& name,
                            std::vector<std::string> channels = {"Z", "N-S"},
                            const std::string& station = "KIR") const {
    const auto path = m_dir / name;
    RawFileBuilder().Station(station).Channels(channels).Frames(100).WriteTo(path);
    return path;
  }
  std::filesystem::path Plain(const std::string& name, const std::string& bytes) const {
    const auto path = m_dir / name;
    test::WriteFileBytes(path, bytes);
    return path;
  }

  TempDir m_dir;
};

TEST_F(OpenFileDlgTest, IsTheFrameworksDialogForSeveralExistingFiles) {
  OpenFileDlg dlg(nullptr, Text1251(m_dir.path()));
  EXPECT_TRUE(dlg.testOption(QFileDialog::DontUseNativeDialog));
  EXPECT_EQ(dlg.fileMode(), QFileDialog::ExistingFiles);
  EXPECT_EQ(dlg.acceptMode(), QFileDialog::AcceptOpen);
  EXPECT_EQ(dlg.nameFilters(), QStringList{QStringLiteral("Все файлы (*.*)")});
  EXPECT_TRUE(dlg.PathName().empty());
  EXPECT_TRUE(dlg.ChosenPaths().empty());

  QTreeWidget* list = dlg.SummaryList();
  ASSERT_EQ(list->columnCount(), 5);
  const QStringList headers = {QStringLiteral("Станция"), QStringLiteral("Канал"),
                               QStringLiteral("Отс/с"), QStringLiteral("Время"),
                               QStringLiteral("Длит.")};
  for (int c = 0; c < 5; ++c) EXPECT_EQ(list->headerItem()->text(c), headers[c]) << c;
  EXPECT_EQ(list->selectionMode(), QAbstractItemView::SingleSelection);
  EXPECT_FALSE(list->isSortingEnabled());
  EXPECT_FALSE(list->header()->sectionsClickable());
  EXPECT_EQ(list->topLevelItemCount(), 0);
  EXPECT_TRUE(dlg.SummaryPanel()->isAncestorOf(list));
}

TEST_F(OpenFileDlgTest, InitialDirectoryIsCodePage1251TextOrElseTheCurrentOne) {
  const auto folder = m_dir.path() / NativePath("\xCA\xC8\xD0");  // КИР
  std::filesystem::create_directory(folder);
  EXPECT_EQ(OpenFileDlg(nullptr, Text1251(folder) + "/").directory().absolutePath(), Q(folder));
  EXPECT_EQ(OpenFileDlg(nullptr, Text1251(m_dir / "no-such-folder")).directory().absolutePath(),
            QDir::currentPath());
  EXPECT_EQ(OpenFileDlg(nullptr, "").directory().absolutePath(), QDir::currentPath());
}

TEST_F(OpenFileDlgTest, NamesWithoutADotAreListed) {
  Raw("nodot");
  Raw("with.dat");
  OpenFileDlg dlg(nullptr, Text1251(m_dir.path()));
  auto* model = qobject_cast<QFileSystemModel*>(FileView(dlg)->model());
  ASSERT_NE(model, nullptr);
  const QModelIndex root = model->index(Q(m_dir.path()));
  ASSERT_TRUE(QTest::qWaitFor([&] { return model->rowCount(root) == 2; }, 5000));
  QStringList names;
  for (int i = 0; i < model->rowCount(root); ++i)
    names << model->index(i, 0, root).data().toString();
  names.sort();
  EXPECT_EQ(names, (QStringList{QStringLiteral("nodot"), QStringLiteral("with.dat")}));
}

// The type column calls raw files by their own name, however the system
// types the extension (".raw" is a camera's raw image to it).
TEST_F(OpenFileDlgTest, RawFilesAreTypedByTheirOwnName) {
  const struct {
    const char* name;
    const char* type;
  } cases[] = {
      {"a.raw", "Файл регистратора Korvel"},
      {"B.RAW", "Файл регистратора Korvel"},
      {"KIR-20070301-000000.kor", "Файл регистратора Korvel"},
      {"sub", "Папка"},
  };
  for (const auto& c : cases)
    if (std::string(c.type) != "Папка") Raw(c.name);
  std::filesystem::create_directory(m_dir / "sub");
  Plain("notes.txt", "text");
  OpenFileDlg dlg(nullptr, Text1251(m_dir.path()));
  auto* model = qobject_cast<QFileSystemModel*>(FileView(dlg)->model());
  ASSERT_NE(model, nullptr);
  const QModelIndex root = model->index(Q(m_dir.path()));
  ASSERT_TRUE(QTest::qWaitFor([&] { return model->rowCount(root) == 5; }, 5000));
  for (const auto& c : cases)
    EXPECT_EQ(model->type(model->index(Q(m_dir / c.name))).toStdString(), c.type) << c.name;
  EXPECT_NE(model->type(model->index(Q(m_dir / "notes.txt"))).toStdString(),
            "Файл регистратора Korvel");
}

TEST_F(OpenFileDlgTest, SelectedRawFileShowsOneRowPerChannel) {
  const auto raw = Raw("a.dat", {"Z", "N-S", "E-W"});
  OpenFileDlg dlg(nullptr, Text1251(m_dir.path()));
  dlg.selectFile(Q(raw));
  ASSERT_TRUE(dlg.WaitForPreview());
  const Rows rows = ListRows(dlg);
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows, ExpectedRows(raw));
  const std::vector<std::string> channels = {"Z", "N-S", "E-W"};
  for (std::size_t i = 0; i < rows.size(); ++i) {
    EXPECT_EQ(rows[i][0], "KIR");
    EXPECT_EQ(rows[i][1], channels[i]);
    EXPECT_EQ(rows[i][2], "100.000");  // the builder's 0.01 s interval
    EXPECT_EQ(rows[i][3], rows[0][3]);
    EXPECT_EQ(rows[i][4], rows[0][4]);
  }
  EXPECT_FALSE(rows[0][3].empty());
  EXPECT_FALSE(rows[0][4].empty());
}

// As it opens, at its own size: the operator reads every column of the
// summary, the file list's columns and a dozen files without resizing
// anything, and the dialog speaks Russian.
TEST_F(OpenFileDlgTest, OpensReadableInRussian) {
  for (const char* name : {"a.dat", "b.dat", "c.dat"}) Raw(name, {"Z", "N-S", "E-W"});
  const auto raw = m_dir / "b.dat";
  OpenFileDlg dlg(nullptr, Text1251(m_dir.path()));
  dlg.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
  QTreeWidget* list = dlg.SummaryList();
  // The dialog lists its folder in the background; the operator clicks the
  // file once it is there (the name line has the focus and takes no text).
  ASSERT_TRUE(QTest::qWaitFor(
      [&] {
        SelectInView(dlg, {raw});
        return list->topLevelItemCount() == 3;
      },
      5000));
  QCoreApplication::processEvents();
  EXPECT_EQ(list->horizontalScrollBar()->maximum(), 0);
  const QFontMetrics cells(list->font());
  const QFontMetrics headers(list->header()->font());
  int right = 0;
  for (int c = 0; c < 5; ++c) {
    const int text = qMax(headers.horizontalAdvance(list->headerItem()->text(c)),
                          cells.horizontalAdvance(list->topLevelItem(0)->text(c)));
    EXPECT_GT(list->columnWidth(c), text) << c;
    right = list->header()->sectionViewportPosition(c) + list->columnWidth(c);
  }
  EXPECT_LE(right, list->viewport()->width());  // "Длит." ends inside the list
  auto* details = dlg.findChild<QTreeView*>(QStringLiteral("treeView"));
  ASSERT_NE(details, nullptr);
  EXPECT_LE(details->header()->length(), details->viewport()->width());
  auto* files = dlg.findChild<QWidget*>(QStringLiteral("stackedWidget"));
  EXPECT_GE(files->height(), 10 * details->fontMetrics().height());

  auto* buttons = dlg.findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"));
  ASSERT_NE(buttons, nullptr);
  EXPECT_EQ(buttons->button(QDialogButtonBox::Open)->text(), QStringLiteral("&Открыть"));
  EXPECT_EQ(buttons->button(QDialogButtonBox::Cancel)->text(), QStringLiteral("Отмена"));
  EXPECT_FALSE(test::SaveScreenshot(dlg, QStringLiteral("open-file-dialog-summary")).isEmpty());
}

// Long names give way, shortened in their middle: size, type and the date
// (Russian, "10.12.2026 21:47") stay whole and in sight.
TEST_F(OpenFileDlgTest, TheDateColumnIsNeverCutOff) {
  for (int i = 0; i < 30; ++i)
    Raw("recording-" + std::to_string(i) + "-of-station-KIR-at-the-far-end.raw", {"Z"});
  OpenFileDlg dlg(nullptr, Text1251(m_dir.path()));
  dlg.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
  auto* details = dlg.findChild<QTreeView*>(QStringLiteral("treeView"));
  ASSERT_NE(details, nullptr);
  auto* model = qobject_cast<QFileSystemModel*>(details->model());
  ASSERT_NE(model, nullptr);
  const QModelIndex root = model->index(Q(m_dir.path()));
  ASSERT_TRUE(QTest::qWaitFor([&] { return model->rowCount(root) == 30; }, 5000));
  QTest::qWait(200);  // the sizes and dates follow the names
  const QModelIndex first = model->index(0, 3, root);
  const QString date = first.data().toString();
  ASSERT_FALSE(date.isEmpty());
  QHeaderView* header = details->header();
  EXPECT_LE(header->sectionViewportPosition(3) + header->sectionSize(3),
            details->viewport()->width());
  EXPECT_GE(header->sectionSize(3), details->fontMetrics().horizontalAdvance(date));
  EXPECT_EQ(details->horizontalScrollBar()->maximum(), 0);
  EXPECT_EQ(details->textElideMode(), Qt::ElideMiddle);
  EXPECT_FALSE(test::SaveScreenshot(dlg, QStringLiteral("open-file-dialog-long-names")).isEmpty());
}

TEST_F(OpenFileDlgTest, NamesAreShownConvertedFromCodePage1251) {
  const auto raw = Raw("k.dat", {"\xC2\xE5\xF0\xF2"}, "\xCA\xC8\xD0");  // Верт, КИР
  OpenFileDlg dlg(nullptr, Text1251(m_dir.path()));
  dlg.selectFile(Q(raw));
  ASSERT_TRUE(dlg.WaitForPreview());
  ASSERT_EQ(dlg.SummaryList()->topLevelItemCount(), 1);
  EXPECT_EQ(dlg.SummaryList()->topLevelItem(0)->text(0), QStringLiteral("КИР"));
  EXPECT_EQ(dlg.SummaryList()->topLevelItem(0)->text(1), QStringLiteral("Верт"));
}

TEST_F(OpenFileDlgTest, OnlyASingleRawFileHasASummary) {
  const auto two = Raw("two.dat", {"Z", "N-S"});
  const auto one = Raw("one.dat", {"E-W"}, "MOS");
  const auto text = Plain("notes.txt", "not a raw file at all\n");
  const auto folder = m_dir / "sub";
  std::filesystem::create_directory(folder);
  OpenFileDlg dlg(nullptr, Text1251(m_dir.path()));
  // Each case follows a raw file, so a list that is not cleared shows up.
  const std::vector<std::vector<std::filesystem::path>> empty_cases = {
      {text}, {folder}, {two, one}, {}};
  for (const auto& selection : empty_cases) {
    SelectInView(dlg, {two});
    ASSERT_EQ(ListRows(dlg).size(), 2u);
    SelectInView(dlg, selection);
    EXPECT_TRUE(ListRows(dlg).empty()) << selection.size() << " entries";
  }
  SelectInView(dlg, {one});
  EXPECT_EQ(ListRows(dlg), ExpectedRows(one));
}

TEST_F(OpenFileDlgTest, OneChosenFileIsThePathNameAsOnDisk) {
  const auto raw = Raw(Cp1251ToUtf8("\xEA\xE8\xF0.dat"));  // кир.dat
  const auto japanese =
      Raw("\xE6\x97\xA5\xE6\x9C\xAC.dat");  // 日本.dat: no place in code page 1251
  for (const auto& chosen : {raw, japanese}) {
    OpenFileDlg dlg(nullptr, Text1251(m_dir.path()));
    dlg.selectFile(Q(chosen));
    PressOpen(dlg);
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    ASSERT_EQ(dlg.ChosenPaths(), std::vector<std::filesystem::path>{chosen});
    EXPECT_EQ(dlg.PathName(), chosen);
  }
}

TEST_F(OpenFileDlgTest, SeveralChosenFilesNameTheirFolder) {
  const auto first = Raw("b.dat");
  const auto second = Raw("a.dat");
  const auto third = Plain("c.txt", "x");
  OpenFileDlg dlg(nullptr, Text1251(m_dir.path()));
  // The folder's model sorts on its own time: wait until it has.
  auto* model = qobject_cast<QFileSystemModel*>(FileView(dlg)->model());
  ASSERT_NE(model, nullptr);
  EXPECT_TRUE(QTest::qWaitFor(
      [&] {
        const int a = model->index(Q(second)).row(), b = model->index(Q(first)).row(),
                  c = model->index(Q(third)).row();
        return a >= 0 && a < b && b < c;
      },
      5000));
  SelectInView(dlg, {first, second, third});
  // In the order the list shows them when Open is pressed: the model may
  // still be sorting the folder again as the files' details come in.
  std::vector<std::filesystem::path> shown{first, second, third};
  std::sort(shown.begin(), shown.end(), [&](const auto& x, const auto& y) {
    return model->index(Q(x)).row() < model->index(Q(y)).row();
  });
  PressOpen(dlg);
  EXPECT_EQ(dlg.result(), QDialog::Accepted);
  EXPECT_EQ(dlg.PathName(), m_dir.path());
  EXPECT_EQ(dlg.ChosenPaths(), shown);
}

TEST_F(OpenFileDlgTest, ModalRunReturnsTheChoice) {
  const auto raw = Raw("a.dat");
  OpenFileDlg dlg(nullptr, Text1251(m_dir.path()));
  QTimer::singleShot(0, &dlg, [&] {
    dlg.selectFile(Q(raw));
    EXPECT_TRUE(dlg.WaitForPreview());
    EXPECT_EQ(dlg.SummaryList()->topLevelItemCount(), 2);
    PressOpen(dlg);
  });
  QTimer::singleShot(60000, &dlg, [&] { dlg.reject(); });  // never hang the suite
  EXPECT_EQ(dlg.exec(), QDialog::Accepted);
  EXPECT_EQ(dlg.ChosenPaths(), std::vector<std::filesystem::path>{raw});

  QTimer::singleShot(0, &dlg, [&] { dlg.reject(); });
  EXPECT_EQ(dlg.exec(), QDialog::Rejected);
  EXPECT_TRUE(dlg.ChosenPaths().empty());
}

TEST_F(OpenFileDlgTest, PanelSitsBelowTheDialogWithTheFileListsEdges) {
  OpenFileDlg dlg(nullptr, Text1251(m_dir.path()));
  dlg.resize(700, 500);
  dlg.resize(760, dlg.height());
  dlg.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
  QWidget* panel = dlg.SummaryPanel();
  QTreeWidget* list = dlg.SummaryList();
  auto* files = dlg.findChild<QWidget*>(QStringLiteral("stackedWidget"));
  auto* name_edit = dlg.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
  auto* types = dlg.findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
  ASSERT_NE(files, nullptr);
  ASSERT_NE(name_edit, nullptr);
  ASSERT_NE(types, nullptr);
  EXPECT_EQ(types->currentText(), QStringLiteral("Все файлы (*.*)"));

  const int panel_top = panel->mapTo(&dlg, QPoint(0, 0)).y();
  EXPECT_GE(panel_top, types->mapTo(&dlg, QPoint(0, types->height())).y());
  EXPECT_GT(panel->height(), list->height());

  const QPoint list_at = list->mapTo(&dlg, QPoint(0, 0));
  const QPoint files_at = files->mapTo(&dlg, QPoint(0, 0));
  EXPECT_EQ(list_at.x(), files_at.x());
  EXPECT_EQ(list->width(), files->width());

  // The columns fill the list, no more: nothing to scroll sideways.
  int total = 0;
  for (int c = 0; c < 5; ++c) total += list->columnWidth(c);
  EXPECT_LE(total, list->viewport()->width());
  EXPECT_GE(total,
            list->viewport()->width() - list->style()->pixelMetric(QStyle::PM_ScrollBarExtent) - 2);

  // The edges follow the file list when the dialog grows.
  dlg.resize(900, 520);
  ASSERT_TRUE(QTest::qWaitFor([&] { return files->width() == list->width(); }, 2000));
  EXPECT_EQ(list->mapTo(&dlg, QPoint(0, 0)).x(), files->mapTo(&dlg, QPoint(0, 0)).x());
}

}  // namespace
}  // namespace korvel
