#include "controls/open_file_dlg.h"

#include <algorithm>

#include <QAbstractItemView>
#include <QDir>
#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QFileSystemModel>

#include <QGridLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QShowEvent>
#include <QSplitter>
#include <QStyle>
#include <QTreeView>
#include <QTreeWidget>
#include <filesystem>
#include <system_error>
#include "controls/name_only_icon_provider.h"

#include "controls/background_reader.h"
#include "controls/dialog_units.h"
#include "controls/qt_path.h"
#include "controls/waveform_view.h"
#include "engine/raw_file.h"
#include "platform/native_path.h"
#include "platform/text1251.h"

namespace korvel {
namespace {

// Panel and list geometry in dialog units: the list as the Windows panel
// had it, the channel's picture below it.
constexpr int kListX = 7, kListY = 7, kListHeight = 91;
constexpr int kLeastListHeight = 30;  // three channels or so
constexpr int kWaveformHeight = 48;
// The panel's height for a summary list `list` dialog units high.
constexpr int PanelHeight(int list) { return kListY + list + 4 + kWaveformHeight + 5; }

QString FromText1251(const std::string& text) { return QString::fromStdString(Cp1251ToUtf8(text)); }

QString StartDirectory(const std::string& text1251) {
  std::error_code ec;
  std::filesystem::path dir = NativePath(text1251);
  if (!dir.empty()) dir = std::filesystem::absolute(dir, ec);
  // As the Windows dialog does, an unusable initial folder means the current one.
  if (dir.empty() || ec || !std::filesystem::is_directory(dir, ec)) return QDir::currentPath();
  return QDir::cleanPath(QtPath(dir));
}

}  // namespace

OpenFileDlg::OpenFileDlg(QWidget* parent, const std::string& initial_directory1251)
    : QFileDialog(parent) {
  // The panel goes into the framework's own widgets, so never the platform's dialog.
  setOption(QFileDialog::DontUseNativeDialog, true);
  TypeFilesByName(*this);
  setAcceptMode(QFileDialog::AcceptOpen);
  setFileMode(QFileDialog::ExistingFiles);
  setNameFilter(QStringLiteral("Все файлы (*.*)"));
  ShowAllFiles();
  // Picking the filter again would bring back the literal pattern.
  connect(this, &QFileDialog::filterSelected, this, [this] { ShowAllFiles(); });
  setDirectory(StartDirectory(initial_directory1251));

  m_summary_reader = new CBackgroundReader(this);
  BuildPanel();

  if (auto* view = findChild<QAbstractItemView*>(QStringLiteral("listView"))) {
    // The detail view shares this selection model, so one connection covers both.
    if (QItemSelectionModel* selection = view->selectionModel())
      connect(selection, &QItemSelectionModel::selectionChanged, this,
              [this] { RefreshFromSelection(); });
  }
  connect(this, &QFileDialog::currentChanged, this, [this] { RefreshFromSelection(); });
  connect(this, &QFileDialog::filesSelected, this,
          [this](const QStringList& files) { TakeChosen(files); });
  connect(this, &QDialog::rejected, this, [this] {
    m_path_name.clear();
    m_chosen.clear();
  });
  // Closed, the dialog reads nothing more: a preview of a large file under
  // way stops, and the window is not kept waiting for it.
  connect(this, &QDialog::finished, this, [this] {
    m_summary_reader->Cancel();
    m_waveform->Clear();
  });
  // The file list's own columns fit what the folder holds, once it is read.
  if (auto* view = findChild<QAbstractItemView*>(QStringLiteral("listView"))) {
    if (auto* model = qobject_cast<QFileSystemModel*>(view->model()))
      connect(model, &QFileSystemModel::directoryLoaded, this, [this] { FitFileColumns(); });
  }
}

void OpenFileDlg::ShowAllFiles() {
  // On Windows "*.*" matches every name, with or without a dot; Qt would
  // hide names without one, and raw files often have no extension.
  auto* view = findChild<QAbstractItemView*>(QStringLiteral("listView"));
  if (auto* model = view ? qobject_cast<QFileSystemModel*>(view->model()) : nullptr)
    model->setNameFilters({});
}

void OpenFileDlg::BuildPanel() {
  m_panel = new QWidget(this);
  m_panel->setObjectName(QStringLiteral("summaryPanel"));
  // Below the dialog's own rows, on the screen with them and half a dozen
  // files: where a netbook's screen has no room for the panel at full size,
  // its font gives way a little and its summary list more, never its
  // waveform.
  const int own = minimumSizeHint().height();
  m_panel->setFont(DialogFontFitting(*this, 0, PanelHeight(kLeastListHeight), QSize(0, own)));
  m_list = new QTreeWidget(m_panel);
  m_list->setObjectName(QStringLiteral("summaryList"));
  m_list->setProperty("controlId", kSummaryListId);
  m_list->setColumnCount(kSummaryColumnCount);
  QStringList headers;
  for (const char* header : kSummaryHeaders) headers << QString::fromUtf8(header);
  m_list->setHeaderLabels(headers);
  m_list->setRootIsDecorated(false);
  m_list->setItemsExpandable(false);
  m_list->setUniformRowHeights(true);
  m_list->setSelectionMode(QAbstractItemView::SingleSelection);
  m_list->setSortingEnabled(false);
  m_list->header()->setSectionsClickable(false);
  m_list->header()->setSortIndicatorShown(false);
  m_list->header()->setStretchLastSection(false);
  m_list->setFrameShape(QFrame::StyledPanel);
  m_list->setFocusPolicy(Qt::StrongFocus);

  m_waveform = new CWaveformView(m_panel);
  connect(m_list, &QTreeWidget::itemSelectionChanged, this, [this] { ShowPickedChannel(); });

  const DialogBaseUnits units = BaseUnitsOf(m_panel->font());
  const int files = 6 * (QFontMetrics(font()).height() + 6);
  const int room = FitOnScreen(*this, QSize(1, 1 << 20)).height() - own - files;
  const int over = DialogRect(units, 0, 0, 0, PanelHeight(kListHeight)).height() - room;
  m_list_height = kListHeight - std::max(0, over * 8 / units.y + 1);
  m_list_height = std::clamp(m_list_height, kLeastListHeight, kListHeight);
  m_panel->setFixedHeight(DialogRect(units, 0, 0, 0, PanelHeight(m_list_height)).height());
  m_list->setGeometry(DialogRect(units, kListX, kListY, 0, m_list_height));

  // Below all of the dialog's own rows, across its whole width.
  if (auto* grid = qobject_cast<QGridLayout*>(layout()))
    grid->addWidget(m_panel, grid->rowCount(), 0, 1, grid->columnCount());
  else if (layout())
    layout()->addWidget(m_panel);

  m_file_view = findChild<QWidget*>(QStringLiteral("stackedWidget"));
  m_panel->installEventFilter(this);
  if (m_file_view) {
    m_file_view->installEventFilter(this);
    if (QWidget* frame = m_file_view->parentWidget(); frame && frame != this)
      frame->installEventFilter(this);
  }
  AlignList();
}

bool OpenFileDlg::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::Resize || event->type() == QEvent::Move) AlignList();
  return QFileDialog::eventFilter(watched, event);
}

void OpenFileDlg::AlignList() {
  if (!m_panel || !m_list || !m_waveform) return;
  const DialogBaseUnits units = BaseUnitsOf(m_panel->font());
  const QRect fallback = DialogRect(units, kListX, kListY, 0, m_list_height);
  int left = fallback.x();
  int right = m_panel->width() - fallback.x();
  if (m_file_view) {
    // The list takes the left and right edges of the dialog's file list.
    const QPoint origin =
        m_file_view->mapTo(this, QPoint(0, 0)) - m_panel->mapTo(this, QPoint(0, 0));
    left = origin.x();
    right = origin.x() + m_file_view->width();
  }
  m_list->setGeometry(left, fallback.y(), qMax(0, right - left), fallback.height());
  const QRect waveform = DialogRect(units, kListX, kListY + m_list_height + 4, 0, kWaveformHeight);
  m_waveform->setGeometry(left, waveform.y(), qMax(0, right - left), waveform.height());
  if (m_columns_sized) SizeColumns();
}

// The widths the five columns need: their header or a typical value,
// whichever is wider. Times and durations have a fixed form.
QList<int> OpenFileDlg::ColumnsNeeded() const {
  static const char* const kTypical[kSummaryColumnCount] = {
      "WWWWW", "WWWWW", "1000.000", "00:00:00.00 00.00.0000", "00:00:00.00"};
  const QFontMetrics cells(m_list->font());
  const QFontMetrics headers(m_list->header()->font());
  const int padding =
      2 * m_list->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, m_list) + 8;
  QList<int> widths;
  for (int c = 0; c < kSummaryColumnCount; ++c)
    widths << qMax(headers.horizontalAdvance(QString::fromUtf8(kSummaryHeaders[c])),
                   cells.horizontalAdvance(QString::fromLatin1(kTypical[c]))) +
                  padding;
  return widths;
}

int OpenFileDlg::ListWidthNeeded() const {
  int width = 2 * m_list->frameWidth() +
              m_list->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, m_list);
  for (int needed : ColumnsNeeded()) width += needed;
  return width;
}

void OpenFileDlg::SizeColumns() {
  // Every column as wide as it needs; what room is left goes to the station
  // and channel names. Nothing hides behind a horizontal scroll bar.
  QList<int> widths = ColumnsNeeded();
  int used = 0;
  for (int needed : widths) used += needed;
  // Room is kept for a vertical scroll bar, shown or not.
  const int room = m_list->width() - 2 * m_list->frameWidth() -
                   m_list->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, m_list);
  const int spare = qMax(0, room - used);
  widths[0] += spare / 2;
  widths[1] += spare - spare / 2;
  for (int c = 0; c < kSummaryColumnCount; ++c) m_list->setColumnWidth(c, widths[c]);
}

void OpenFileDlg::SizeToContents() {
  // Wide enough for the five summary columns, tall enough for a dozen files.
  // The places on the left show their names whole.
  auto* splitter = findChild<QSplitter*>(QStringLiteral("splitter"));
  auto* places = findChild<QAbstractItemView*>(QStringLiteral("sidebar"));
  if (splitter && places && splitter->count() == 2) {
    const int side = places->sizeHintForColumn(0) + 2 * places->frameWidth() + 8;
    QList<int> sizes = splitter->sizes();
    if (sizes[0] < side) {
      sizes[1] = qMax(0, sizes[1] - (side - sizes[0]));
      sizes[0] = side;
      splitter->setSizes(sizes);
    }
  }
  QSize wanted = size();
  if (m_file_view) {
    const int margins = width() - m_file_view->width();
    wanted.setWidth(qMax(wanted.width(), ListWidthNeeded() + margins));
    const int rows = 12 * (QFontMetrics(m_file_view->font()).height() + 6);
    wanted.setHeight(wanted.height() + qMax(0, rows - m_file_view->height()));
  }
  resize(FitOnScreen(*this, wanted));
}

void OpenFileDlg::FitFileColumns() {
  // Size, type and date as wide as what they show; the name takes the rest,
  // shortened in its middle where it is longer, so that the date is never
  // pushed out of sight behind a scroll bar.
  auto* details = findChild<QTreeView*>(QStringLiteral("treeView"));
  if (!details || details->model() == nullptr) return;
  details->setTextElideMode(Qt::ElideMiddle);
  QHeaderView* header = details->header();
  int others = 0;
  for (int c = 1; c < header->count(); ++c) {
    if (header->isSectionHidden(c)) continue;
    details->resizeColumnToContents(c);
    others += header->sectionSize(c);
  }
  details->resizeColumnToContents(0);
  // A shown dialog grows, as far as the screen lets it, to give the names
  // room for some thirty characters beside the other columns.
  const int average = details->fontMetrics().averageCharWidth();
  const int wanted = qMin(header->sectionSize(0), 32 * average);
  const int short_by = wanted - (details->viewport()->width() - others);
  if (short_by > 0 && isVisible()) {
    resize(FitOnScreen(*this, size() + QSize(short_by, 0)));
    if (layout()) layout()->activate();
  }
  const int least = qMin(header->sectionSize(0), 12 * average);
  header->resizeSection(0, qMax(least, details->viewport()->width() - others));
}

void OpenFileDlg::showEvent(QShowEvent* event) {
  QFileDialog::showEvent(event);
  if (m_columns_sized) return;
  // Laid out by now: the margins around the file list are known.
  if (layout()) layout()->activate();
  SizeToContents();
  if (layout()) layout()->activate();
  AlignList();
  m_columns_sized = true;
  SizeColumns();
  FitFileColumns();
}

void OpenFileDlg::RefreshFromSelection() {
  auto* view = findChild<QAbstractItemView*>(QStringLiteral("listView"));
  QItemSelectionModel* selection = view ? view->selectionModel() : nullptr;
  const QModelIndexList rows = selection ? selection->selectedRows() : QModelIndexList();
  // Several entries are no single file, so they have no summary.
  ShowSummaryOf(rows.size() == 1 ? rows.front().data(QFileSystemModel::FilePathRole).toString()
                                 : QString());
}

void OpenFileDlg::ShowSummaryOf(const QString& path) {
  const std::filesystem::path file = path.isEmpty() ? std::filesystem::path() : FsPath(path);
  // A click reports itself twice (the current item, then the selection):
  // the file shown, or being read, is not read again.
  if (file == m_summary_path &&
      (file.empty() || m_list->topLevelItemCount() > 0 || m_summary_reader->Busy()))
    return;
  m_list->clear();
  m_summary_path = file;
  if (file.empty()) {
    m_summary_reader->Read<std::vector<RawSummaryRow>>(
        [](std::stop_token) { return std::vector<RawSummaryRow>(); },
        [this](auto&) { ShowPickedChannel(); });
    return;
  }
  // Folders, FIFOs and unreadable files are refused inside the reader.
  m_summary_reader->Read<std::vector<RawSummaryRow>>(
      [file](std::stop_token) { return ReadRawSummary(file); },
      [this](std::vector<RawSummaryRow>& rows) {
        QList<QTreeWidgetItem*> items;
        items.reserve(static_cast<qsizetype>(rows.size()));
        for (const RawSummaryRow& row : rows) {
          items << new QTreeWidgetItem(QStringList{
              FromText1251(row.station), FromText1251(row.channel), FromText1251(row.rate),
              FromText1251(row.start), FromText1251(row.duration)});
        }
        m_list->addTopLevelItems(items);
        ShowPickedChannel();
      });
}

bool OpenFileDlg::WaitForPreview(int milliseconds) const {
  return WaitUntilShown(*m_summary_reader, milliseconds) &&
         WaitUntilShown(m_waveform->Reader(), milliseconds);
}

void OpenFileDlg::ShowPickedChannel() {
  if (m_list->topLevelItemCount() == 0) {
    m_waveform->Clear();
    return;
  }
  const QList<QTreeWidgetItem*> picked = m_list->selectedItems();
  QTreeWidgetItem* item = picked.isEmpty() ? m_list->topLevelItem(0) : picked.front();
  m_waveform->ShowChannel(m_summary_path, m_list->indexOfTopLevelItem(item), item->text(1));
}

void OpenFileDlg::TakeChosen(const QStringList& files) {
  m_chosen.clear();
  for (const QString& file : files) m_chosen.push_back(FsPath(file));
  if (m_chosen.size() == 1)
    m_path_name = m_chosen.front();
  else if (m_chosen.empty())
    m_path_name.clear();
  else
    m_path_name = FsPath(directory().absolutePath());
}

}  // namespace korvel
