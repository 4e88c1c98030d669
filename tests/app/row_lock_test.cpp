// The catalogue is not locked while a raw file's files are written: another
// converter's rows go in meanwhile without waiting.
#include <gtest/gtest.h>

#include <chrono>
#include <vector>

#include "database/database.h"
#include "database/file_list.h"
#include "engine/conversion_commands.h"
#include "engine/output_writer.h"
#include "tests/app/conversion_fixture.h"
#include "tests/support/databases/live_database.h"
#include "tests/support/recording_notifier.h"

namespace korvel::test {
namespace {

// SQLite locks the whole database for a writing transaction: a transaction
// left open over the writing of files would keep every other connection's
// row waiting, then refused as "database is locked".
TEST_P(ConversionTest, AnotherConnectionWritesRowsWhileFilesAreWritten) {
  if (!db.IsSqliteConnection()) GTEST_SKIP() << "a server locks rows, not the catalogue";
  CDatabase database;
  ASSERT_EQ(database.OpenEx(TestConnectString(GetParam())), CDatabase::OpenResult::Opened);
  RecordingNotifier notifier;
  CFileList catalogue(database, notifier);
  FileErrorMessages file_errors(notifier);
  OutputWriter writer(catalogue, file_errors);
  writer.SetOutputRoot(out);
  writer.SetCoalesceUpdates(true);
  const std::vector<float> block(10000, 1.0f);
  for (int b = 0; b < 3; ++b) {
    // A new file, then extensions of it: the raw file owes its rows.
    writer.AppendBlock("KIR", "Z", 100.0, 1000.0, 1.0, kMarch1 + b * 100.0, 10000, block.data());
    const auto before = std::chrono::steady_clock::now();
    InsertFileRow(db, "KUDA", "Z", "KUDA/00/other-" + std::to_string(b), kMarch1, 100.0, 50.0,
                  "DRANOVEX");
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(5)) << b;
  }
  writer.FinishRawFile();
  const std::vector<CatalogueRow> rows = Rows();
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_EQ(rows.front().cpath, "KIR/00/01032007-000000-Z.KIR");
  EXPECT_EQ(rows.front().tqty, 300.0);
  EXPECT_TRUE(notifier.messages.empty());
}

}  // namespace
}  // namespace korvel::test
