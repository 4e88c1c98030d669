#include <cstdio>

#include "app/cli/cli_commands.h"
#include "engine/raw_file.h"
#include "platform/native_path.h"
#include "platform/text1251.h"

namespace korvel::cli {

int RunInfo(const std::vector<std::string>& files) {
  bool any = false;
  for (const std::string& file : files) {
    for (const RawSummaryRow& row : ReadRawSummary(Utf8Path(file))) {
      std::printf("%s\t%s\t%s\t%s\t%s\n", DisplayName(row.station).c_str(),
                  DisplayName(row.channel).c_str(), row.rate.c_str(), row.start.c_str(),
                  row.duration.c_str());
      any = true;
    }
  }
  return any ? kConverted : kNothing;
}

}  // namespace korvel::cli
