#pragma once
// The three conversion commands, shared by the window and the command line:
// the selected stations over the time window, hand-picked files, and a
// hand-picked directory. Each ends with one message to the operator.

#include <string>
#include <vector>

#include "engine/conversion_host.h"
#include "engine/output_writer.h"
#include "engine/time_arithmetic.h"

namespace korvel {

inline constexpr const char* kCommandCaption = "KORVEL->TQF";
inline constexpr const char* kErrorCaption = "korvel2tqf";

struct CommandOutcome {
  bool refused = false;  // nothing ticked or no station
  int converted = 0;
  bool catalogue_error = false;  // an error stopped (part of) the work
};

CommandOutcome ConvertSelectedStations(const std::vector<std::string>& selected_stations,
                                       EpochSeconds start, double length, ConversionHost& host,
                                       OutputWriter& writer);

// path_name: what a failure names when it happens before any file is
// tried, the single path or, for several, their folder.
CommandOutcome ConvertChosenFiles(const std::string& current_station,
                                  const std::vector<std::string>& paths1251,
                                  const std::string& path_name1251, ConversionHost& host,
                                  OutputWriter& writer);

CommandOutcome ConvertChosenDirectory(const std::string& current_station,
                                      const std::string& folder1251, ConversionHost& host,
                                      OutputWriter& writer);

// Nothing ticked or no station: the beep and "Не выбрана станция/каналы !!!";
// true when the command must stop. Each command checks it first.
bool RefuseWithoutSelection(const std::string& station, ConversionHost& host);

// printf with one %s filled so that the text keeps within `limit` characters
// of code page 1251: a long value loses its beginning to "...".
std::string FormatWithin(std::size_t limit, const char* format_utf8, const std::string& value1251);

}  // namespace korvel
