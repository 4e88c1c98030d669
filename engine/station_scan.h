#pragma once
// What the scan of a station's raw folder met, so that a conversion that gave
// nothing says why, station by station: the folder is not there, it holds no
// raw file of the station, or none within the time window. Also where the
// files of a station that korvel2tqf.ini does not name were looked for.

#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

#include "config/settings.h"
#include "engine/time_arithmetic.h"

namespace korvel {

// What a directory scan counted; sub-folders count when they are scanned.
struct ScanTally {
  enum class Folder { kListed, kMissing, kNotFolder, kUnreadable };
  Folder folder = Folder::kListed;  // the folder scanned, not its sub-folders
  std::size_t files = 0;            // entries that are no folders
  std::size_t station_files = 0;    // raw files of the station
  std::size_t outside_window = 0;   // of those, none of whose time is in the window
  std::size_t left = 0;             // files and folders that could not be read
};

struct StationScan {
  std::string station;           // code page 1251
  std::filesystem::path folder;  // looked in, native
  DataDirOrigin origin = DataDirOrigin::kStation;
  bool program_ini = true;   // korvel2tqf.ini is there
  bool named = true;         // korvel2tqf.ini lists the station or gives its DIR
  EpochSeconds start = 0.0;  // the window; a start or length of 0 is any time
  double length = 0.0;
  ScanTally tally;
  int converted = 0;
};

// The station's raw folder and what korvel2tqf.ini says of it, before the scan.
StationScan StationScanOf(const std::string& station, EpochSeconds start, double length);

// Why a scan converted nothing, when its folder tells: kNone when there were
// files of the station in the window, or when something could not be read
// (that is told as raw data left, and may have been the station's).
enum class ScanFinding { kNone, kNoFolder, kNotFolder, kNoFiles, kNoStationFiles, kOutsideWindow };
ScanFinding FindingOf(const StationScan& scan);

// The window's status line after a conversion of the selected stations:
// what each station's scan found wanting, in Russian; empty when nothing.
std::string StationScanStatus(const std::vector<StationScan>& scans);

}  // namespace korvel
