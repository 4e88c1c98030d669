#pragma once
// A conversion set-up on one of the real data sources of tools/test: its own
// folder as current directory and TQF_CONFIG_DIR, a fresh catalogue, SITECHAN
// rows for KIR and KUDA, and korvel2tqf-cli run on it.

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "database/database.h"
#include "engine/time_arithmetic.h"
#include "tests/support/databases/live_database.h"
#include "tests/support/raw_file_builder.h"
#include "tests/support/run_command.h"
#include "tests/support/temp_dir.h"

namespace korvel::test {

inline constexpr EpochSeconds kMarch1 = 1172707200.0;  // 2007-03-01 00:00:00

struct CatalogueRow {
  std::string sta, ch, cpath;
  double tbegin = 0, tqty = 0, sps = 0;
  std::optional<double> calib, calper;
};

class ConversionTest : public LiveCatalogueTest {
 protected:
  void SetUp() override;
  void WriteProgramIni(const std::string& extra = "");
  CommandResult Cli(std::vector<std::string> args);
  std::vector<CatalogueRow> Rows();
  // Every file below the output root has its row, every row its file, and
  // each file holds exactly the 512 + 4 x TQTY x SPS bytes its row says.
  void ExpectFilesAgreeWithRows();
  // Makes the catalogue refuse every FILELIST update, or every insert once
  // the table holds `inserts_allowed` rows, with a trigger of its own dialect.
  enum class Refusal { Updates, InsertsAfter };
  void RefuseStatements(Refusal what, int inserts_allowed = 0);
  std::string Out(const std::string& relative) const { return out + relative; }
  std::string Raw(const std::string& relative) const {
    return (sandbox.path() / "raw").string() + "/" + relative;
  }

  // A raw file of `frames` frames at `rate` from `start`, samples counting on
  // from `first_frame` so that consecutive files continue one ramp.
  RawFileBuilder RawFile(const std::string& station, const std::vector<std::string>& channels,
                         EpochSeconds start, double rate, std::int64_t frames,
                         std::int64_t first_frame = 0, int width = 2);
  // The TQF file that channel c of such files must give.
  std::string ExpectedTqf(const std::string& station, const std::string& channel, int c,
                          double rate, EpochSeconds start, std::int64_t first_frame,
                          std::int64_t frames, int width = 2);

  ConfigSandbox sandbox;
  CDatabase db;
  std::string out;  // the output root, with its separator
};

}  // namespace korvel::test
