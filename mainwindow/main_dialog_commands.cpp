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
#include "mainwindow/main_dialog.h"
#include "platform/text1251.h"

namespace korvel {

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
  ConvertSelectedStations(stations, start, length, *this, m_writer);
}

void CMainDialog::ConvertChosenFilesCommand() {
  if (!ReadBackFields()) return;
  const std::string station = CurrentStation();
  if (!CollectTickedChannels() || station.empty()) {
    RefuseWithoutSelection("", *this);
    return;
  }
  if (RefuseWithoutOutputRoot(*this)) return;  // before the operator picks anything
  std::vector<std::filesystem::path> paths;
  std::filesystem::path path_name;
  if (!ChooseFiles(ReadStationDataDir(station, DataDirUse::FilePicker), paths, path_name)) return;
  ConvertChosenFiles(station, paths, path_name, *this, m_writer);
}

void CMainDialog::ConvertChosenDirectoryCommand() {
  const std::string station = CurrentStation();
  if (!CollectTickedChannels() || station.empty()) {
    RefuseWithoutSelection("", *this);
    return;
  }
  if (RefuseWithoutOutputRoot(*this)) return;
  const std::filesystem::path folder =
      ChooseDirectory(ReadStationDataDir(station, DataDirUse::FolderChooser));
  if (folder.empty()) return;
  ConvertChosenDirectory(station, folder, *this, m_writer);
}

bool CMainDialog::ChooseFiles(const std::string& initial_folder,
                              std::vector<std::filesystem::path>& paths,
                              std::filesystem::path& path_name) {
  OpenFileDlg dialog(this, initial_folder);
  if (dialog.exec() != QDialog::Accepted) return false;
  paths = dialog.ChosenPaths();
  path_name = dialog.PathName();
  return !paths.empty();
}

std::filesystem::path CMainDialog::ChooseDirectory(const std::string& initial_folder) {
  const QString folder = ChooseFolder(this, QString::fromStdString(Cp1251ToUtf8(initial_folder)));
  return FsPath(folder);
}

}  // namespace korvel
