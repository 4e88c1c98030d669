#include "app/cli/first_use_hints.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "config/config_files.h"
#include "config/settings.h"
#include "database/chan_list.h"
#include "database/connection.h"
#include "database/data_source_names.h"
#include "platform/native_path.h"
#include "platform/text1251.h"

namespace korvel::cli {
namespace {

void Say(const std::string& line) {
  std::fflush(stdout);
  std::fprintf(stderr, "korvel2tqf-cli: %s\n", line.c_str());
}

std::size_t EditDistance(const std::string& a, const std::string& b) {
  std::vector<std::size_t> row(b.size() + 1);
  for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    std::size_t diagonal = row[0];
    row[0] = i;
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const std::size_t above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] != b[j - 1])});
      diagonal = above;
    }
  }
  return row[b.size()];
}

}  // namespace

void HintMissingDataSource(const ConnectionOptions& connection) {
  const std::string dsn = Cp1251ToUtf8(
      ResolveConnection(Utf8ToCp1251(connection.dsn), Utf8ToCp1251(connection.user), "").dsn);
  if (DataSourceDefined(dsn)) return;
  Say("no ODBC data source \"" + dsn +
      "\" is defined: run 'korvel2tqf-cli init-catalogue' to make the embedded catalogue and "
      "its data source, or name another with --dsn (or tqf.ini [DATABASE] ODBC=)");
}

void HintMissingProgramIni() {
  std::error_code ec;
  if (std::filesystem::exists(ProgramIniPath(), ec)) return;
  Say("no korvel2tqf.ini in " + DisplayPath(std::filesystem::current_path(ec)) +
      ": it lists the stations (SYSTEM NSTA=, STA0 NAME=) and their raw data folders "
      "([STATION] DIR=); run the command in the folder that holds it");
}

void HintNoOutputRoot() {
  std::error_code ec;
  const std::filesystem::path ini = TqfIniPath();
  Say("tqf.ini was read at " + DisplayPath(ini) +
      (std::filesystem::exists(ini, ec) ? ": it has no [DATA] DIR= naming the output root"
                                        : ": there is no such file; write one with [DATA] DIR="
                                          " naming the output root (or set TQF_CONFIG_DIR)"));
}

void HintMissingOutputRoot(const std::string& output_root) {
  std::error_code ec;
  if (output_root.empty() || std::filesystem::is_directory(NativePath(output_root), ec)) return;
  Say("the output root " + Cp1251ToUtf8(output_root) + " (tqf.ini [DATA] DIR=, read at " +
      DisplayPath(TqfIniPath()) + ") is no folder: make the folder or correct DIR=");
}

void HintEmptySelection(const std::vector<std::string>& stations) {
  for (const std::string& station : stations) {
    const std::vector<SiteChannelRow> rows = CChanList(theDatabase).ListStation(station);
    const std::string name = DisplayName(station);
    if (rows.empty() && !ProgramIniNamesStation(station))
      Say("station " + name +
          " is named by no SITECHAN row and no korvel2tqf.ini entry: check its spelling");
    else if (rows.empty())
      Say("SITECHAN lists no channel of station " + name +
          ": add the channels of its raw files with 'korvel2tqf-cli add-channels FILE...', or "
          "name them with --channel " +
          name + ":CHANNEL");
    else if (std::none_of(rows.begin(), rows.end(),
                          [](const SiteChannelRow& row) { return IsTickedByDefault(row.chan); }))
      Say("SITECHAN lists channels of station " + name +
          " but none of Z, N-S and E-W, which are ticked by default: name them with --channel " +
          name + ":CHANNEL");
  }
}

bool HintUnknownCommand(const CLI::App& app, const std::vector<std::string>& arguments) {
  // The first word that is neither an option nor an option's value.
  for (std::size_t i = 1; i < arguments.size(); ++i) {
    const std::string& word = arguments[i];
    if (word.rfind("-", 0) == 0) {
      const std::string name = word.substr(0, word.find('='));
      const CLI::Option* option = app.get_option_no_throw(name);
      if (option != nullptr && option->get_expected_max() > 0 && name.size() == word.size()) ++i;
      continue;
    }
    std::vector<std::string> commands;
    for (const CLI::App* command : app.get_subcommands({})) commands.push_back(command->get_name());
    if (std::find(commands.begin(), commands.end(), word) != commands.end()) return false;
    std::string nearest;
    std::size_t best = std::max<std::size_t>(2, word.size() / 3) + 1;
    for (const std::string& command : commands) {
      const std::size_t distance = EditDistance(word, command);
      if (distance < best) best = distance, nearest = command;
    }
    Say("'" + word + "' is no command" +
        (nearest.empty() ? "" : "; did you mean '" + nearest + "'?") +
        " ('korvel2tqf-cli --help' lists them)");
    return true;
  }
  return false;
}

}  // namespace korvel::cli
