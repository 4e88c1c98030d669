#include "mainwindow/main_dialog.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QEventLoop>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QShortcut>
#include <QTimer>
#include <QTreeWidget>
#include <algorithm>
#include <cstdio>

#include "config/config_files.h"
#include "config/settings.h"
#include "controls/check_list_painter.h"
#include "controls/date_time_edit.h"
#include "controls/dialog_units.h"
#include "controls/hover_button.h"
#include "controls/latin_mnemonics.h"
#include "controls/mask_edit.h"
#include "controls/multi_select_list_box.h"
#include "database/catalogue_rows.h"
#include "database/chan_list.h"
#include "database/connection.h"
#include "database/db_exception.h"
#include "engine/conversion_commands.h"
#include "engine/time_window.h"
#include "mainwindow/about_dialog.h"
#include "mainwindow/command_input_gate.h"
#include "mainwindow/control_ids.h"
#include "mainwindow/coverage_dialog.h"
#include "mainwindow/first_use_texts.h"
#include "mainwindow/product_folders.h"
#include "platform/number_text.h"
#include "platform/stop_request.h"
#include "platform/text1251.h"

namespace korvel {
namespace {

constexpr int kUnticked = 1;
constexpr int kTicked = 2;

// While a conversion runs, the status line says how to stop it.
constexpr const char* kStopHint = "Esc — Стоп";
// The window's least size, in dialog units.
constexpr int kDialogWidth = 352;
constexpr int kDialogHeight = 161;
// How often the engine's steps let the window take its events: Escape and
// the close box are seen within this, and the work is hardly slowed.
constexpr int kEventIntervalMs = 50;
// How often a stop signal is looked for while the window waits for the operator.
constexpr int kStopSignalPollMs = 100;

QString Text(const std::string& text1251) { return QString::fromStdString(Cp1251ToUtf8(text1251)); }
std::string Text1251(const QString& text) { return Utf8ToCp1251(text.toStdString()); }

}  // namespace

CMainDialog::CMainDialog(CDatabase& database, OutputWriter& writer, Notifier& notifier,
                         std::string initial_station, QWidget* parent)
    : QDialog(parent),
      m_database(database),
      m_writer(writer),
      m_operator(notifier),
      m_initial_station(std::move(initial_station)) {
  BuildControls();
  // The About entry: F1, and the context menu of the dialog's own background
  // (the two lists have none, so a right click there never brings it up);
  // the coverage picture beside it.
  auto* about = new QAction(QStringLiteral("&О Korvel2tqf..."), this);
  about->setShortcut(QKeySequence(Qt::Key_F1));
  about->setShortcutContext(Qt::WindowShortcut);
  connect(about, &QAction::triggered, this, &CMainDialog::ShowAbout);
  addAction(about);
  auto* coverage = new QAction(QStringLiteral("&Покрытие данных..."), this);
  connect(coverage, &QAction::triggered, this, &CMainDialog::ShowCoverage);
  addAction(coverage);
#ifdef KORVEL_WITH_SEED
  auto* export_sds = new QAction(QStringLiteral("&Экспорт в miniSEED (SDS)..."), this);
  connect(export_sds, &QAction::triggered, this, &CMainDialog::ExportSelectionToSds);
  addAction(export_sds);
#endif
  setContextMenuPolicy(Qt::ActionsContextMenu);
  setWindowIcon(IconWithAllSizes(128));
  ConfigureHoverButtons();
  ConnectCommands();
  AddLatinMnemonics(this);

  m_start_edit->SelectLayout(2);
  m_length_edit->SetMaskActive(true);
  m_length_edit->SetDateDigitRule(false);
  m_length_edit->ApplyMask("00:00:00", "__:__:__", "00:01:00");
  m_length_edit->SetValueText("00:30:00");

  m_scan_subdirectories = ReadScanSubdirectories();
  m_writer.SetContinueAcrossRuns(ReadContinueOutput() != 0);
  m_writer.SetDurable(ReadDurableOutput());
  const int width = m_channel_list->contentsRect().width();  // the client width: no scroll bar yet
  m_channel_list->setColumnWidth(0, static_cast<int>(width * 0.30));
  m_channel_list->setColumnWidth(1, static_cast<int>(width * 0.35));
  m_channel_list->setColumnWidth(2, static_cast<int>(width * 0.35));

  PreselectStation(LoadStations());
  // Shift+F10 and the menu key bring up the dialog's menu wherever the focus is.
  for (const QKeySequence& keys :
       {QKeySequence(Qt::SHIFT | Qt::Key_F10), QKeySequence(Qt::Key_Menu)}) {
    auto* shortcut = new QShortcut(keys, this);
    connect(shortcut, &QShortcut::activated, this, &CMainDialog::ShowMenuAtFocus);
  }
  // The focus starts, visibly, on the stations: Space there picks a station
  // and never starts a conversion.
  m_station_list->setFocus(Qt::TabFocusReason);
  // A signal handler may only set a flag: the window looks at it from here.
  auto* stop_signal_poll = new QTimer(this);
  connect(stop_signal_poll, &QTimer::timeout, this, &CMainDialog::OnStopSignal);
  stop_signal_poll->start(kStopSignalPollMs);
  // Said once the window is up, over it: without the file the list is empty.
  if (const std::optional<std::string> text = MissingProgramIniText())
    QTimer::singleShot(0, this, [this, message = *text] {
      m_operator.Message(message, kCommandCaption, MessageIcon::Warning);
    });
}

void CMainDialog::ShowMenuAtFocus() {
  QWidget* focus = focusWidget() != nullptr ? focusWidget() : this;
  QMenu::exec(actions(), focus->mapToGlobal(focus->rect().center()), nullptr, this);
}

void CMainDialog::resizeEvent(QResizeEvent* event) {
  QDialog::resizeEvent(event);
  const int dx = std::max(0, width() - m_base_size.width());
  const int dy = std::max(0, height() - m_base_size.height());
  for (const Placed& placed : m_growth) {
    QRect r = placed.base;
    if (placed.growth.move_x) r.translate(dx, 0);
    if (placed.growth.move_y) r.translate(0, dy);
    if (placed.growth.grow_w) r.setWidth(r.width() + dx);
    if (placed.growth.grow_h) r.setHeight(r.height() + dy);
    placed.widget->setGeometry(r);
  }
}

void CMainDialog::ShowAbout() { CAboutDialog(this).exec(); }

std::optional<CoverageReport> CMainDialog::CoverageOfSelection() {
  if (!ReadBackTimeWindow()) return std::nullopt;
  const std::vector<std::string> stations = SelectedStations();
  if (stations.empty()) {
    m_operator.Beep();
    m_operator.Message("Не выбрана станция !!!", kCommandCaption, MessageIcon::Error);
    return std::nullopt;
  }
  EpochSeconds start = 0.0;
  double length = 0.0;
  ReadTimeWindow(start, length);
  std::vector<CoverageFile> files;
  if (!ShowingDatabaseErrors([&] {
        WaitCursor wait(*this);
        files = ReadCoverageFiles(m_database, stations);
      }))
    return std::nullopt;
  return ComputeCoverage(
      stations, files,
      length > 0 ? std::optional<TimeSpan>(TimeSpan{start, start + length}) : std::nullopt);
}

void CMainDialog::ShowCoverage() {
  std::optional<CoverageReport> report = CoverageOfSelection();
  if (!report) return;
  CCoverageDialog dialog(std::move(*report), ProductStartFolder(m_svg_folder), this);
  dialog.exec();
  m_svg_folder = dialog.SvgFolder();
}

CMainDialog::~CMainDialog() = default;

void CMainDialog::BuildControls() {
  setWindowTitle(QStringLiteral("KORVEL2TQF"));
  setFont(DialogFontFitting(*this, kDialogWidth, kDialogHeight));
  const DialogBaseUnits units = BaseUnitsOf(font());
  // The described size is the least: the lists grow with the window.
  m_base_size = DialogRect(units, 0, 0, kDialogWidth, kDialogHeight).size();
  setMinimumSize(m_base_size);
  resize(m_base_size);
  const auto place = [&](QWidget* w, int id, int x, int y, int cx, int cy) {
    w->setGeometry(DialogRect(units, x, y, cx, cy));
    if (id != 0) w->setObjectName(QString::number(id));
    // Right of the lists a control moves with the right edge; below them,
    // with the bottom; the lists and their frames grow.
    const bool lists = (x < 80 && cy > 100) || (x >= 80 && x < 90 && y < 20);
    Growth growth;
    growth.move_x = x >= 230;
    growth.move_y = y >= 90 && !lists;
    growth.grow_w = x >= 80 && x < 90 && y < 20;
    growth.grow_h = lists;
    if (id == kIdStatusLine) growth.grow_w = true;
    m_growth.push_back({w, w->geometry(), growth});
  };
  const auto button = [&](int id, const char* text, int x, int y, int cx, int cy) {
    auto* b = new QPushButton(QString::fromUtf8(text), this);
    place(b, id, x, y, cx, cy);
    b->setAutoDefault(false);
    m_buttons.push_back(b);
    return b;
  };
  // Created in tab order.
  // Alt and the underlined letter presses each command button.
  QPushButton* convert = button(kIdConvert, "&Конвертировать", 261, 18, 84, 20);
  convert->setDefault(true);
  button(kIdConvertDirectory, "Конв. к&аталог(и)...", 261, 66, 84, 20);
  button(kIdConvertFiles, "Конв. &файл(ы)...", 261, 42, 84, 20);
  button(kIdExit, "В&ыход", 261, 133, 84, 20);

  m_station_list = new CMultiSelectListBox(this);
  place(m_station_list, kIdStationList, 12, 17, 61, 113);

  m_start_edit = new CDateTimeEdit(this);
  place(m_start_edit, kIdStartEdit, 86, 114, 90, 14);
  m_length_edit = new CMaskEdit(this);
  place(m_length_edit, kIdLengthEdit, 187, 114, 64, 14);
  m_status_line = new QLabel(this);
  place(m_status_line, kIdStatusLine, 87, 139, 162, 8);

  place(new QGroupBox(QStringLiteral("Каналы"), this), 0, 80, 7, 179, 147);
  m_channel_list = new QTreeWidget(this);
  place(m_channel_list, kIdChannelList, 85, 18, 166, 74);
  m_channel_list->setColumnCount(3);
  m_channel_list->setHeaderLabels(
      {QStringLiteral("Станция"), QStringLiteral("Канал"), QStringLiteral("Отс./с.")});
  m_channel_list->setRootIsDecorated(false);
  m_channel_list->setUniformRowHeights(true);
  m_channel_list->setSelectionMode(QAbstractItemView::SingleSelection);
  m_channel_list->setItemDelegate(new CCheckListDelegate(m_channel_list));
  // The painter draws the columns in their own order.
  m_channel_list->header()->setSectionsMovable(false);
  m_channel_list->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
  // The columns share the width left beside a vertical scroll bar: never a
  // horizontal one.
  m_channel_list->header()->setStretchLastSection(true);
  m_channel_list->setContextMenuPolicy(Qt::PreventContextMenu);
  m_channel_list->viewport()->installEventFilter(this);
  m_channel_list->installEventFilter(this);

  button(kIdSelectAllStations, "", 12, 135, 21, 14);
  button(kIdDeselectAllStations, "", 52, 135, 21, 14);
  place(new QGroupBox(QStringLiteral("Станции"), this), 0, 7, 7, 70, 147);
  button(kIdTickAllChannels, "", 85, 95, 21, 14);
  button(kIdUntickAllChannels, "", 230, 94, 21, 14);
  // The group boxes are frames only: they stay behind the controls they hold.
  for (QGroupBox* box : findChildren<QGroupBox*>()) box->lower();
}

void CMainDialog::ConfigureHoverButtons() {
  struct HoverSetup {
    int id;
    const char* tip;
    int icon;
  };
  static constexpr HoverSetup kHoverButtons[] = {
      {kIdSelectAllStations, "Выбрать все станции", 131},
      {kIdDeselectAllStations, "Отменить выбор", 132},
      {kIdExit, "Завершить работу программы", 133},
      {kIdConvert, "Конвертировать", 135},
      {kIdConvertFiles, "Конвертировать файл(ы) ...", 134},
      {kIdConvertDirectory, "Конвертировать каталог(и) ...", 137},
      {kIdUntickAllChannels, "Отменить выбор", 132},
      {kIdTickAllChannels, "Выбрать все каналы", 131},
  };
  for (const HoverSetup& setup : kHoverButtons) {
    for (QPushButton*& slot : m_buttons) {
      if (slot->objectName() != QString::number(setup.id)) continue;
      QWidget* const replaced = slot;
      CHoverButton* button = CHoverButton::Attach(slot);
      slot = button;
      for (Placed& placed : m_growth)
        if (placed.widget == replaced) placed.widget = button;
      button->SetTipText(QString::fromUtf8(setup.tip), true);
      const QColor face = button->GetNormalBackColor();
      const QColor hot_face = HotFace(face, button->palette().color(QPalette::Light));
      button->SetHotBackColor(hot_face, false);
      button->LoadHoverCursor(130);
      button->SetFlatStyle(true);
      button->LoadIcons(setup.icon);
      // Navy captions and red hover text where they read; under a dark
      // palette made light enough to read (4.5:1).
      button->SetHotTextColor(Legible(QColor(255, 0, 0), hot_face), false);
      button->SetNormalTextColor(Legible(QColor(0, 0, 128), face), false);
      m_hover_buttons.push_back(button);
    }
  }
}

// After the hover buttons took over: they are the ones that send the clicks.
void CMainDialog::ConnectCommands() {
  connect(m_station_list, &QListWidget::itemSelectionChanged, this,
          &CMainDialog::OnStationSelectionChange);
  connect(Button(kIdConvert), &QPushButton::clicked, this,
          &CMainDialog::ConvertSelectedStationsCommand);
  connect(Button(kIdConvertFiles), &QPushButton::clicked, this,
          &CMainDialog::ConvertChosenFilesCommand);
  connect(Button(kIdConvertDirectory), &QPushButton::clicked, this,
          &CMainDialog::ConvertChosenDirectoryCommand);
  connect(Button(kIdExit), &QPushButton::clicked, this, &CMainDialog::CloseWindow);
  connect(Button(kIdSelectAllStations), &QPushButton::clicked, this,
          &CMainDialog::SelectAllStations);
  connect(Button(kIdDeselectAllStations), &QPushButton::clicked, this,
          &CMainDialog::DeselectAllStations);
  connect(Button(kIdTickAllChannels), &QPushButton::clicked, this, &CMainDialog::TickAllChannels);
  connect(Button(kIdUntickAllChannels), &QPushButton::clicked, this,
          &CMainDialog::UntickAllChannels);
}

QPushButton* CMainDialog::Button(int id) const {
  for (QPushButton* b : m_buttons)
    if (b->objectName() == QString::number(id)) return b;
  return nullptr;
}

int CMainDialog::LoadStations() {
  for (const std::string& name : ReadStationNames()) m_station_list->AddSorted(Text(name));

  const std::string saved_start = ReadTimeWindowStart();
  const std::string saved_length = ReadTimeWindowLength();
  int hour = 0, minute = 0, second = 0, day = 1, month = 1, year = 2000;
  std::sscanf(saved_start.c_str(), "%2d%*[:, ]%2d%*[,: ]%2d%*[:, ]%2d%*[:,// ]%2d%*[:,// ]%4d",
              &hour, &minute, &second, &day, &month, &year);
  m_start_edit->ShowDateTime(year, month, day, hour, minute, second);
  m_length_edit->setText(Text(saved_length));
  // Shown as read, as ever; but a saved value that is no time is said once,
  // on the status line, so that what the edits show is not taken for it.
  std::string not_times;
  if (!ParseWindowStart(saved_start)) not_times = "TIME=" + saved_start;
  if (!HasLengthForm(saved_length))
    not_times += (not_times.empty() ? "" : ", ") + ("TIMEQTY=" + saved_length);
  if (!not_times.empty())
    SetStatusText("Ошибочное время в korvel2tqf.ini: " + Cp1251ToUtf8(not_times));

  const int count = m_station_list->count();
  if (m_initial_station.empty() || count == 0) return 0;
  // From the second entry round to the first, the first entry tried last.
  const QString wanted = Text(m_initial_station);
  for (int k = 1; k <= count; ++k) {
    const int i = k % count;
    if (m_station_list->item(i)->text().startsWith(wanted, Qt::CaseInsensitive)) {
      const QSignalBlocker quiet(m_station_list);
      m_station_list->item(i)->setSelected(true);
      return i;
    }
  }
  return 0;
}

void CMainDialog::PreselectStation(int index) {
  if (m_station_list->count() == 0) return;
  {
    const QSignalBlocker quiet(m_station_list);
    m_station_list->setCurrentRow(index, QItemSelectionModel::NoUpdate);
  }
  OnStationSelectionChange();
}

std::string CMainDialog::CurrentStation() const {
  const QListWidgetItem* item = m_station_list->currentItem();
  return item != nullptr ? Text1251(item->text()).substr(0, kCommandStationLength) : std::string();
}

std::vector<std::string> CMainDialog::SelectedStations() const {
  std::vector<std::string> stations;
  for (int i = 0; i < m_station_list->count(); ++i) {
    if (!m_station_list->item(i)->isSelected()) continue;
    const std::string station = Text1251(m_station_list->item(i)->text());
    if (std::find(stations.begin(), stations.end(), station) == stations.end())
      stations.push_back(station);
  }
  return stations;
}

// The channel list follows the whole selection, however it came about: rows
// of stations no longer selected go, stations newly selected add theirs at
// the end, in list order. A click changes one station, which is the current
// one.
void CMainDialog::OnStationSelectionChange() {
  if (m_station_list->count() == 0) return;
  WaitCursor wait(*this);
  const std::vector<std::string> selected = SelectedStations();
  const auto is_selected = [&](const std::string& station) {
    return std::find(selected.begin(), selected.end(), station) != selected.end();
  };
  for (const std::string& station : std::vector<std::string>(m_listed_stations))
    if (!is_selected(station)) RemoveStationChannels(station);
  ShowingDatabaseErrors([&] {
    for (const std::string& station : selected)
      if (std::find(m_listed_stations.begin(), m_listed_stations.end(), station) ==
          m_listed_stations.end())
        AddStationChannels(station);
  });
}

bool CMainDialog::ShowingDatabaseErrors(const std::function<void()>& work) {
  try {
    work();
    return true;
  } catch (const CDBException& e) {
    m_operator.Message(ErrorTextForOperator(e.ErrorText()), kApplicationTitle, MessageIcon::Error);
    return false;
  }
}

void CMainDialog::AddStationChannels(const std::string& station) {
  // Counted as listed before the query, and each row joins the list as it is
  // read: a database error part-way leaves the rows before it on show, and a
  // later change must not add them twice.
  if (std::find(m_listed_stations.begin(), m_listed_stations.end(), station) ==
      m_listed_stations.end())
    m_listed_stations.push_back(station);
  CChanList(m_database).ListStation(station, [&](SiteChannelRow&& row) {
    auto* item = new QTreeWidgetItem(
        m_channel_list,
        {Text(station), Text(row.chan), QString::fromStdString(FixedNumber(row.sps, 3))});
    SetStateImage(item, IsTickedByDefault(row.chan) ? kTicked : kUnticked);
  });
  ReadBackFields();
}

void CMainDialog::RemoveStationChannels(const std::string& station) {
  m_listed_stations.erase(std::remove(m_listed_stations.begin(), m_listed_stations.end(), station),
                          m_listed_stations.end());
  const QString name = Text(station);
  for (int i = m_channel_list->topLevelItemCount() - 1; i >= 0; --i)
    if (m_channel_list->topLevelItem(i)->text(0) == name)
      delete m_channel_list->takeTopLevelItem(i);
}

void CMainDialog::SelectAllStations() {
  const QSignalBlocker quiet(m_station_list);
  const int count = m_station_list->count();
  for (int i = 0; i < count; ++i) {
    m_station_list->item(i)->setSelected(true);
    const std::string station = Text1251(m_station_list->item(i)->text());
    RemoveStationChannels(station);
    if (!ShowingDatabaseErrors([&] { AddStationChannels(station); })) return;
  }
}

void CMainDialog::DeselectAllStations() {
  const QSignalBlocker quiet(m_station_list);
  for (int i = 0; i < m_station_list->count(); ++i) {
    m_station_list->item(i)->setSelected(false);
    RemoveStationChannels(Text1251(m_station_list->item(i)->text()));
  }
}

void CMainDialog::TickAllChannels() {
  for (int i = 0; i < m_channel_list->topLevelItemCount(); ++i)
    SetStateImage(m_channel_list->topLevelItem(i), kTicked);
}

void CMainDialog::UntickAllChannels() {
  for (int i = 0; i < m_channel_list->topLevelItemCount(); ++i)
    SetStateImage(m_channel_list->topLevelItem(i), kUnticked);
}

int CMainDialog::StateImage(const QTreeWidgetItem* item) {
  return item->data(0, kStateImageRole).toInt();
}

void CMainDialog::SetStateImage(QTreeWidgetItem* item, int state) {
  item->setData(0, kStateImageRole, state);
}

bool CMainDialog::eventFilter(QObject* watched, QEvent* event) {
  if (watched == m_channel_list->viewport() && OnChannelListMouse(event)) return true;
  // Space ticks or unticks the channel that has the focus.
  if (watched == m_channel_list && event->type() == QEvent::KeyPress &&
      static_cast<QKeyEvent*>(event)->key() == Qt::Key_Space &&
      static_cast<QKeyEvent*>(event)->modifiers() == Qt::NoModifier) {
    if (QTreeWidgetItem* item = m_channel_list->currentItem())
      SetStateImage(item, StateImage(item) == kUnticked ? kTicked : kUnticked);
    return true;
  }
  return QDialog::eventFilter(watched, event);  // the list's own handling follows
}

// A left or right click on a row's check image flips its tick; the image is
// where the painter puts it, wherever the list is scrolled. The right button
// does nothing else.
bool CMainDialog::OnChannelListMouse(QEvent* event) {
  const QEvent::Type type = event->type();
  if (type != QEvent::MouseButtonPress && type != QEvent::MouseButtonDblClick &&
      type != QEvent::MouseButtonRelease)
    return false;
  const auto* mouse = static_cast<QMouseEvent*>(event);
  if (type == QEvent::MouseButtonPress &&
      (mouse->button() == Qt::LeftButton || mouse->button() == Qt::RightButton)) {
    const QPoint at = mouse->position().toPoint();
    const QModelIndex index = m_channel_list->indexAt(at);
    const auto* painter = static_cast<const CCheckListDelegate*>(m_channel_list->itemDelegate());
    if (index.isValid() && painter->StateImageRect(*m_channel_list, index).contains(at)) {
      const QModelIndex first = index.siblingAtColumn(0);
      const int state = first.data(kStateImageRole).toInt();
      m_channel_list->model()->setData(first, state == kUnticked ? kTicked : kUnticked,
                                       kStateImageRole);
    }
  }
  return mouse->button() != Qt::LeftButton;
}

bool CMainDialog::CollectTickedChannels() {
  m_selection.clear();
  for (int i = 0; i < m_channel_list->topLevelItemCount(); ++i) {
    const QTreeWidgetItem* item = m_channel_list->topLevelItem(i);
    if (StateImage(item) == kTicked)
      m_selection.push_back({Text1251(item->text(0)), Text1251(item->text(1))});
  }
  return !m_selection.empty();
}

void CMainDialog::ReadTimeWindow(EpochSeconds& start, double& length) const {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
  m_start_edit->ReadDateTime(year, month, day, hour, minute, second);
  start = ToEpochSeconds(year, month, day, hour, minute, static_cast<float>(second));
  length = WindowLengthSeconds(Text1251(m_length_edit->text()));
}

bool CMainDialog::ReadBackFields() { return DDX_DateTimeEdit(*m_start_edit, m_operator); }

bool CMainDialog::ReadBackTimeWindow() {
  if (!ReadBackFields()) return false;
  if (HasLengthForm(Text1251(m_length_edit->text()))) return true;
  m_operator.Message("Введено ошибочное время", "Ошибка", MessageIcon::Error);
  m_length_edit->setFocus(Qt::OtherFocusReason);
  return false;
}

void CMainDialog::CloseWindow() {
  if (m_closing) return;
  m_closing = true;
  // Only a time the window takes is saved: a refused one (31/02/2007) would
  // greet the next start with error boxes before the window. The line keeps
  // what it held.
  const std::string start = Text1251(m_start_edit->text()).substr(0, kTimeWindowTextLength);
  const std::string length = Text1251(m_length_edit->text()).substr(0, kTimeWindowTextLength);
  const bool start_valid = m_start_edit->IsValidDateTime() && ParseWindowStart(start);
  // Without korvel2tqf.ini there is nothing to keep the time in: a file of
  // TIME alone would list no station and hide the missing file's message.
  std::error_code ec;
  if (std::filesystem::exists(ProgramIniPath(), ec))
    WriteTimeWindow(start_valid ? std::optional(start) : std::nullopt,
                    HasLengthForm(length) ? std::optional(length) : std::nullopt);
  QDialog::reject();
}

void CMainDialog::reject() {
  if (m_busy)
    OfferToStop(false);
  else
    CloseWindow();
}

void CMainDialog::closeEvent(QCloseEvent* event) {
  if (m_busy) {  // the command ends first, stopped or not
    event->ignore();
    OfferToStop(true);
    return;
  }
  CloseWindow();
  event->accept();
}

void CMainDialog::OfferToStop(bool then_close) {
  if (m_stop_question != nullptr || m_stop_asked) return;
  auto* box = new QMessageBox(QMessageBox::Question, QString::fromUtf8(kCommandCaption),
                              QString::fromUtf8(m_work.stop_question),
                              QMessageBox::Yes | QMessageBox::No, this);
  box->button(QMessageBox::Yes)->setText(QStringLiteral("Да"));
  box->button(QMessageBox::No)->setText(QStringLiteral("Нет"));
  box->setDefaultButton(QMessageBox::Yes);
  box->setEscapeButton(QMessageBox::No);
  box->setAttribute(Qt::WA_DeleteOnClose);
  QApplication::setOverrideCursor(Qt::ArrowCursor);  // the box can be answered
  connect(box, &QMessageBox::finished, this, [this, box, then_close] {
    QApplication::restoreOverrideCursor();
    if (!m_busy || box->clickedButton() != box->button(QMessageBox::Yes)) return;
    m_stop_asked = true;
    m_close_after = then_close;
  });
  m_stop_question = box;
  box->open();  // the engine's steps keep taking events: the work goes on meanwhile
}

void CMainDialog::WithdrawStopQuestion() {
  if (m_stop_question != nullptr) m_stop_question->reject();
  m_stop_question = nullptr;
}

void CMainDialog::CommandMessages::Message(const std::string& text, const std::string& caption,
                                           MessageIcon icon) {
  m_dialog.WithdrawStopQuestion();
  m_dialog.m_operator.Message(text, caption, icon);
}

bool CMainDialog::StopRequested() const {
  if (m_busy && (!m_since_events.isValid() || m_since_events.elapsed() >= kEventIntervalMs)) {
    m_since_events.start();
    QCoreApplication::processEvents();
  }
  return m_stop_asked || StopRequestSignal() != 0;
}

void CMainDialog::CloseIfAsked() {
  if (m_close_after || StopRequestSignal() != 0) CloseWindow();
}

void CMainDialog::OnStopSignal() {
  if (StopRequestSignal() == 0) return;
  // One box at a time, the top one first; the command, if one runs, sees
  // the signal at its next step.
  QWidget* modal = QApplication::activeModalWidget();
  if (modal != nullptr && modal != this)
    modal->close();
  else if (!m_busy)
    CloseWindow();
}

void CMainDialog::SetStatusText(const std::string& text) {
  m_status_line->setText(m_busy && text.empty() ? QString::fromUtf8(m_work.busy_status)
                                                : QString::fromStdString(text));
  m_status_line->repaint();  // the scan runs on this thread: paint now
}

void CMainDialog::ExamineFile(const std::string& name, std::size_t position, std::size_t count) {
  ShowProgress(name, QStringLiteral("  (%1 из %2)").arg(position).arg(count));
}

void CMainDialog::ShowExportStep(const std::string& day_file, std::size_t done) {
  ShowProgress(day_file, QStringLiteral("  (файл дня %1)").arg(done + 1));
}

void CMainDialog::ShowProgress(const std::string& name, QString place) {
  if (m_busy) place += QStringLiteral("  ") + QString::fromUtf8(kStopHint);
  // A long name gives way in its middle, so that its end and the count stay.
  const QFontMetrics metrics(m_status_line->font());
  const int room = m_status_line->contentsRect().width() - metrics.horizontalAdvance(place);
  const QString shown =
      metrics.elidedText(QString::fromStdString(name), Qt::ElideMiddle, qMax(room, 0));
  SetStatusText((shown + place).toStdString());
  RepaintNow();
}

void CMainDialog::RepaintNow() {
  m_since_events.start();
  QCoreApplication::processEvents();
}

void CMainDialog::DisableCommands() {
  for (int id : {kIdConvert, kIdExit, kIdConvertFiles, kIdConvertDirectory})
    Button(id)->setEnabled(false);
  m_busy = true;
  m_stop_asked = false;
  m_close_after = false;
  m_input_gate = std::make_unique<CommandInputGate>(*this);
  // Whatever the command, the operator sees that the window is busy, and how to stop it.
  BeginWaitCursor();
  SetStatusText("");
  RepaintNow();
}

void CMainDialog::EnableCommands() {
  for (int id : {kIdConvert, kIdExit, kIdConvertFiles, kIdConvertDirectory})
    Button(id)->setEnabled(true);
  m_input_gate.reset();
  WithdrawStopQuestion();
  const bool was_busy = m_busy;
  m_busy = false;
  SetStatusText("");
  if (was_busy) EndWaitCursor();
}

void CMainDialog::BeginWaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
void CMainDialog::EndWaitCursor() { QApplication::restoreOverrideCursor(); }

}  // namespace korvel
