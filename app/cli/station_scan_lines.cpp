#include "app/cli/station_scan_lines.h"

#include <string>

#include "engine/time_window.h"
#include "platform/native_path.h"
#include "platform/text1251.h"

namespace korvel::cli {
namespace {

std::string Origin(const StationScan& scan, const std::string& station) {
  if (!scan.program_ini) return "the default: there is no korvel2tqf.ini";
  switch (scan.origin) {
    case DataDirOrigin::kStation:
      return "korvel2tqf.ini [" + station + "] DIR=";
    case DataDirOrigin::kSystem:
      return "korvel2tqf.ini [SYSTEM] DIR=";
    case DataDirOrigin::kDefault:
      break;
  }
  return "the default: korvel2tqf.ini has no [" + station + "] DIR= or [SYSTEM] DIR=";
}

// The line for what the scan found wanting, empty when nothing.
std::string FindingLine(const StationScan& scan) {
  const std::string station = Cp1251ToUtf8(scan.station);
  const std::string folder =
      "the raw folder " + DisplayPath(scan.folder) + " (" + Origin(scan, station) + ")";
  const std::string remedy =
      ": name the folder of its raw files with [" + station + "] DIR= in korvel2tqf.ini";
  switch (FindingOf(scan)) {
    case ScanFinding::kNone:
      break;
    case ScanFinding::kNoFolder:
      return "station " + station + ": " + folder + " is not there" + remedy;
    case ScanFinding::kNotFolder:
      return "station " + station + ": " + folder + " is no folder" + remedy;
    case ScanFinding::kNoFiles:
      return "station " + station + ": " + folder + " holds no files";
    case ScanFinding::kNoStationFiles:
      return "station " + station + ": none of the " + std::to_string(scan.tally.files) +
             " files in " + folder + " is a raw file of " + station;
    case ScanFinding::kOutsideWindow:
      return "station " + station + ": none of the " + std::to_string(scan.tally.outside_window) +
             " raw files of " + station + " in " + folder + " overlaps the time window " +
             WindowStartText(scan.start) + " + " + WindowLengthText(scan.length) +
             ": give another with --start and --length, or take every time with --all-times";
  }
  return {};
}

}  // namespace

std::vector<ScanLine> StationScanLines(const std::vector<StationScan>& scans) {
  int converted = 0;
  for (const StationScan& scan : scans) converted += scan.converted;
  std::vector<ScanLine> lines;
  for (const StationScan& scan : scans) {
    const std::string station = Cp1251ToUtf8(scan.station);
    if (!scan.named && scan.program_ini)
      lines.push_back({false, "korvel2tqf.ini names no station " + station +
                                  " (no [STAn] NAME=" + station + ", no [" + station +
                                  "] DIR=): its raw files were looked for in " +
                                  DisplayPath(scan.folder) + " (" + Origin(scan, station) +
                                  "); name the station there, with DIR= the folder of its raw "
                                  "files"});
    std::string line = FindingLine(scan);
    if (!line.empty()) lines.push_back({converted == 0, std::move(line)});
  }
  return lines;
}

}  // namespace korvel::cli
