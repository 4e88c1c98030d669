#include <cstdio>

#include "app/cli/cli_commands.h"
#include "app/cli/raw_file_reasons.h"
#include "engine/raw_file.h"
#include "platform/file_patterns.h"
#include "platform/native_path.h"
#include "platform/text1251.h"

namespace korvel::cli {

int RunInfo(const std::vector<std::string>& files) {
  bool any = false;
  for (const std::string& file : files) {
    const std::filesystem::path path = Utf8Path(file);
    const RawSummary summary = SummarizeRawFile(path);
    if (summary.refusal != RawFileRefusal::kNone)
      SayRefusedFile(path, RawFileRefusalReason(path, summary.refusal));
    for (const RawSummaryRow& row : summary.rows) {
      std::printf("%s\t%s\t%s\t%s\t%s\n", DisplayName(row.station).c_str(),
                  DisplayName(row.channel).c_str(), row.rate.c_str(), row.start.c_str(),
                  row.duration.c_str());
      any = true;
    }
  }
  return any ? kConverted : kNothing;
}

CliCommand AddInfoCommand(CLI::App& app) {
  auto files = std::make_shared<std::vector<std::string>>();
  CLI::App* info = app.add_subcommand(
      "info",
      "print the summary of raw files: one line per channel with station, channel,\n"
      "sampling rate, start and duration separated by tabs. A file that is not a\n"
      "usable raw file gives no line; standard error names it with the reason. Exit\n"
      "status 0 when a file gave a line, 1 when none did");
  info->add_option("FILE", *files, "raw files")->required();
  return {info, [files](const ConnectionOptions&) { return RunInfo(ExpandFilePatterns(*files)); }};
}

}  // namespace korvel::cli
