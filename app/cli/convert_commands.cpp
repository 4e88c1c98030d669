#include <cstdio>
#include <filesystem>

#include "app/cli/cli_commands.h"
#include "app/cli/cli_host.h"
#include "app/cli/cli_messages.h"
#include "app/cli/first_use_hints.h"
#include "app/cli/open_catalogue.h"
#include "app/cli/raw_file_reasons.h"
#include "app/cli/time_window_options.h"
#include "config/settings.h"
#include "database/chan_list.h"
#include "database/connection.h"
#include "database/file_list.h"
#include "engine/conversion_commands.h"
#include "engine/time_window.h"
#include "platform/file_patterns.h"
#include "platform/native_path.h"
#include "platform/number_text.h"
#include "platform/text1251.h"

namespace korvel::cli {
namespace {

// Station names as the window takes them from its list: upper case.
std::vector<std::string> StationsTo1251(const std::vector<std::string>& texts) {
  std::vector<std::string> out;
  for (const std::string& t : texts) out.push_back(CharUpper1251(Utf8ToCp1251(t)));
  return out;
}

// The --channel pairs, or what the window ticks when the stations are
// picked; false for a pair that is not STATION:CHANNEL. A SITECHAN error
// goes on to the caller.
bool BuildSelection(const std::vector<std::string>& stations, const ConvertOptions& options,
                    SelectionList& selection) {
  for (const std::string& given : options.channels) {
    const std::string pair = Utf8ToCp1251(given);
    const std::size_t colon = pair.find(':');
    if (colon == std::string::npos || colon == 0 || colon + 1 == pair.size()) {
      SayError("--channel wants STATION:CHANNEL, not '" + Cp1251ToUtf8(pair) + "'");
      return false;
    }
    // A raw file's channel names are upper-cased before they are matched, so
    // the pair's channel is too. The station stays as given: one in lower
    // case matches nothing, as in the window.
    selection.push_back({pair.substr(0, colon), CharUpper1251(pair.substr(colon + 1))});
  }
  if (!options.channels.empty()) return true;
  for (const std::string& station : stations)
    for (const SiteChannelRow& row : CChanList(theDatabase).ListStation(station))
      if (IsTickedByDefault(row.chan)) selection.push_back({station, row.chan});
  return true;
}

void PrintStats(const OutputWriter& writer, const CliHost& host) {
  const auto statements = theDatabase.StatementCount();
  const auto flushes = writer.FlushCount();
  const double per_flush =
      flushes > 0 ? static_cast<double>(statements) / static_cast<double>(flushes) : 0.0;
  std::fprintf(stderr, "catalogue statements: %llu, flushes: %llu, statements per flush: %s\n",
               static_cast<unsigned long long>(statements),
               static_cast<unsigned long long>(flushes), FixedNumber(per_flush, 4).c_str());
  std::string resident;
  for (const long kib : host.ResidentAfterEachFile())
    resident += (resident.empty() ? "" : " ") + std::to_string(kib);
  std::fprintf(stderr, "resident KiB after each raw file: %s\n", resident.c_str());
}

int ExitStatus(const CommandOutcome& outcome) {
  if (outcome.stopped) return 128 + StopSignal();
  if (outcome.catalogue_error) return kDatabaseError;
  if (outcome.output_failed || outcome.no_output_root) return kOutputFailed;
  if (outcome.station_locked) return kStationLocked;
  if (outcome.raw_data_left) return kRawDataLeft;
  return outcome.converted > 0 ? kConverted : kNothing;
}

// Opens the catalogue, builds the selection and runs one command.
template <typename Command>
int RunWithCatalogue(const ConnectionOptions& connection, const ConvertOptions& options,
                     const std::vector<std::string>& stations, Command command) {
  CliNotifier notifier;
  return WithCatalogue(connection, notifier, [&]() -> int {
    SelectionList selection;
    if (!BuildSelection(stations, options, selection)) return kUsage;
    CatchStopSignals();
    CliHost host(std::move(selection), ReadScanSubdirectories() != 0, options.stats,
                 options.lock_wait, options.no_lock);
    CFileList catalogue(theDatabase, notifier);
    FileErrorMessages file_errors(notifier, /*with_reason=*/true);
    OutputWriter writer(catalogue, file_errors);
    writer.SetCoalesceUpdates(!options.no_coalesce);
    writer.SetContinueAcrossRuns(options.continue_output || ReadContinueOutput() != 0);
    writer.SetDurable(options.durable || ReadDurableOutput());
    HintMissingOutputRoot(ReadDataRoot());
    const CommandOutcome outcome = command(host, writer);
    if (outcome.no_output_root)
      HintNoOutputRoot();
    else if (outcome.refused && host.Selection().empty())
      HintEmptySelection(stations);
    const int status = ExitStatus(outcome);
    if (options.stats) PrintStats(writer, host);
    return status;
  });
}

std::string StationOption(const ConvertOptions& options) {
  return CharUpper1251(Utf8ToCp1251(options.current_station));
}

}  // namespace

int RunConvert(const ConnectionOptions& connection, const ConvertOptions& options) {
  HintMissingProgramIni();  // the stations' raw data folders are listed there
  const std::vector<std::string> stations =
      options.stations.empty() ? ReadStationNames() : StationsTo1251(options.stations);
  const auto window = ResolveTimeWindow(options.start, options.length, options.all_times);
  if (!window) return kUsage;
  return RunWithCatalogue(
      connection, options, stations, [&](ConversionHost& host, OutputWriter& writer) {
        return ConvertSelectedStations(stations, window->start, window->length, host, writer);
      });
}

int RunFiles(const ConnectionOptions& connection, const ConvertOptions& options) {
  const std::string station = StationOption(options);
  // File names are taken exactly as given: on POSIX a name is bytes.
  std::vector<std::filesystem::path> files;
  for (const std::string& file : ExpandFilePatterns(options.files)) files.push_back(Utf8Path(file));
  // Like the file dialog: one file names itself, several name their folder.
  const std::filesystem::path path_name = files.size() == 1 ? files.front()
                                          : files.empty()   ? std::filesystem::path()
                                                            : files.front().parent_path();
  return RunWithCatalogue(
      connection, options, {station}, [&](ConversionHost& host, OutputWriter& writer) {
        const CommandOutcome outcome = ConvertChosenFiles(station, files, path_name, host, writer);
        // The command stops at the first file that gave nothing: say why.
        const auto at = static_cast<std::size_t>(outcome.converted);
        if (!outcome.refused && !outcome.stopped && !outcome.catalogue_error && at < files.size())
          if (const auto reason = WhyNothingToConvert(files[at], station, host.Selection()))
            SayRefusedFile(files[at], *reason);
        return outcome;
      });
}

int RunDir(const ConnectionOptions& connection, const ConvertOptions& options) {
  const std::string station = StationOption(options);
  const std::filesystem::path directory = Utf8Path(options.directory);
  return RunWithCatalogue(connection, options, {station},
                          [&](ConversionHost& host, OutputWriter& writer) {
                            return ConvertChosenDirectory(station, directory, host, writer);
                          });
}

namespace {

// What convert, files and dir share: the channels and how the output is
// written.
void AddConversionOptions(CLI::App* command, ConvertOptions& options) {
  command
      ->add_option("--channel", options.channels,
                   "a STATION:CHANNEL pair to convert, as the window lists it (repeatable);\n"
                   "default: the station's SITECHAN channels Z, N-S and E-W")
      ->allow_extra_args(false);
  command->add_flag("--no-coalesce", options.no_coalesce,
                    "send a file's catalogue row at every flush instead of once per raw file\n"
                    "(the same final rows, more statements; for comparison runs)");
  command
      ->add_option("--lock-wait", options.lock_wait,
                   "seconds to wait for a station that another converter is writing (its\n"
                   "lock file .korvel2tqf.lock in the station's output folder) before leaving\n"
                   "it with exit status 6; default: korvel2tqf.ini SYSTEM/LOCKWAIT, else 0")
      ->check(CLI::NonNegativeNumber);
  command->add_flag("--no-lock", options.no_lock,
                    "convert without station locks (as korvel2tqf.ini SYSTEM/LOCK=0 does), for\n"
                    "output folders on file systems that have none; two converters of one\n"
                    "station must then never run at once. Without it, a station whose lock\n"
                    "file cannot be made or locked is left with exit status 6");
  command->add_flag("--continue", options.continue_output,
                    "let a channel continue the output file of an earlier run that ends where\n"
                    "its samples begin, and leave out raw samples whose times the channel's own\n"
                    "files already hold, saying how many on standard error (as korvel2tqf.ini\n"
                    "SYSTEM/CONTINUE=1 does)");
  command->add_flag("--durable", options.durable,
                    "put each output file's bytes on the disk itself (fdatasync) before the\n"
                    "catalogue rows naming it are committed, so that a power cut never leaves\n"
                    "a row longer than its file (as korvel2tqf.ini SYSTEM/DURABLE=1 does)");
  command->add_flag("--stats", options.stats,
                    "at the end, print to standard error the catalogue statements sent, the\n"
                    "flushes and the statements per flush");
}

}  // namespace

CliCommand AddConvertCommand(CLI::App& app) {
  auto options = std::make_shared<ConvertOptions>();
  CLI::App* convert = app.add_subcommand(
      "convert",
      "what the window's \"Конвертировать\" does: for each station, the raw files of its\n"
      "data directory (korvel2tqf.ini: the station's DIR, else SYSTEM DIR, else " +
          std::string(kDefaultDataDirectory) +
          ")\n"
          "that overlap the time window, written below tqf.ini DATA/DIR and catalogued");
  convert
      ->add_option("--station", options->stations,
                   "station (repeatable; default: every station listed in korvel2tqf.ini)")
      ->allow_extra_args(false);
  convert->add_option("--start", options->start,
                      "window start \"hh:mm:ss dd/mm/yyyy\" (default: korvel2tqf.ini SYSTEM/TIME)");
  convert->add_option("--length", options->length,
                      "window length hh:mm:ss (default: korvel2tqf.ini SYSTEM/TIMEQTY)");
  convert->add_flag("--all-times", options->all_times, "no time filter: every file of the station");
  AddConversionOptions(convert, *options);
  return {convert, [options](const ConnectionOptions& connection) {
            return RunConvert(connection, *options);
          }};
}

CliCommand AddFilesCommand(CLI::App& app) {
  auto options = std::make_shared<ConvertOptions>();
  CLI::App* files = app.add_subcommand(
      "files",
      "what \"Конв. файл(ы)...\" does: the given raw files, whole, in order; stops at the\n"
      "first file that cannot be converted whole");
  files->add_option("--station", options->current_station, "the current station")->required();
  files->add_option("FILE", options->files, "raw files")->required();
  AddConversionOptions(files, *options);
  return {files, [options](const ConnectionOptions& connection) {
            return RunFiles(connection, *options);
          }};
}

CliCommand AddDirCommand(CLI::App& app) {
  auto options = std::make_shared<ConvertOptions>();
  CLI::App* dir = app.add_subcommand(
      "dir",
      "what \"Конв. каталог(и)...\" does: every raw file of the station in DIR, whole\n"
      "(sub-directories too when korvel2tqf.ini SYSTEM/SCANDIR is non-zero)");
  dir->add_option("--station", options->current_station, "the current station")->required();
  dir->add_option("DIR", options->directory, "directory")->required();
  AddConversionOptions(dir, *options);
  return {dir,
          [options](const ConnectionOptions& connection) { return RunDir(connection, *options); }};
}

}  // namespace korvel::cli
