#include "engine/conversion_commands.h"

#include <cstdio>
#include <exception>

#include "engine/catalogue.h"
#include "engine/convert_raw_file.h"
#include "engine/directory_scan.h"
#include "platform/text1251.h"

namespace korvel {
namespace {

constexpr std::size_t kSummaryLimit = 127;
constexpr std::size_t kDirectorySummaryLimit = 255;
constexpr std::size_t kErrorLimit = 255;

void ShowError(ConversionHost& host, const std::string& text_utf8) {
  // At most 255 characters, cut on a character boundary.
  const std::string text = Cp1251ToUtf8(Utf8ToCp1251(text_utf8).substr(0, kErrorLimit));
  host.Operator().Message(text, kErrorCaption, MessageIcon::Error);
}

void ShowSuccess(ConversionHost& host, int count) {
  char text[kSummaryLimit + 1];
  std::snprintf(text, sizeof text, "Успешно завершена конверсия %d файлов", count);
  host.Operator().Message(text, kCommandCaption, MessageIcon::None);
}

}  // namespace

bool RefuseWithoutSelection(const std::string& station, ConversionHost& host) {
  if (!station.empty() && !host.Selection().empty()) return false;
  host.Operator().Beep();
  host.Operator().Message("Не выбрана станция/каналы !!!", kCommandCaption, MessageIcon::Error);
  return true;
}

std::string FormatWithin(std::size_t limit, const char* format_utf8, const std::string& value1251) {
  const std::string format = Utf8ToCp1251(format_utf8);
  const std::size_t fixed = format.size() - 2;  // without the %s
  std::string value = value1251;
  if (fixed + value.size() > limit) {
    const std::size_t room = limit > fixed + 3 ? limit - fixed - 3 : 0;
    value = "..." + value.substr(value.size() - room);
  }
  const std::size_t at = format.find("%s");
  return Cp1251ToUtf8(format.substr(0, at) + value + format.substr(at + 2));
}

CommandOutcome ConvertSelectedStations(const std::vector<std::string>& selected_stations,
                                       EpochSeconds start, double length, ConversionHost& host,
                                       OutputWriter& writer) {
  CommandOutcome outcome;
  if (RefuseWithoutSelection(selected_stations.empty() ? "" : selected_stations.front(), host)) {
    outcome.refused = true;
    return outcome;
  }
  host.DisableCommands();
  for (const std::string& station : selected_stations) {
    try {
      outcome.converted += ScanDirectory(station.substr(0, 31), host, writer, start, length);
    } catch (const std::exception& e) {
      // One station's failure does not stop the others.
      outcome.catalogue_error = true;
      ShowError(host, e.what());
    }
  }
  if (outcome.converted > 0)
    ShowSuccess(host, outcome.converted);
  else
    host.Operator().Message("В каталогах файла настройки нет файлов для выбраных станций!!!",
                            kCommandCaption, MessageIcon::Error);
  host.EnableCommands();
  return outcome;
}

CommandOutcome ConvertChosenFiles(const std::string& current_station,
                                  const std::vector<std::string>& paths1251,
                                  const std::string& path_name1251, ConversionHost& host,
                                  OutputWriter& writer) {
  CommandOutcome outcome;
  if (RefuseWithoutSelection(current_station, host)) {
    outcome.refused = true;
    return outcome;
  }
  std::string reported = path_name1251;
  int r = 0;
  host.DisableCommands();
  for (const std::string& path : paths1251) {
    try {
      r = ConvertRawFile(current_station, path, host, writer);
    } catch (const std::exception& e) {
      outcome.catalogue_error = true;
      ShowError(host, e.what());
      r = 0;
      break;
    }
    if (r == 0) {
      reported = path;
      break;
    }
    ++outcome.converted;
  }
  host.EnableCommands();
  if (r != 0)
    ShowSuccess(host, outcome.converted);
  else
    host.Operator().Message(FormatWithin(kSummaryLimit, "Ошибка конверсии файла '%s'", reported),
                            kCommandCaption, MessageIcon::Error);
  return outcome;
}

CommandOutcome ConvertChosenDirectory(const std::string& current_station,
                                      const std::string& folder1251, ConversionHost& host,
                                      OutputWriter& writer) {
  CommandOutcome outcome;
  if (RefuseWithoutSelection(current_station, host)) {
    outcome.refused = true;
    return outcome;
  }
  if (folder1251.empty()) return outcome;
  host.DisableCommands();
  try {
    outcome.converted = ScanDirectory(current_station, host, writer, 0.0, 0.0, folder1251);
    if (outcome.converted > 0) {
      ShowSuccess(host, outcome.converted);
    } else {
      // Both values share the buffer; the folder gives way first.
      const std::string station = current_station.substr(0, 31);
      const std::string tail = Utf8ToCp1251(" \nнет подходящих файлов для станции: ") + station;
      const std::string text = FormatWithin(kDirectorySummaryLimit - tail.size(),
                                            "Ошибка конверсии !!!\n В каталоге: %s", folder1251);
      host.Operator().Message(text + Cp1251ToUtf8(tail), kCommandCaption, MessageIcon::Error);
    }
  } catch (const std::exception& e) {
    outcome.catalogue_error = true;
    ShowError(host, e.what());
  }
  host.EnableCommands();
  return outcome;
}

}  // namespace korvel
