#pragma once
// What each station's scan found wanting, one line a cause on standard
// error, naming the folder looked in and where its name came from.

#include <string>
#include <vector>

#include "engine/station_scan.h"

namespace korvel::cli {

struct ScanLine {
  bool error = false;  // else a warning
  std::string text;    // UTF-8
};

// Errors when the command converted nothing, warnings otherwise; a station
// korvel2tqf.ini does not name is a warning either way.
std::vector<ScanLine> StationScanLines(const std::vector<StationScan>& scans);

}  // namespace korvel::cli
