#include "mainwindow/chosen_file_reason.h"

#include <algorithm>

#include "engine/raw_file.h"
#include "platform/text1251.h"

namespace korvel {
namespace {

std::string RefusalText(RawFileRefusal refusal) {
  switch (refusal) {
    case RawFileRefusal::kNone:
    case RawFileRefusal::kCannotOpen:  // told by the conversion
    case RawFileRefusal::kReadFailed:
      break;
    case RawFileRefusal::kHeaderCut:
      return "это не файл регистратора Korvel: он короче заголовка (120 байт)";
    case RawFileRefusal::kNoStartDate:
      return "в заголовке нет даты начала: месяц или день вне допустимых значений";
    case RawFileRefusal::kNoSampleInterval:
      return "в заголовке нет частоты отсчётов: интервал не положительное число";
    case RawFileRefusal::kNoTimeOfDay:
      return "в заголовке нет времени начала";
    case RawFileRefusal::kNegativeChannels:
      return "в заголовке отрицательное число каналов";
    case RawFileRefusal::kChannelTableCut:
      return "файл короче своей таблицы каналов";
    case RawFileRefusal::kSummaryChannelCount:
      return "число каналов не от 1 до 99";
    case RawFileRefusal::kSummaryEarlyStart:
      return "начало файла не позже 01.01.1970 00:00:01";
  }
  return "это не файл регистратора Korvel";
}

}  // namespace

std::optional<std::string> WhyChosenFileGaveNothing(const std::filesystem::path& path,
                                                    const std::string& station,
                                                    const SelectionList& selection) {
  RawFileReader reader;
  ParsedRawFile parsed;
  const RawFileRefusal refusal = ParseRawFile(path, reader, parsed);
  // A file that cannot be read was told by the conversion, with the system's reason.
  if (refusal == RawFileRefusal::kCannotOpen || refusal == RawFileRefusal::kReadFailed)
    return std::nullopt;
  if (refusal != RawFileRefusal::kNone) return RefusalText(refusal);
  // Matched as the conversion matches them: the file's names upper-cased.
  const std::string own = CharUpper1251(RawStationName(parsed.header));
  const auto ticked = [&](const std::string& channel) {
    return std::any_of(selection.begin(), selection.end(), [&](const SelectionEntry& entry) {
      return entry.station == own && entry.channel == channel;
    });
  };
  std::string channels;
  for (const RawChannelRecord& record : parsed.channels) {
    const std::string channel = CharUpper1251(RawChannelName(record));
    if (ticked(channel)) return std::nullopt;
    channels += (channels.empty() ? "" : ", ") + DisplayName(channel);
  }
  if (own.empty()) return "в заголовке не указана станция";
  const bool own_listed =
      std::any_of(selection.begin(), selection.end(),
                  [&](const SelectionEntry& entry) { return entry.station == own; });
  if (!own_listed && own != station)
    return "это файл станции " + DisplayName(own) + ", а выбрана станция " + DisplayName(station) +
           ": выберите станцию " + DisplayName(own) + " и отметьте её каналы";
  if (channels.empty()) return "в файле нет каналов";
  return "ни один из его каналов (" + channels + ") не отмечен для станции " + DisplayName(own);
}

}  // namespace korvel
