#include "app/cli/raw_file_reasons.h"

#include <cstdio>

#include "platform/native_path.h"
#include "platform/text1251.h"

namespace korvel::cli {

std::string RawFileRefusalReason(const std::filesystem::path& path, RawFileRefusal refusal) {
  if (refusal != RawFileRefusal::kCannotOpen) return RawFileRefusalText(refusal);
  std::error_code ec;
  switch (std::filesystem::status(path, ec).type()) {
    case std::filesystem::file_type::not_found:
      return "no such file";
    case std::filesystem::file_type::directory:
      return "is a directory";
    default:
      return RawFileRefusalText(refusal);
  }
}

void SayRefusedFile(const std::filesystem::path& path, const std::string& reason,
                    const std::string& consequence) {
  std::string line = DisplayPath(path) + ": " + reason;
  if (!consequence.empty()) line += "; " + consequence;
  std::fflush(stdout);
  std::fprintf(stderr, "%s\n", line.c_str());
}

std::optional<std::string> WhyNothingToConvert(const std::filesystem::path& path,
                                               const std::string& station,
                                               const SelectionList& selection) {
  RawFileReader reader;
  ParsedRawFile parsed;
  const RawFileRefusal refusal = ParseRawFile(path, reader, parsed);
  // A file that cannot be read was told by the conversion, with the system's reason.
  if (refusal == RawFileRefusal::kCannotOpen) return std::nullopt;
  if (refusal != RawFileRefusal::kNone) return RawFileRefusalReason(path, refusal);
  // Matched as the conversion matches them: the upper-cased names of the file.
  const std::string own = CharUpper1251(RawStationName(parsed.header));
  std::string channels;
  for (const RawChannelRecord& record : parsed.channels) {
    const std::string channel = CharUpper1251(RawChannelName(record));
    for (const SelectionEntry& entry : selection)
      if (entry.station == own && entry.channel == channel) return std::nullopt;
    channels += (channels.empty() ? "" : ", ") + DisplayName(channel);
  }
  bool own_selected = false;
  for (const SelectionEntry& entry : selection) own_selected = own_selected || entry.station == own;
  if (own.empty()) return "the header names no station";
  if (!own_selected && own != station)
    return "a raw file of station " + DisplayName(own) + ", not " + DisplayName(station) +
           ": give --station " + DisplayName(own);
  if (channels.empty()) return "it has no channels";
  return "none of its channels (" + channels + ") is selected for station " + DisplayName(own) +
         ": name one with --channel " + DisplayName(own) + ":CHANNEL";
}

}  // namespace korvel::cli
