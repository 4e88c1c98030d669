#include "app/cli/next_steps.h"

#include "app/cli/cli_messages.h"
#include "config/config_files.h"
#include "config/settings.h"
#include "database/chan_list.h"
#include "database/connection.h"
#include "platform/native_path.h"
#include "platform/text1251.h"

namespace korvel::cli {
namespace {

std::string Joined(const std::vector<std::string>& parts, const std::string& between) {
  std::string text;
  for (const std::string& part : parts) text += (text.empty() ? "" : between) + part;
  return text;
}

constexpr std::size_t kStationsNamed = 8;  // a longer list ends in "..."

std::string StationList(const std::vector<std::string>& stations) {
  std::vector<std::string> shown;
  for (std::size_t i = 0; i < stations.size() && i < kStationsNamed; ++i)
    shown.push_back(DisplayName(stations[i]));
  if (stations.size() > kStationsNamed) shown.push_back("...");
  return Joined(shown, ", ");
}

}  // namespace

void SayNextAfterInitCatalogue(const std::string& dsn) {
  const std::string tqf_ini = DisplayPath(TqfIniPath());
  std::vector<std::string> steps;
  // Every other command, and the window, take the name from tqf.ini.
  std::string command = "korvel2tqf-cli ";
  if (!EqualNoCase1251(Utf8ToCp1251(dsn), ReadConnectionKeys().dsn)) {
    steps.push_back("put ODBC=" + dsn + " under [DATABASE] in tqf.ini (" + tqf_ini +
                    ") so that every command and the window use it");
    command += "--dsn " + dsn + " ";
  }
  if (ReadDataRoot().empty())
    steps.push_back("name the folder for the TQF files with [DATA] DIR= in tqf.ini (" + tqf_ini +
                    ")");
  steps.push_back("list the channels of your raw files in SITECHAN: " + command +
                  "add-channels FILE...");
  SayNext(Joined(steps, "; then "));
}

void SayNextAfterAddChannels(const std::vector<std::string>& stations) {
  if (stations.empty()) return;
  std::vector<std::string> unlisted;
  for (const std::string& station : stations)
    if (!ProgramIniNamesStation(station)) unlisted.push_back(station);
  std::vector<std::string> steps;
  if (!unlisted.empty())
    steps.push_back("name " + StationList(unlisted) + " in korvel2tqf.ini in the folder you work " +
                    "in ([SYSTEM] NSTA=, [STAn] NAME=, and each station's DIR= its raw files' " +
                    "folder)");
  if (ReadDataRoot().empty())
    steps.push_back("name the folder for the TQF files with [DATA] DIR= in tqf.ini (" +
                    DisplayPath(TqfIniPath()) + ")");
  steps.push_back("convert there: korvel2tqf-cli convert --station " +
                  DisplayName(stations.front()));
  SayNext(Joined(steps, "; then "));
}

void SayNoChannelsListed(const std::string& station) {
  const std::vector<std::string> listed = CChanList(theDatabase).ListStationNames();
  if (listed.empty()) {
    SayError(
        "SITECHAN is empty: list the channels of your raw files with 'korvel2tqf-cli "
        "add-channels FILE...'");
    return;
  }
  SayError("SITECHAN lists no channel of station " + DisplayName(station) + " (it lists " +
           StationList(listed) +
           "): check the name, or add the station's channels with 'korvel2tqf-cli add-channels "
           "FILE...'");
}

}  // namespace korvel::cli
