#include <gtest/gtest.h>

#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QListView>
#include <QPainter>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <functional>

#include "controls/check_list_painter.h"
#include "controls/choose_folder.h"
#include "controls/fit_text.h"

namespace korvel {
namespace {

const QColor kMarker(255, 0, 255);  // never drawn by the painter
const QColor kWhite(255, 255, 255);
const QColor kNavy(0, 0, 128);

QFont TestFont() {
  QFont font(QStringLiteral("DejaVu Sans"));
  font.setPixelSize(12);
  return font;
}

bool Fit(QString& text, int width, int capacity = kCellTextCapacity) {
  return FitTextWithEllipsis(QFontMetrics(TestFont()), text, capacity, width);
}

TEST(FitText, FittingTextIsKeptAndOnePixelTooWideLosesTheFewestCharacters) {
  const QFontMetrics metrics(TestFont());
  const QString original = QStringLiteral("Станция КИРОВ длинная");
  QString text = original;
  EXPECT_TRUE(Fit(text, metrics.horizontalAdvance(original) + 4));
  EXPECT_EQ(text, original);
  const int width = metrics.horizontalAdvance(original) + 3;
  ASSERT_TRUE(Fit(text, width));
  ASSERT_TRUE(text.endsWith(QStringLiteral("...")));  // three full stops, not U+2026
  const QString kept = text.chopped(3);
  EXPECT_TRUE(original.startsWith(kept));
  EXPECT_LE(metrics.horizontalAdvance(text), width - 4);
  EXPECT_GT(metrics.horizontalAdvance(original.left(kept.size() + 1) + QStringLiteral("...")),
            width - 4);
}

TEST(FitText, NarrowCellsKeepTheFullTextAndWidthsBelowFourAreUnlimited) {
  const int dots = QFontMetrics(TestFont()).horizontalAdvance(QStringLiteral("..."));
  QString text = QStringLiteral("N-S");
  EXPECT_FALSE(Fit(text, dots + 3));
  EXPECT_EQ(text, QStringLiteral("N-S"));
  EXPECT_TRUE(Fit(text, dots + 4));
  EXPECT_EQ(text, QStringLiteral("..."));
  for (const int width : {3, 0, -7}) {
    QString whole = QStringLiteral("a long channel name");
    EXPECT_TRUE(Fit(whole, width)) << width;
    EXPECT_EQ(whole, QStringLiteral("a long channel name"));
  }
}

TEST(FitText, CapacityMustHoldTheShortenedTextDotsAndTerminator) {
  const int width = QFontMetrics(TestFont()).horizontalAdvance(QStringLiteral("ABCDEFG...")) + 4;
  QString text = QStringLiteral("ABCDEFGHIJKLMNOP");
  ASSERT_TRUE(Fit(text, width));
  EXPECT_EQ(text, QStringLiteral("ABCDEFG..."));
  text = QStringLiteral("ABCDEFGHIJKLMNOP");
  ASSERT_TRUE(Fit(text, width, 6));
  EXPECT_EQ(text, QStringLiteral("AB..."));
  text = QStringLiteral("ABCDEFGHIJKLMNOP");
  EXPECT_FALSE(Fit(text, width, 3));
  EXPECT_EQ(text, QStringLiteral("ABCDEFGHIJKLMNOP"));
}

TEST(CheckList, CheckBoxImagesAreStripTilesWithRedTransparent) {
  EXPECT_EQ(QImage(QStringLiteral(":/images/checkuncheck.png")).size(), QSize(32, 16));
  const QImage empty = CheckBoxImage(0).toImage().convertToFormat(QImage::Format_ARGB32);
  const QImage ticked = CheckBoxImage(1).toImage().convertToFormat(QImage::Format_ARGB32);
  ASSERT_EQ(empty.size(), QSize(16, 16));
  EXPECT_EQ(qAlpha(empty.pixel(0, 0)), 0);
  EXPECT_EQ(qAlpha(ticked.pixel(15, 15)), 0);
  EXPECT_EQ(empty.pixelColor(2, 2), QColor(0, 0, 0));
  EXPECT_EQ(empty.pixelColor(6, 10), kWhite);
  EXPECT_EQ(ticked.pixelColor(6, 10), QColor(0, 0, 0));
  EXPECT_TRUE(CheckBoxImage(2).isNull());
}

QPalette TestPalette() {
  QPalette palette;
  palette.setColor(QPalette::Text, Qt::black);
  palette.setColor(QPalette::Base, kWhite);
  palette.setColor(QPalette::HighlightedText, kWhite);
  palette.setColor(QPalette::Highlight, kNavy);
  return palette;
}

CheckListRow TestRow() {
  CheckListRow row;
  row.rect = QRect(0, 0, 300, 20);
  row.texts = {QStringLiteral("KIR"), QStringLiteral("Z"), QStringLiteral("100.000")};
  row.column_widths = {90, 105, 105};
  row.state_images = CheckBoxImages();
  row.state_image = kStateTicked;
  row.palette = TestPalette();
  return row;
}

QImage Paint(const CheckListRow& row, bool highlight = true) {
  QImage image(320, 24, QImage::Format_ARGB32);
  image.fill(kMarker);
  QPainter painter(&image);
  painter.setFont(TestFont());
  DrawCheckListRow(painter, row, 3, highlight);
  return image;
}

// The left-most x in [x0, x1) of the row's pixels (y 0 to 19) that are not `colour`.
int FirstInk(const QImage& image, int x0, int x1, const QColor& colour) {
  for (int x = x0; x < x1; ++x) {
    for (int y = 0; y < 20; ++y) {
      if (image.pixelColor(x, y) != colour) return x;
    }
  }
  return -1;
}

TEST(CheckList, StateOneDrawsTheEmptyBoxEveryOtherStateTheTickedBox) {
  for (const int state : {0, 1, 2, 7}) {
    CheckListRow row = TestRow();
    row.state_image = state;
    const QImage image = Paint(row);
    const QImage box = CheckBoxImage(state == kStateUnticked ? 0 : 1).toImage();
    for (int y = 0; y < 16; ++y) {
      for (int x = 0; x < 16; ++x) {
        const QColor expected = qAlpha(box.pixel(x, y)) == 0 ? kMarker : box.pixelColor(x, y);
        ASSERT_EQ(image.pixelColor(x, y), expected) << state << " at " << x << "," << y;
      }
    }
  }
}

TEST(CheckList, CellsFollowTheColumnWidthsAfterTheImage) {
  const QImage image = Paint(TestRow());
  EXPECT_EQ(image.pixelColor(5, 18), kMarker);  // below the image: not painted
  EXPECT_EQ(image.pixelColor(16, 18), kWhite);
  EXPECT_EQ(image.pixelColor(299, 19), kWhite);
  EXPECT_EQ(image.pixelColor(300, 5), kMarker);  // right of the last column
  EXPECT_EQ(image.pixelColor(100, 20), kMarker);
  for (const auto& [left, right] : {std::pair{16, 90}, {90, 195}, {195, 300}}) {
    const int ink = FirstInk(image, left, right, kWhite);
    EXPECT_GE(ink, left + 2);
    EXPECT_LT(ink, left + 6);
  }
  CheckListRow bare = TestRow();
  bare.state_images.clear();
  const QImage no_images = Paint(bare);
  EXPECT_EQ(no_images.pixelColor(0, 18), kWhite);
  EXPECT_GE(FirstInk(no_images, 0, 90, kWhite), 2);
}

// The highlight takes the text cells; the box stays as drawn, so that an
// empty one never looks filled in on the highlighted row.
TEST(CheckList, SelectedRowUsesHighlightColoursAndKeepsTheImageAsDrawn) {
  for (const int state : {kStateUnticked, kStateTicked}) {
    SCOPED_TRACE(state);
    CheckListRow row = TestRow();
    row.state_image = state;
    const QImage plain = Paint(row);
    row.selected = true;
    const QImage image = Paint(row);
    EXPECT_EQ(image.pixelColor(50, 18), kNavy);
    EXPECT_EQ(image.pixelColor(250, 18), kNavy);
    EXPECT_GE(FirstInk(image, 16, 90, kNavy), 18);
    EXPECT_EQ(image.copy(0, 0, 16, 16), plain.copy(0, 0, 16, 16));
    EXPECT_EQ(image.pixelColor(0, 0), kMarker);  // the transparent corner untouched
    const QImage unhighlighted = Paint(row, false);
    EXPECT_EQ(unhighlighted.pixelColor(50, 18), kWhite);
    EXPECT_EQ(unhighlighted.copy(0, 0, 16, 16), plain.copy(0, 0, 16, 16));
  }
}

TEST(CheckList, FocusRectangleIsDottedAndLeavesTheImageOut) {
  CheckListRow row = TestRow();
  const QImage before = Paint(row);
  row.focused = true;
  const QImage after = Paint(row);
  const auto inverted = [&](int x, int y) {
    return (after.pixel(x, y) ^ before.pixel(x, y)) == 0xffffffu;
  };
  EXPECT_TRUE(inverted(16, 0));
  EXPECT_EQ(after.pixel(17, 0), before.pixel(17, 0));
  EXPECT_TRUE(inverted(16, 2));
  EXPECT_TRUE(inverted(299, 1));
  EXPECT_TRUE(inverted(17, 19));
  EXPECT_EQ(after.copy(0, 0, 16, 20), before.copy(0, 0, 16, 20));
}

QImage PaintCell(const QString& text, const QRect& cell, bool by_hand = false) {
  QImage image(200, 20, QImage::Format_ARGB32);
  image.fill(kMarker);
  QPainter painter(&image);
  painter.setFont(TestFont());
  painter.setPen(Qt::black);
  painter.setBackground(Qt::white);
  if (by_hand) {
    painter.fillRect(cell, Qt::white);
    painter.drawText(QPoint(cell.left() + 2, cell.top() + 1 + painter.fontMetrics().ascent()),
                     text);
  } else {
    DrawCellText(painter, text, cell);
  }
  return image;
}

TEST(CheckList, CellTextIsPlacedShortenedOrClipped) {
  const QRect wide(10, 2, 120, 16);
  EXPECT_EQ(PaintCell(QStringLiteral("KIROV"), wide),
            PaintCell(QStringLiteral("KIROV"), wide, true));
  const QString text = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZ");
  QString fitted = text;
  ASSERT_TRUE(Fit(fitted, 80));
  const QRect cell(10, 2, 80, 16);
  EXPECT_EQ(PaintCell(text, cell), PaintCell(fitted, cell, true));
  // Too narrow for the dots: the full text, cut at the cell's edge.
  const QRect narrow(10, 2, 8, 16);
  const QImage clipped = PaintCell(text, narrow);
  EXPECT_EQ(clipped, PaintCell(QStringLiteral("A"), narrow));
  EXPECT_EQ(clipped.copy(18, 0, 182, 20), PaintCell(QString(), QRect()).copy(18, 0, 182, 20));
}

TEST(CheckList, DelegatePaintsTreeWidgetRowsFromTheStateRole) {
  QTreeWidget tree;
  tree.setColumnCount(3);
  tree.setRootIsDecorated(false);
  tree.setFont(TestFont());
  tree.setPalette(TestPalette());
  auto* delegate = new CCheckListDelegate(&tree);
  tree.setItemDelegate(delegate);
  tree.resize(320, 160);
  tree.header()->setStretchLastSection(false);
  for (int column = 0; column < 3; ++column) tree.setColumnWidth(column, 90 + 15 * (column > 0));
  auto* ticked = new QTreeWidgetItem(
      &tree, {QStringLiteral("KIR"), QStringLiteral("Z"), QStringLiteral("1.000")});
  ticked->setData(0, kStateImageRole, kStateTicked);
  auto* unticked = new QTreeWidgetItem(
      &tree, {QStringLiteral("KIR"), QStringLiteral("BHZ"), QStringLiteral("1.000")});
  unticked->setData(0, kStateImageRole, kStateUnticked);
  tree.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&tree));
  tree.setCurrentItem(ticked);
  ticked->setSelected(true);

  const QImage shot = tree.viewport()->grab().toImage().convertToFormat(QImage::Format_ARGB32);
  const QRect row0 = tree.visualItemRect(ticked);
  const QRect row1 = tree.visualItemRect(unticked);
  ASSERT_GE(row0.height(), 16);
  EXPECT_EQ(shot.pixelColor(row1.topLeft() + QPoint(6, 10)), kWhite);  // empty box
  EXPECT_NE(shot.pixelColor(row0.topLeft() + QPoint(6, 10)), kWhite);  // the tick
  EXPECT_EQ(shot.pixelColor(row0.left() + 60, row0.bottom()), kNavy);
  EXPECT_EQ(shot.pixelColor(row0.left() + 250, row0.bottom()), kNavy);
  EXPECT_EQ(shot.pixelColor(row1.left() + 60, row1.bottom()), kWhite);
  const CheckListRow record = delegate->RowFor(QStyleOptionViewItem(), tree.model()->index(1, 2));
  EXPECT_EQ(record.state_image, kStateUnticked);
  EXPECT_EQ(record.texts.value(1), QStringLiteral("BHZ"));
}

TEST(ChooseFolder, DialogIsANonNativeDirectoryChooserWhoseStatusFollowsTheHighlight) {
  QTemporaryDir root;
  ASSERT_TRUE(QDir(root.path()).mkdir(QStringLiteral("alpha")));
  ASSERT_TRUE(QDir(root.path()).mkdir(QStringLiteral("beta")));
  const auto dialog = MakeFolderDialog(nullptr, root.path() + QDir::separator());
  EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Выбор каталога"));
  EXPECT_EQ(dialog->fileMode(), QFileDialog::Directory);
  EXPECT_TRUE(dialog->testOption(QFileDialog::DontUseNativeDialog));
  EXPECT_TRUE(dialog->testOption(QFileDialog::ShowDirsOnly));
  // In Russian, as the rest of the window.
  auto* buttons = dialog->findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"));
  ASSERT_NE(buttons, nullptr);
  EXPECT_EQ(buttons->button(QDialogButtonBox::Open)->text(), QStringLiteral("&Выбрать"));
  EXPECT_EQ(buttons->button(QDialogButtonBox::Cancel)->text(), QStringLiteral("Отмена"));
  QLabel* status = FolderStatusLine(*dialog);
  ASSERT_NE(status, nullptr);
  EXPECT_EQ(QDir(status->text()).canonicalPath(), QDir(root.path()).canonicalPath());

  dialog->show();
  auto* list = dialog->findChild<QListView*>(QStringLiteral("listView"));
  ASSERT_NE(list, nullptr);
  const auto row_of = [&](const QString& name) {
    for (int row = 0; row < list->model()->rowCount(list->rootIndex()); ++row) {
      const QModelIndex index = list->model()->index(row, 0, list->rootIndex());
      if (index.data().toString() == name) return index;
    }
    return QModelIndex();
  };
  ASSERT_TRUE(QTest::qWaitFor([&] { return row_of(QStringLiteral("beta")).isValid(); }, 5000));
  for (const QString& name : {QStringLiteral("beta"), QStringLiteral("alpha")}) {
    list->setCurrentIndex(row_of(name));
    EXPECT_EQ(status->text(), QDir::toNativeSeparators(QDir::cleanPath(root.path() + '/' + name)));
  }
}

// Runs `act` on the modal dialog once ChooseFolder has shown it.
void WhenDialogShows(std::function<void(QDialog*)> act) {
  QTimer::singleShot(0, [act] {
    auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    ASSERT_NE(dialog, nullptr);
    act(dialog);
  });
}

TEST(ChooseFolder, CancelGivesAnEmptyPathAndConfirmTheFullPath) {
  QTemporaryDir root;
  ASSERT_TRUE(QDir(root.path()).mkdir(QStringLiteral("КИР")));
  WhenDialogShows([](QDialog* dialog) { dialog->reject(); });
  EXPECT_TRUE(ChooseFolder(nullptr, root.path()).isEmpty());

  const QString wanted = QDir::toNativeSeparators(root.path() + QStringLiteral("/КИР"));
  WhenDialogShows([wanted](QDialog* dialog) {
    static_cast<QFileDialog*>(dialog)->selectFile(wanted);
    dialog->accept();
  });
  EXPECT_EQ(ChooseFolder(nullptr, root.path()), wanted);
  WhenDialogShows([](QDialog* dialog) { dialog->accept(); });
  EXPECT_EQ(QDir(ChooseFolder(nullptr, root.path())).canonicalPath(),
            QDir(root.path()).canonicalPath());
}

}  // namespace
}  // namespace korvel
