#include "app/cli/first_use_hints.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "app/cli/cli_messages.h"
#include "config/config_files.h"
#include "config/settings.h"
#include "database/chan_list.h"
#include "database/connection.h"
#include "database/data_source_names.h"
#include "platform/native_path.h"
#include "platform/text1251.h"

namespace korvel::cli {
namespace {

void Say(const std::string& line) { SayError(line); }

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

// The name nearest to `word`, when one is near enough to be a slip.
std::string Nearest(const std::string& word, const std::vector<std::string>& names) {
  std::string nearest;
  std::size_t best = std::max<std::size_t>(2, word.size() / 3) + 1;
  for (const std::string& name : names) {
    const std::size_t distance = EditDistance(word, name);
    if (distance < best) best = distance, nearest = name;
  }
  return nearest;
}

// Where a connection value came from: the option, tqf.ini or the default.
std::string Origin(bool given, const std::string& option, const std::string& key) {
  if (given) return "given with " + option;
  if (TqfIniHasDatabaseKey(key))
    return "tqf.ini [DATABASE] " + key + "=, read at " + DisplayPath(TqfIniPath());
  return "the default: tqf.ini, read at " + DisplayPath(TqfIniPath()) + ", has no [DATABASE] " +
         key + "=";
}

void HintMissingDataSource(const ConnectionOptions& connection, const std::string& dsn) {
  if (connection.dsn.empty() && !TqfIniHasDatabaseKey("ODBC")) {
    Say("no ODBC data source \"" + dsn +
        "\" is defined: run 'korvel2tqf-cli init-catalogue' to make the embedded catalogue and "
        "its data source, or name another with --dsn (or tqf.ini [DATABASE] ODBC=)");
    return;
  }
  // init-catalogue takes the name from --dsn alone.
  Say("no ODBC data source \"" + dsn + "\" (" + Origin(!connection.dsn.empty(), "--dsn", "ODBC") +
      ") is defined: run 'korvel2tqf-cli --dsn " + dsn +
      " init-catalogue' to make the embedded catalogue under that name, or name a data source "
      "that is defined");
}

}  // namespace

void HintConnectionFailed(const ConnectionOptions& connection, OpenFailure failure) {
  const ConnectionSettings settings = ResolveConnection(
      Utf8ToCp1251(connection.dsn), Utf8ToCp1251(connection.user), connection.password);
  const std::string dsn = Cp1251ToUtf8(settings.dsn);
  if (!DataSourceDefined(dsn)) {
    HintMissingDataSource(connection, dsn);
    return;
  }
  if (failure != OpenFailure::kLoginRefused) return;
  std::string password = connection.password_from;
  if (password.empty() && TqfIniHasDatabaseKey("PASSWORD"))
    password = "of tqf.ini [DATABASE] PASSWORD= (read at " + DisplayPath(TqfIniPath()) + ")";
  else if (password.empty())
    password = "that is the default (tqf.ini, read at " + DisplayPath(TqfIniPath()) +
               ", has no [DATABASE] PASSWORD=)";
  Say("the data source \"" + dsn + "\" refused the login of user \"" + Cp1251ToUtf8(settings.user) +
      "\" (" + Origin(!connection.user.empty(), "--user", "USER") + ") with the password " +
      password +
      ": give the right one with --password-file FILE or KORVEL2TQF_PASSWORD, or PASSWORD= under "
      "[DATABASE] in tqf.ini");
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

bool HintUnknownWord(const CLI::App& app, const std::vector<std::string>& arguments) {
  const CLI::App* command = nullptr;  // once its word is met
  for (std::size_t i = 1; i < arguments.size(); ++i) {
    const std::string& word = arguments[i];
    const CLI::App& scope = command != nullptr ? *command : app;
    if (word == "--") return false;  // what follows is no option
    if (word.size() > 1 && word.front() == '-') {
      const std::string name = word.substr(0, word.find('='));
      const CLI::Option* option = scope.get_option_no_throw(name);
      if (option == nullptr) {
        std::vector<std::string> options;
        for (const CLI::Option* known : scope.get_options())
          for (const std::string& long_name : known->get_lnames())
            options.push_back("--" + long_name);
        const std::string nearest = Nearest(name, options);
        Say("'" + name + "' is no option" +
            (command != nullptr ? " of '" + command->get_name() + "'" : std::string()) +
            (nearest.empty() ? "" : "; did you mean '" + nearest + "'?") + " ('korvel2tqf-cli " +
            (command != nullptr ? command->get_name() + " " : std::string()) +
            "--help' lists them)");
        return true;
      }
      // Its value is the next word, unless it came after "=".
      if (option->get_expected_max() > 0 && name.size() == word.size()) ++i;
      continue;
    }
    if (command != nullptr) continue;  // the command's own words: files, folders
    std::vector<std::string> commands;
    for (const CLI::App* known : app.get_subcommands({})) {
      if (known->get_name() == word) command = known;
      commands.push_back(known->get_name());
    }
    if (command != nullptr) continue;
    const std::string nearest = Nearest(word, commands);
    Say("'" + word + "' is no command" +
        (nearest.empty() ? "" : "; did you mean '" + nearest + "'?") +
        " ('korvel2tqf-cli --help' lists them)");
    return true;
  }
  return false;
}

}  // namespace korvel::cli
