// The window side of the three conversion commands: read the fields back,
// collect the ticks, ask for files or a folder, then hand over to the shared
// command module.
#include <QFile>
#include <algorithm>

#include "controls/multi_select_list_box.h"

#include "config/settings.h"
#include "controls/choose_folder.h"
#include "controls/date_time_edit.h"
#include "controls/open_file_dlg.h"
#include "controls/qt_path.h"
#include "engine/conversion_commands.h"
#include "mainwindow/chosen_file_reason.h"
#include "mainwindow/first_use_texts.h"
#include "mainwindow/main_dialog.h"
#include "platform/native_path.h"
#include "platform/text1251.h"

namespace korvel {
namespace {

QString Text(const std::string& text1251) { return QString::fromStdString(Cp1251ToUtf8(text1251)); }

}  // namespace

void CMainDialog::ConvertSelectedStationsCommand() {
  if (!ReadBackTimeWindow()) return;
  const bool ticked = CollectTickedChannels();
  if (m_station_list->count() == 0 || !ticked) {
    RefuseWithoutSelection("", *this);
    return;
  }
  EpochSeconds start = 0.0;
  double length = 0.0;
  ReadTimeWindow(start, length);
  std::vector<std::string> stations = SelectedStations();
  if (stations.empty())
    stations.push_back("");  // nothing selected: nothing found, reported as such
  else if (RefuseMissingOutputRoot(m_operator))
    return;
  ConvertSelectedStations(stations, start, length, *this, m_writer);
  CloseIfAsked();
}

// The file and folder commands work for the station the operator selected:
// the caret may stand on another one, whose folder and settings are not meant.
std::string CMainDialog::CommandStation() const {
  const QListWidgetItem* caret = m_station_list->currentItem();
  if (caret != nullptr && caret->isSelected()) return CurrentStation();
  const std::vector<std::string> selected = SelectedStations();
  return selected.empty() ? std::string() : selected.front().substr(0, kCommandStationLength);
}

void CMainDialog::ConvertChosenFilesCommand() {
  if (!ReadBackFields()) return;
  const std::string station = CommandStation();
  if (!CollectTickedChannels() || station.empty()) {
    RefuseWithoutSelection("", *this);
    return;
  }
  // Before the operator picks anything.
  if (RefuseWithoutOutputRoot(*this) || RefuseMissingOutputRoot(m_operator)) return;
  std::vector<std::filesystem::path> paths;
  std::filesystem::path path_name;
  if (!ChooseFiles(ReadStationDataDir(station, DataDirUse::FilePicker),
                   QStringLiteral("Конвертировать файл(ы) станции %1").arg(Text(station)), paths,
                   path_name))
    return;
  const CommandOutcome outcome = ConvertChosenFiles(station, paths, path_name, *this, m_writer);
  if (outcome.stopped) {
    CloseIfAsked();
    return;
  }
  // The command stops at the first file that gave nothing: say why.
  const auto at = static_cast<std::size_t>(outcome.converted);
  if (!outcome.refused && !outcome.catalogue_error && at < paths.size())
    if (const auto reason = WhyChosenFileGaveNothing(paths[at], station, m_selection))
      m_operator.Message(
          "Файл " + DisplayPath(paths[at].filename()) + " не конвертирован: " + *reason,
          kCommandCaption, MessageIcon::Error);
}

void CMainDialog::ConvertChosenDirectoryCommand() {
  const std::string station = CommandStation();
  if (!CollectTickedChannels() || station.empty()) {
    RefuseWithoutSelection("", *this);
    return;
  }
  if (RefuseWithoutOutputRoot(*this) || RefuseMissingOutputRoot(m_operator)) return;
  const std::filesystem::path folder =
      ChooseDirectory(Text(ReadStationDataDir(station, DataDirUse::FolderChooser)),
                      QStringLiteral("Выбор каталога станции %1").arg(Text(station)));
  if (folder.empty()) return;
  ConvertChosenDirectory(station, folder, *this, m_writer);
  CloseIfAsked();
}

bool CMainDialog::ChooseFiles(const std::string& initial_folder, const QString& title,
                              std::vector<std::filesystem::path>& paths,
                              std::filesystem::path& path_name) {
  OpenFileDlg dialog(this, initial_folder);
  dialog.setWindowTitle(title);
  if (dialog.exec() != QDialog::Accepted) return false;
  paths = dialog.ChosenPaths();
  path_name = dialog.PathName();
  return !paths.empty();
}

std::filesystem::path CMainDialog::ChooseDirectory(const QString& initial_folder,
                                                   const QString& title) {
  return FsPath(ChooseFolder(this, initial_folder, title));
}

}  // namespace korvel
