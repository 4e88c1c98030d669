#include "engine/station_scan.h"

#include "config/config_files.h"
#include "engine/time_window.h"
#include "platform/native_path.h"
#include "platform/text1251.h"

namespace korvel {
namespace {

std::string Origin(const StationScan& scan) {
  if (!scan.program_ini) return "по умолчанию: нет korvel2tqf.ini";
  switch (scan.origin) {
    case DataDirOrigin::kStation:
      return "korvel2tqf.ini [" + Cp1251ToUtf8(scan.station) + "] DIR=";
    case DataDirOrigin::kSystem:
      return "korvel2tqf.ini [SYSTEM] DIR=";
    case DataDirOrigin::kDefault:
      break;
  }
  return "по умолчанию";
}

}  // namespace

StationScan StationScanOf(const std::string& station, EpochSeconds start, double length) {
  StationScan scan;
  scan.station = station;
  // Names of the system (code page 1251), as the scan reads them.
  scan.folder = NativePath(ReadStationDataDir(station, DataDirUse::DirectoryScan));
  scan.origin = ReadStationDataDirOrigin(station);
  std::error_code ec;
  scan.program_ini = std::filesystem::exists(ProgramIniPath(), ec);
  scan.named = ProgramIniNamesStation(station);
  scan.start = start;
  scan.length = length;
  return scan;
}

ScanFinding FindingOf(const StationScan& scan) {
  const ScanTally& t = scan.tally;
  switch (t.folder) {
    case ScanTally::Folder::kMissing:
      return ScanFinding::kNoFolder;
    case ScanTally::Folder::kNotFolder:
      return ScanFinding::kNotFolder;
    case ScanTally::Folder::kUnreadable:
      return ScanFinding::kNone;
    case ScanTally::Folder::kListed:
      break;
  }
  if (t.left > 0) return ScanFinding::kNone;
  if (t.files == 0) return ScanFinding::kNoFiles;
  if (t.station_files == 0) return ScanFinding::kNoStationFiles;
  if (t.outside_window == t.station_files) return ScanFinding::kOutsideWindow;
  return ScanFinding::kNone;
}

std::string StationScanStatus(const std::vector<StationScan>& scans) {
  std::string status;
  const auto add = [&status](const std::string& line) {
    status += (status.empty() ? "" : "; ") + line;
  };
  for (const StationScan& scan : scans) {
    const std::string station = Cp1251ToUtf8(scan.station);
    const std::string folder = DisplayPath(scan.folder) + " (" + Origin(scan) + ")";
    if (!scan.named && scan.program_ini)
      add("Станции " + station + " нет в korvel2tqf.ini, файлы искались в " + folder);
    switch (FindingOf(scan)) {
      case ScanFinding::kNone:
        break;
      case ScanFinding::kNoFolder:
        add("Станция " + station + ": нет каталога " + folder);
        break;
      case ScanFinding::kNotFolder:
        add("Станция " + station + ": " + folder + " не каталог");
        break;
      case ScanFinding::kNoFiles:
        add("Станция " + station + ": каталог " + folder + " пуст");
        break;
      case ScanFinding::kNoStationFiles:
        add("Станция " + station + ": в каталоге " + folder +
            " нет файлов станции (просмотрено файлов: " + std::to_string(scan.tally.files) + ")");
        break;
      case ScanFinding::kOutsideWindow:
        add("Станция " + station + ": в каталоге " + folder + " нет файлов за интервал " +
            WindowStartText(scan.start) + " + " + WindowLengthText(scan.length) +
            " (файлов станции вне интервала: " + std::to_string(scan.tally.outside_window) + ")");
        break;
    }
  }
  return status;
}

}  // namespace korvel
