// MySQL and MariaDB tables in a legacy charset (cp1251 for Russian set-ups,
// latin1): every lookup finds the rows the catalogue wrote, so a second
// registration replaces the first, and a name the charset cannot hold is
// refused instead of being stored as "?".
#include <gtest/gtest.h>

#include "database/catalogue_rows.h"
#include "database/chan_list.h"
#include "database/chan_list_writer.h"
#include "database/file_list.h"
#include "database/statement.h"
#include "platform/text1251.h"
#include "tests/support/databases/live_database.h"
#include "tests/support/recording_notifier.h"

namespace korvel {
namespace {

class ColumnCharsetTest : public test::FreshCatalogueTest {
 protected:
  void SetUp() override {
    FreshCatalogueTest::SetUp();
    if (IsSkipped()) return;
    if (m_db.Kind() != DbmsKind::MySql) GTEST_SKIP() << "charsets per column are MySQL's";
  }
  // Both tables in `charset`, with its default collation (case-blind ones).
  void TablesIn(const std::string& charset) {
    test::ResetCatalogue(m_db);
    for (const char* table : {"FILELIST", "SITECHAN"})
      m_db.ExecuteSQL(std::string("ALTER TABLE ") + table + " CONVERT TO CHARACTER SET " + charset);
    m_db.Close();  // what the connection learnt of the old tables goes with it
    ASSERT_EQ(m_db.OpenEx(test::TestConnectString(GetParam())), CDatabase::OpenResult::Opened);
  }
  int Count(const std::string& table) {
    CStatement count(m_db);
    count.ExecDirect("SELECT COUNT(*) FROM " + table);
    return count.FetchCount();
  }
  test::RecordingNotifier m_notifier;
};

TEST_P(ColumnCharsetTest, EveryLookupFindsTheRowsInTheTablesCharset) {
  const struct {
    const char* charset;
    const char* station;  // code page 1251
  } cases[] = {{"utf8mb4", "KIR"},
               {"utf8mb4", "\xCA\xC8\xD0"},
               {"cp1251", "KIR"},
               {"cp1251", "\xCA\xC8\xD0"},
               {"latin1", "KIR"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.charset) + " " + c.station);
    TablesIn(c.charset);
    const std::string sta = c.station;
    const std::string path = sta + "/00/" + sta + "-Z.tqf";
    CFileList catalogue(m_db, m_notifier);
    catalogue.RegisterNewFile(path, sta, "Z", 1000.0, 10.0, 100.0, 1.0, 1.0, 1, 3);
    catalogue.RegisterNewFile(path, sta, "Z", 1000.0, 20.0, 100.0, 1.0, 1.0, 1, 3);
    catalogue.UpdateFileRecord(path, sta, "Z", 1000.0, 30.0, 100.0, 1, 3);
    EXPECT_EQ(Count("FILELIST"), 1);
    const auto latest = catalogue.LatestOwnFile(sta, "Z");
    ASSERT_TRUE(latest);
    EXPECT_EQ(latest->cpath, path);
    EXPECT_EQ(latest->tqty, 30.0);
    EXPECT_EQ(catalogue.OwnFilesNear(sta, "Z", 900.0, 1100.0).size(), 1u);
    const auto rows = ReadStationFileRows(m_db, sta);  // verify's and coverage's rows
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].station, sta);
    EXPECT_EQ(rows[0].cpath, path);
    EXPECT_TRUE(AnyRowNames(m_db, path, kOwnCreator));
    // The lookup goes through the index on (STA, CH, TBEGIN) in any charset.
    std::string sql = LatestOwnFileQuery(m_db);
    const std::string values[] = {"'" + Cp1251ToUtf8(sta) + "'", "'Z'", "'korvel2TQF'"};
    for (std::size_t n = 0, at; (at = sql.find('?')) != std::string::npos; ++n)
      sql.replace(at, 1, values[n / 2]);
    CStatement explain(m_db);
    explain.ExecDirect("EXPLAIN " + sql);
    ASSERT_TRUE(explain.Fetch());
    EXPECT_EQ(explain.Get<std::string>(6), "FILELIST_STA_CH_TBEGIN") << sql;  // the key used
    explain.CloseCursor();
    // Another station whose name the collation takes for this one is not it.
    EXPECT_FALSE(catalogue.LatestOwnFile(sta == "KIR" ? "kir" : "\xEA\xE8\xF0", "Z"));

    EXPECT_TRUE(AddMissingChannel(m_db, sta, "Z", 100.0));
    EXPECT_FALSE(AddMissingChannel(m_db, sta, "Z", 100.0));
    EXPECT_EQ(Count("SITECHAN"), 1);
    const auto channels = CChanList(m_db).ListStation(sta);
    ASSERT_EQ(channels.size(), 1u);
    EXPECT_EQ(channels[0].sta, sta);

    SetOwnFileLength(m_db, rows[0].stored_cpath, 5.0);
    EXPECT_EQ(catalogue.LatestOwnFile(sta, "Z")->tqty, 5.0);
    DeleteOwnFileRow(m_db, rows[0].stored_cpath);
    EXPECT_EQ(Count("FILELIST"), 0);
  }
}

// Cyrillic in a latin1 table: the strict session refuses the row with the
// server's reason, and nothing is stored.
TEST_P(ColumnCharsetTest, ANameTheCharsetCannotHoldIsRefused) {
  TablesIn("latin1");
  CFileList catalogue(m_db, m_notifier);
  EXPECT_FALSE(catalogue.LatestOwnFile("\xCA\xC8\xD0", "Z"));
  try {
    catalogue.RegisterNewFile("\xCA\xC8\xD0/00/a", "\xCA\xC8\xD0", "Z", 1000.0, 10.0, 100.0, 1.0,
                              1.0, 1, 3);
    ADD_FAILURE() << "a row of КИР was stored in latin1";
  } catch (const CatalogueError& e) {
    EXPECT_NE(std::string(e.what()).find("Incorrect string value"), std::string::npos) << e.what();
  }
  EXPECT_EQ(Count("FILELIST"), 0);
  EXPECT_THROW(AddMissingChannel(m_db, "\xCA\xC8\xD0", "Z", 100.0), CatalogueError);
  EXPECT_EQ(Count("SITECHAN"), 0);
}

INSTANTIATE_TEST_SUITE_P(Drivers, ColumnCharsetTest, ::testing::ValuesIn(test::TestDsns()),
                         [](const auto& info) { return info.param; });
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(ColumnCharsetTest);

}  // namespace
}  // namespace korvel
