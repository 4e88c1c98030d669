// The frozen reference set of tests/data (see its README): raw files made
// from the format tables, converted by korvel2tqf-cli, must give exactly the
// TQF4.0 files and catalogue rows written down beside them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "database/statement.h"
#include "tests/app/conversion_fixture.h"
#include "tests/support/test_paths.h"
#include "tests/support/databases/live_database.h"
#include "platform/number_text.h"

namespace korvel::test {
namespace {

namespace fs = std::filesystem;

fs::path DataDir() { return fs::path(TestDataDir()); }

std::string Number(std::optional<double> value, int decimals) {
  return value ? FixedNumber(*value, decimals) : "NULL";
}

TEST_P(ConversionTest, TheReferenceFilesConvertToTheirFrozenResults) {
  fs::copy(DataDir() / "raw", Raw(""));
  auto r = Cli({"files", "--station", "KIR", "--channel", "KIR:Z", "--channel", "KIR:N-S",
                Raw("kir-a.raw"), Raw("kir-b.raw")});
  EXPECT_EQ(r.exit_status, 0) << r.err;
  r = Cli({"files", "--station", "КИР", "--channel", "КИР:SH Z", "--channel", "КИР:Z",
           Raw("kir-cyrillic.raw")});
  EXPECT_EQ(r.exit_status, 0) << r.err;

  // The output tree, file by file and byte by byte.
  const fs::path expected = DataDir() / "expected" / "tqf";
  std::size_t files = 0;
  for (const auto& entry : fs::recursive_directory_iterator(expected)) {
    if (!entry.is_regular_file()) continue;
    ++files;
    const fs::path relative = fs::relative(entry.path(), expected);
    EXPECT_EQ(ReadFileBytes(Out(relative.string())), ReadFileBytes(entry.path())) << relative;
  }
  EXPECT_EQ(files, 4u);
  EXPECT_EQ(ReadTree(out).size(), files);

  // The rows, as text in the columns' order.
  CStatement s(db);
  s.ExecDirect(
      "SELECT STA, CH, CPATH, TBEGIN, TQTY, SPS, CALIB, CALPER, GAIN, DATATYPE, FOFF, CREATER FROM "
      "FILELIST");
  std::vector<std::string> rows;
  while (s.Fetch()) {
    std::string line = s.Get<std::string>(1).value_or("NULL") + "\t" +
                       s.Get<std::string>(2).value_or("NULL") + "\t" +
                       s.Get<std::string>(3).value_or("NULL");
    for (const auto& [column, decimals] :
         {std::pair{4, 6}, {5, 6}, {6, 6}, {7, 7}, {8, 6}, {9, 0}, {10, 0}, {11, 0}})
      line += "\t" + Number(s.Get<double>(column), decimals);
    rows.push_back(line + "\t" + s.Get<std::string>(12).value_or("NULL") + "\n");
  }
  std::sort(rows.begin(), rows.end());
  std::string text =
      "STA\tCH\tCPATH\tTBEGIN\tTQTY\tSPS\tCALIB\tCALPER\tGAIN\tDATATYPE\tFOFF\tCREATER\n";
  for (const std::string& row : rows) text += row;
  EXPECT_EQ(text, ReadFileBytes(DataDir() / "expected" / "rows.tsv"));
}

}  // namespace
}  // namespace korvel::test
