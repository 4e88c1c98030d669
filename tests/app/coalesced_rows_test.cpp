// Holding back row updates until a raw file is done, or putting every file on
// the disk itself before its rows, changes how many statements are sent or how
// long they take, never what ends up on disk or in the catalogue.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <map>

#include "tests/app/conversion_fixture.h"
#include "tests/support/databases/live_database.h"

namespace korvel::test {
namespace {

namespace fs = std::filesystem;

unsigned long long StatementsSent(const std::string& err) {
  unsigned long long statements = 0;
  const auto at = err.find("catalogue statements: ");
  if (at != std::string::npos)
    std::sscanf(err.c_str() + at, "catalogue statements: %llu", &statements);
  return statements;
}

TEST_P(ConversionTest, CoalescedRowsAndBytesEqualThoseOfARowAtEveryFlush) {
  // Three stretches that chain, one past the hour, a gap and a second channel.
  RawFile("KIR", {"Z", "N-S"}, kMarch1, 100.0, 150000).WriteTo(Raw("KIR/a.raw"));
  RawFile("KIR", {"Z", "N-S"}, kMarch1 + 1500.0, 100.0, 150000, 150000).WriteTo(Raw("KIR/b.raw"));
  RawFile("KIR", {"Z", "N-S"}, kMarch1 + 3000.0, 100.0, 90000, 300000).WriteTo(Raw("KIR/c.raw"));
  RawFile("KIR", {"Z", "N-S"}, kMarch1 + 4500.0, 100.0, 25000, 390000).WriteTo(Raw("KIR/d.raw"));

  struct Run {
    std::vector<CatalogueRow> rows;
    std::map<std::string, std::string> files;
    unsigned long long statements = 0;
  };
  const auto run = [&](const std::string& root, bool coalesce, bool durable = false) {
    sandbox.WriteTqfIni("[DATA]\nDIR=" + root + "\n[DATABASE]\nODBC=" + GetParam() + "\n");
    fs::create_directories(root);
    std::vector<std::string> args{"convert", "--station", "KIR", "--all-times", "--stats"};
    if (!coalesce) args.push_back("--no-coalesce");
    if (durable) args.push_back("--durable");
    const auto r = Cli(args);
    EXPECT_EQ(r.exit_status, 0) << r.err;
    EXPECT_EQ(r.out, "Успешно завершена конверсия 4 файлов\n");
    Run result{Rows(), ReadTree(root), StatementsSent(r.err)};
    db.ExecuteSQL("DELETE FROM FILELIST");
    return result;
  };
  const Run every_flush = run(out + "every-flush/", false);
  const Run coalesced = run(out + "coalesced/", true);
  const Run durable = run(out + "durable/", true, true);

  ASSERT_EQ(coalesced.rows.size(), 6u);  // Z and N-S: 00:00, 01:00 and the one after the gap
  ASSERT_EQ(coalesced.rows.size(), every_flush.rows.size());
  for (std::size_t i = 0; i < coalesced.rows.size(); ++i) {
    const CatalogueRow& a = coalesced.rows[i];
    const CatalogueRow& b = every_flush.rows[i];
    EXPECT_EQ(a.cpath, b.cpath);
    EXPECT_EQ(a.sta, b.sta);
    EXPECT_EQ(a.ch, b.ch);
    EXPECT_EQ(a.tbegin, b.tbegin) << a.cpath;
    EXPECT_EQ(a.tqty, b.tqty) << a.cpath;
    EXPECT_EQ(a.sps, b.sps);
    EXPECT_EQ(a.calib, b.calib);
    EXPECT_EQ(a.calper, b.calper);
  }
  EXPECT_EQ(coalesced.files, every_flush.files);
  EXPECT_EQ(durable.files, coalesced.files);
  EXPECT_EQ(durable.statements, coalesced.statements);
  EXPECT_EQ(coalesced.files.size(), 6u);
  // 84 blocks, each flushed with its row, against a few rows per raw file.
  EXPECT_GT(every_flush.statements, 84u);
  EXPECT_LT(coalesced.statements, 30u);
  EXPECT_GT(coalesced.statements, 0u);
}

}  // namespace
}  // namespace korvel::test
