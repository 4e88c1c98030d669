#pragma once
// The files of a directory that belong to a station and overlap a time window.

#include <filesystem>
#include <optional>
#include <string>

#include "engine/conversion_host.h"
#include "engine/output_writer.h"
#include "engine/raw_file.h"
#include "engine/station_scan.h"
#include "engine/time_arithmetic.h"

namespace korvel {

// 1 when the file's header names the station (upper-cased, exact) and its
// time span overlaps the window; a start or length of 0 means any time.
int MatchRawFile(const std::string& station, const std::filesystem::path& path, EpochSeconds start,
                 double length);
int MatchParsedRawFile(const std::string& station, const ParsedRawFile& parsed, EpochSeconds start,
                       double length);

// Converts the matching files of the directory (the station's configured data
// directory when none is given), sub-directories where they are met when the
// host says so (links to directories too, each real directory once);
// entries in name order. Returns the files converted; what was met is
// added to `tally` when one is given.
int ScanDirectory(const std::string& station, ConversionHost& host, OutputWriter& writer,
                  EpochSeconds start, double length,
                  const std::optional<std::filesystem::path>& directory = std::nullopt,
                  ScanTally* tally = nullptr);

}  // namespace korvel
