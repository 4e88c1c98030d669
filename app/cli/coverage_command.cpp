#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "app/cli/archive_commands.h"
#include "app/cli/cli_host.h"
#include "app/cli/cli_messages.h"
#include "app/cli/first_use_hints.h"
#include "app/cli/open_catalogue.h"
#include "app/cli/time_window_options.h"
#include "config/settings.h"
#include "database/catalogue_rows.h"
#include "database/connection.h"
#include "engine/coverage.h"
#include "engine/coverage_chart.h"
#include "engine/coverage_svg.h"
#include "engine/time_window.h"
#include "platform/file_io.h"
#include "platform/native_path.h"
#include "platform/text1251.h"

namespace korvel::cli {
std::vector<std::string> ReportStations(const std::vector<std::string>& asked) {
  std::vector<std::string> stations;
  if (asked.empty()) {
    HintMissingProgramIni();
    stations = ReadStationNames();
  } else {
    // Upper case, as the window and the conversion take station names.
    for (const std::string& station : asked)
      stations.push_back(CharUpper1251(Utf8ToCp1251(station)));
  }
  std::vector<std::string> once;
  for (const std::string& station : stations)
    if (std::find(once.begin(), once.end(), station) == once.end()) once.push_back(station);
  if (once.empty()) SayError("no station: give --station or list stations in korvel2tqf.ini");
  return once;
}

CliCommand AddCoverageCommand(CLI::App& app) {
  auto options = std::make_shared<CoverageOptions>();
  CLI::App* coverage = app.add_subcommand(
      "coverage",
      "what the catalogue's files (every creator's) cover of the time window, per station\n"
      "and channel: one line per gap or overlap longer than a sample interval (station,\n"
      "channel, gap|overlap, start, end, seconds), then per channel: station, channel,\n"
      "coverage, percent covered, files; exit 1 when anything is missing or doubled");
  coverage
      ->add_option("--station", options->stations,
                   "station (repeatable; default: every station listed in korvel2tqf.ini)")
      ->allow_extra_args(false);
  coverage->add_option(
      "--start", options->start,
      "window start \"hh:mm:ss dd/mm/yyyy\" (default: korvel2tqf.ini SYSTEM/TIME)");
  CLI::Option* length = coverage->add_option(
      "--length", options->length,
      "window length hh:mm:ss (default: korvel2tqf.ini SYSTEM/TIMEQTY; 00:00:00: all times)");
  CLI::Option* all_times = coverage->add_flag("--all-times", options->all_times,
                                              "from the first start to the last end of the files");
  length->excludes(all_times);
  coverage->add_option("--svg", options->svg,
                       "also draw the report as a timeline into this SVG file");
  return {coverage, [options](const ConnectionOptions& connection) {
            return RunCoverage(connection, *options);
          }};
}

int RunCoverage(const ConnectionOptions& connection, const CoverageOptions& options) {
  const std::vector<std::string> stations = ReportStations(options.stations);
  if (stations.empty()) return kUsage;
  const auto choice = ResolveTimeWindow(options.start, options.length, options.all_times);
  if (!choice) return kUsage;
  // A length of 0 takes every file, as it does for convert.
  std::optional<TimeSpan> window;
  if (choice->length > 0) window = TimeSpan{choice->start, choice->start + choice->length};
  CliNotifier notifier;
  return WithCatalogue(connection, notifier, [&]() -> int {
    const CoverageReport report =
        ComputeCoverage(stations, ReadCoverageFiles(theDatabase, stations), window);
    std::fputs(FormatCoverageLines(report).c_str(), stdout);
    std::fflush(stdout);
    if (!options.svg.empty() &&
        !ReplaceFileContents(Utf8Path(options.svg),
                             CoverageChartSvg(LayOutCoverageChart(report)))) {
      SayError("cannot write '" + options.svg + "': " + std::strerror(errno));
      return kOutputFailed;
    }
    return report.HasProblems() ? kNothing : kConverted;
  });
}

}  // namespace korvel::cli
