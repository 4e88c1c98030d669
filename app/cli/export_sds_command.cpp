// export-sds: our catalogued TQF files as miniSEED day files of an SDS tree.
#include <cstdio>
#include <memory>

#include "app/cli/archive_commands.h"
#include "app/cli/cli_host.h"
#include "app/cli/cli_messages.h"
#include "app/cli/open_catalogue.h"
#include "app/cli/time_window_options.h"
#include "config/settings.h"
#include "database/catalogue_rows.h"
#include "database/connection.h"
#include "platform/native_path.h"
#include "platform/text1251.h"
#include "seed/sds_export.h"

namespace korvel::cli {
namespace {

struct ExportSdsOptions {
  std::string root;                   // UTF-8
  std::vector<std::string> stations;  // UTF-8
  std::vector<std::string> channels;  // STATION:CHANNEL, UTF-8
  std::string start, length;
  bool all_times = false;
};

const char* OutcomeWord(SdsOutcome outcome) {
  switch (outcome) {
    case SdsOutcome::kWritten:
      return "written";
    case SdsOutcome::kUnchanged:
      return "unchanged";
    case SdsOutcome::kLeft:
      break;
  }
  return "left";
}

int RunExportSds(const ConnectionOptions& connection, const ExportSdsOptions& options) {
  SdsRequest request;
  request.root = Utf8Path(options.root);
  for (const std::string& given : options.channels) {
    const std::string pair = Utf8ToCp1251(given);
    const std::size_t colon = pair.find(':');
    if (colon == std::string::npos || colon == 0 || colon + 1 == pair.size()) {
      SayError("--channel wants STATION:CHANNEL, not '" + given + "'");
      return kUsage;
    }
    request.channels.emplace_back(CharUpper1251(pair.substr(0, colon)), pair.substr(colon + 1));
  }
  request.stations = ReportStations(options.stations);
  if (request.stations.empty()) return kUsage;
  const auto choice = ResolveTimeWindow(options.start, options.length, options.all_times);
  if (!choice) return kUsage;
  if (choice->length > 0) request.window = TimeSpan{choice->start, choice->start + choice->length};
  request.lock = ReadStationLocks();
  request.lock_wait = ReadLockWaitSeconds();
  // A stop waits for the day file in hand, which is replaced in one step.
  request.go_on = [](const std::string&, std::size_t) { return StopSignal() == 0; };
  CliNotifier notifier;
  return WithCatalogue(connection, notifier, [&]() -> int {
    CatchStopSignals();
    const SdsReport report = ExportToSds(request, [](const std::string& station) {
      std::vector<SdsRow> rows;
      for (const FileListRow& row : ReadStationFileRows(theDatabase, station))
        rows.push_back({row.channel, row.creator, row.cpath, row.tbegin, row.tqty, row.sps});
      return rows;
    });
    if (report.no_network) {
      SayError(
          "export-sds needs the network code: set NET= (two upper-case Latin letters or digits) "
          "in the [SEED] section of korvel2tqf.ini");
      return kUsage;
    }
    for (const SdsRemark& remark : report.warnings) SayWarning(SdsRemarkText(remark));
    for (const SdsRemark& remark : report.problems)
      std::fprintf(stderr, "%s\n", SdsRemarkText(remark).c_str());
    for (const auto& [path, outcome] : report.day_files)
      std::printf("%s\t%s\n", OutcomeWord(outcome), path.c_str());
    std::printf("day files: %d written, %d unchanged, %d left; samples exported: %llu\n",
                report.Count(SdsOutcome::kWritten), report.Count(SdsOutcome::kUnchanged),
                report.Count(SdsOutcome::kLeft), static_cast<unsigned long long>(report.samples));
    if (report.stopped) {
      SayNote("stopped: the day files listed are complete, the others were not touched");
      return 128 + StopSignal();
    }
    return report.problems.empty() ? kConverted : kNothing;
  });
}

}  // namespace

CliCommand AddExportSdsCommand(CLI::App& app) {
  auto options = std::make_shared<ExportSdsOptions>();
  CLI::App* command = app.add_subcommand(
      "export-sds",
      "write the stations' catalogued files (our own FILELIST rows) as miniSEED 2 day files\n"
      "of an SDS tree: ROOT/YEAR/NET/STA/CHAN.D/NET.STA.LOC.CHAN.D.YEAR.DOY, 4096-byte\n"
      "records (each start to the microsecond), Steim-2 for integers up to 2^24, float32\n"
      "otherwise (32-bit counts above it as the TQF file's float32 values). Codes:\n"
      "korvel2tqf.ini [SEED] NET= (required) and LOC=; a channel's code from\n"
      "[SEED.STATION] CHANNEL=CODE, else Z, N-S and E-W by sample rate (100 sps: HHZ, HHN,\n"
      "HHE); other channels are skipped with a warning. A day file is merged with\n"
      "what it holds and replaced in one step; one this program did not write, or whose\n"
      "bytes were changed since (the hash in the folder's .korvel2tqf-sds), is left alone.\n"
      "Prints one line per day file (written, unchanged or left). Exit status 0 all\n"
      "exported, 1 something was left, refused or overlapping (said on standard error), 2\n"
      "usage or no [SEED] NET=, 130 or 143 stopped by an interrupt after the day file in\n"
      "hand (those listed are complete, the others untouched).");
  command->add_option("ROOT", options->root, "the SDS tree's folder (made when missing)")
      ->required();
  command
      ->add_option("--station", options->stations,
                   "station (repeatable; default: every station listed in korvel2tqf.ini)")
      ->allow_extra_args(false);
  command
      ->add_option("--channel", options->channels,
                   "a STATION:CHANNEL pair to export (repeatable; default: every channel that\n"
                   "has a SEED code)")
      ->allow_extra_args(false);
  command->add_option("--start", options->start,
                      "window start \"hh:mm:ss dd/mm/yyyy\" (default: korvel2tqf.ini SYSTEM/TIME)");
  CLI::Option* length = command->add_option(
      "--length", options->length,
      "window length hh:mm:ss (default: korvel2tqf.ini SYSTEM/TIMEQTY; 00:00:00: all times)");
  CLI::Option* all_times = command->add_flag("--all-times", options->all_times,
                                             "every file of the stations, whatever its time");
  length->excludes(all_times);
  return {command, [options](const ConnectionOptions& connection) {
            return RunExportSds(connection, *options);
          }};
}

}  // namespace korvel::cli
