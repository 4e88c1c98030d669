#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <set>
#include <utility>

#include "app/cli/cli_commands.h"
#include "app/cli/cli_host.h"
#include "app/cli/next_steps.h"
#include "app/cli/open_catalogue.h"
#include "app/cli/raw_file_reasons.h"
#include "database/chan_list_writer.h"
#include "database/connection.h"
#include "engine/raw_file.h"
#include "platform/file_patterns.h"
#include "platform/native_path.h"
#include "platform/number_text.h"
#include "platform/text1251.h"

namespace korvel::cli {

int RunAddChannels(const ConnectionOptions& connection, const std::vector<std::string>& files) {
  CliNotifier notifier;
  return WithCatalogue(connection, notifier, [&]() -> int {
    std::set<std::pair<std::string, std::string>> seen;  // asked of the catalogue already
    std::vector<std::string> stations;                   // of the files read, in order
    int added = 0;
    int refused = 0;
    for (const std::string& file : files) {
      // UTF-8 as given: on Windows a narrow path would be read in the ANSI code page.
      const std::filesystem::path path = Utf8Path(file);
      RawFileReader reader;
      ParsedRawFile parsed;
      const RawFileRefusal refusal = ParseRawFile(path, reader, parsed);
      reader.Close();
      // Stored upper-cased: the conversion compares the upper-cased names of
      // a raw file with the station's SITECHAN names exactly.
      const std::string station = CharUpper1251(RawStationName(parsed.header));
      const double sps = 1.0 / parsed.header.sample_interval;
      const std::string reason =
          refusal != RawFileRefusal::kNone ? RawFileRefusalReason(path, refusal)
          : station.empty()                ? "the header names no station"
          : !std::isfinite(sps)            ? "the sampling rate is too high to be a number"
                                           : "";
      if (!reason.empty()) {
        SayRefusedFile(path, reason, "nothing added from it");
        ++refused;
        continue;
      }
      if (std::find(stations.begin(), stations.end(), station) == stations.end())
        stations.push_back(station);
      for (std::size_t i = 0; i < parsed.channels.size(); ++i) {
        const std::string channel = CharUpper1251(RawChannelName(parsed.channels[i]));
        if (channel.empty()) {
          std::fflush(stdout);
          std::fprintf(stderr, "%s: channel %zu has no name; not added\n",
                       DisplayPath(path).c_str(), i + 1);
          continue;
        }
        if (!seen.emplace(station, channel).second) continue;
        if (!AddMissingChannel(theDatabase, station, channel, sps)) continue;
        std::printf("%s\t%s\t%s\n", DisplayName(station).c_str(), DisplayName(channel).c_str(),
                    FixedNumber(sps, 3).c_str());
        ++added;
      }
    }
    std::fflush(stdout);
    std::fprintf(stderr, "SITECHAN: rows added %d, already listed %zu; files refused %d of %zu\n",
                 added, seen.size() - static_cast<std::size_t>(added), refused, files.size());
    SayNextAfterAddChannels(stations);
    return refused > 0 ? kNothing : kConverted;
  });
}

CliCommand AddAddChannelsCommand(CLI::App& app) {
  auto files = std::make_shared<std::vector<std::string>>();
  CLI::App* add_channels = app.add_subcommand(
      "add-channels",
      "add to SITECHAN the channels of raw files that it does not list: for each file,\n"
      "a row (station, channel, rate) per channel whose station has no row of that\n"
      "channel, names upper-cased as the conversion compares them, LDDATE now, the\n"
      "other columns NULL; rows already there are never changed. Prints the rows\n"
      "added (station, channel, rate, tab-separated); a file that is not a usable raw\n"
      "file is named on standard error with the reason, and the other files go on.\n"
      "Exit status 0 every file was read (also when nothing was missing), 1 a file\n"
      "was refused, 3 and 4 as for every command (rows added before a database error\n"
      "stay)");
  add_channels->add_option("FILE", *files, "raw files")->required();
  return {add_channels, [files](const ConnectionOptions& connection) {
            return RunAddChannels(connection, ExpandFilePatterns(*files));
          }};
}

}  // namespace korvel::cli
