// The catalogue among other programs' tables: changes of more than one
// statement all or nothing, comparisons byte for byte whatever the table's
// collation, numbers read back to the last digit, padded names trimmed.
#include <gtest/gtest.h>

#include <algorithm>

#include "database/catalogue_rows.h"
#include "database/chan_list.h"
#include "database/exact_match.h"
#include "database/file_list.h"
#include "database/statement.h"
#include "tests/support/databases/live_database.h"
#include "tests/support/recording_notifier.h"

namespace korvel {
namespace {

class CatalogueExactness : public test::FreshCatalogueTest {
 protected:
  std::vector<std::string> Paths() {
    CStatement s(m_db);
    s.ExecDirect("SELECT CPATH, CREATER FROM FILELIST ORDER BY CREATER, CPATH");
    std::vector<std::string> paths;
    while (s.Fetch())
      paths.push_back(s.Get<std::string>(1).value_or("") + " " +
                      s.Get<std::string>(2).value_or(""));
    std::sort(paths.begin(), paths.end());  // in bytes, whatever the collation
    return paths;
  }
  test::RecordingNotifier m_notifier;
};

// A refused insert leaves the older row of the path: its file stays catalogued.
TEST_P(CatalogueExactness, ARefusedRegistrationKeepsTheOlderRow) {
  CFileList catalogue(m_db, m_notifier);
  catalogue.RegisterNewFile("KIR/00/a", "KIR", "Z", 1000.0, 10.0, 100.0, 1.0, 1.0, 1, 3);
  test::RefuseFileListStatements(m_db, test::FileListRefusal::kInsertsAfter, 0);
  EXPECT_THROW(
      catalogue.RegisterNewFile("KIR/00/a", "KIR", "Z", 1000.0, 20.0, 100.0, 1.0, 1.0, 1, 3),
      CatalogueError);
  EXPECT_THROW(catalogue.UpdateFileRecord("KIR/00/b", "KIR", "Z", 2000.0, 5.0, 100.0, 1, 3),
               CatalogueError);
  EXPECT_EQ(Paths(), std::vector<std::string>{"KIR/00/a korvel2TQF"});
  const auto rows = ReadStationFileRows(m_db, "KIR");
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].tqty, 10.0);
  // Auto-commit is back: a later statement stands on its own.
  catalogue.UpdateFileRecord("KIR/00/a", "KIR", "Z", 1000.0, 30.0, 100.0, 1, 3);
  EXPECT_EQ(ReadStationFileRows(m_db, "KIR")[0].tqty, 30.0);
}

// Another program's FILELIST in the server's default collation, which on
// MariaDB ignores case: its rows of "kir" are not ours of "KIR".
TEST_P(CatalogueExactness, NamesThatDifferInCaseAreOtherNames) {
  if (m_db.Kind() == DbmsKind::MySql) {
    m_db.ExecuteSQL("DROP TABLE FILELIST");
    m_db.ExecuteSQL(
        "CREATE TABLE FILELIST (STA VARCHAR(16), SPS DOUBLE, GAIN INT, CPATH VARCHAR(255), "
        "DATATYPE INT, CH VARCHAR(24), CREATER VARCHAR(16), LDDATE DATETIME, TBEGIN DOUBLE, TQTY "
        "DOUBLE, CALIB DOUBLE, CALPER DOUBLE, FOFF INT, LCODE VARCHAR(8), TEND DOUBLE) "
        "CHARACTER SET utf8mb4 COLLATE utf8mb4_general_ci");
    m_db.ExecuteSQL("CREATE INDEX FILELIST_CPATH ON FILELIST (CPATH)");
  }
  test::InsertFileRow(m_db, "kir", "z", "kir/00/a-z.kir", 1000.0, 10.0, 100.0, "korvel2TQF");
  CFileList catalogue(m_db, m_notifier);
  catalogue.RegisterNewFile("KIR/00/A-Z.KIR", "KIR", "Z", 1000.0, 20.0, 100.0, 1.0, 1.0, 1, 3);
  catalogue.UpdateFileRecord("KIR/00/A-Z.KIR", "KIR", "Z", 1000.0, 25.0, 100.0, 1, 3);
  EXPECT_EQ(Paths(),
            (std::vector<std::string>{"KIR/00/A-Z.KIR korvel2TQF", "kir/00/a-z.kir korvel2TQF"}));
  EXPECT_EQ(ReadStationFileRows(m_db, "KIR").size(), 1u);
  EXPECT_EQ(ReadStationFileRows(m_db, "kir")[0].tqty, 10.0);
  EXPECT_FALSE(AnyRowNames(m_db, "KIR/00/a-z.kir"));
  if (m_db.Kind() != DbmsKind::MySql) return;
  // The exact comparison still finds its row through the index.
  std::string where = ExactMatch(m_db, "CPATH");
  for (std::size_t at; (at = where.find('?')) != std::string::npos;)
    where.replace(at, 1, "'KIR/00/A-Z.KIR'");
  CStatement explain(m_db);
  explain.ExecDirect("EXPLAIN SELECT COUNT(*) FROM FILELIST WHERE " + where);
  ASSERT_TRUE(explain.Fetch());
  EXPECT_EQ(explain.Get<std::string>(6), "FILELIST_CPATH");  // the key used
}

// A later run asks for a channel's latest own row once: the index on
// (STA, CH, TBEGIN) answers it from its end, with no sort and no scan of the
// station's rows, however many the channel has. The plan is printed.
TEST_P(CatalogueExactness, TheLatestOwnFileIsReadFromTheEndOfItsIndex) {
  for (int first = 0; first < 3000; first += 500) {
    std::string values;
    for (int i = first; i < first + 500; ++i)
      values += std::string(values.empty() ? "" : ", ") + "('KIR', '" + "ZNE"[i % 3] + "', 'p" +
                std::to_string(i) + "', '" + (i % 2 ? "korvel2TQF" : "DRANOVEX") + "', " +
                std::to_string(1000 + 10 * i) + ", 10, 100)";
    m_db.ExecuteSQL("INSERT INTO FILELIST (STA, CH, CPATH, CREATER, TBEGIN, TQTY, SPS) VALUES " +
                    values);
  }
  const DbmsKind kind = m_db.Kind();
  m_db.ExecuteSQL(kind == DbmsKind::MySql ? "ANALYZE TABLE FILELIST" : "ANALYZE");
  std::string sql = LatestOwnFileQuery(m_db);
  const std::size_t marks = static_cast<std::size_t>(std::count(sql.begin(), sql.end(), '?'));
  const std::string values[] = {"'KIR'", "'Z'", "'korvel2TQF'"};
  for (std::size_t n = 0, at; (at = sql.find('?')) != std::string::npos; ++n)
    sql.replace(at, 1, values[n / (marks / 3)]);
  CStatement explain(m_db);
  explain.ExecDirect((m_db.IsSqliteConnection() ? "EXPLAIN QUERY PLAN " : "EXPLAIN ") + sql);
  std::string plan;
  const int columns = explain.ColumnCount();
  while (explain.Fetch()) {
    for (int c = 1; c <= columns; ++c) plan += explain.Get<std::string>(c).value_or("") + " ";
    plan += "\n";
  }
  std::printf("%s plan of the latest own row:\n%s", GetParam().c_str(), plan.c_str());
  std::string upper = plan;
  std::transform(upper.begin(), upper.end(), upper.begin(), ::toupper);
  EXPECT_NE(upper.find("FILELIST_STA_CH_TBEGIN"), std::string::npos) << plan;
  for (const char* sorting : {"TEMP B-TREE", "SORT", "FILESORT"})
    EXPECT_EQ(upper.find(sorting), std::string::npos) << plan;
  const auto found = CFileList(m_db, m_notifier).LatestOwnFile("KIR", "Z");
  ASSERT_TRUE(found);
  EXPECT_EQ(found->cpath, "p2997");  // the last of ours on Z
}

// Doubles come back with every digit on every driver, and a CHAR(n) column's
// padding never reaches a name.
TEST_P(CatalogueExactness, NumbersAndNamesComeBackAsTheyWent) {
  const double calper = 1 / 3.3;
  const double tbegin = 1173247920.1234567;
  CFileList catalogue(m_db, m_notifier);
  catalogue.RegisterNewFile("KIR/00/a", "KIR", "Z", tbegin, 3599.99, 3.3, 1000.0 / 3.0, calper, 1,
                            3);
  const auto found = catalogue.LatestOwnFile("KIR", "Z");
  ASSERT_TRUE(found);
  EXPECT_EQ(found->tbegin, tbegin);
  EXPECT_EQ(found->sps, 3.3);
  EXPECT_EQ(found->calib, 1000.0 / 3.0);
  EXPECT_EQ(found->calper, calper);
  const auto rows = ReadStationFileRows(m_db, "KIR");
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].tbegin, tbegin);
  EXPECT_EQ(rows[0].tqty, 3599.99);
  EXPECT_EQ(rows[0].calper, calper);

  if (m_db.Kind() == DbmsKind::Postgres) {
    m_db.ExecuteSQL("ALTER TABLE SITECHAN ALTER STA TYPE CHAR(16)");
    m_db.ExecuteSQL("ALTER TABLE SITECHAN ALTER CHAN TYPE CHAR(24)");
  }
  m_db.ExecuteSQL("INSERT INTO SITECHAN (STA, CHAN, SPS) VALUES ('KIR', 'Z', 3.3)");
  const auto channels = CChanList(m_db).ListStation("KIR");
  ASSERT_EQ(channels.size(), 1u);
  EXPECT_EQ(channels[0].chan, "Z");
  EXPECT_EQ(channels[0].sta, "KIR");
  EXPECT_EQ(channels[0].sps, 3.3);
  EXPECT_TRUE(IsTickedByDefault(channels[0].chan));
}

// A FILELIST whose start times would be rounded is named once a run, with
// the command that mends it.
TEST_P(CatalogueExactness, ALossyStartColumnIsNamedOnceARun) {
  if (m_db.IsSqlite()) GTEST_SKIP() << "SQLite keeps doubles whatever a column is declared";
  m_db.ExecuteSQL(m_db.Kind() == DbmsKind::MySql ? "ALTER TABLE FILELIST MODIFY TBEGIN FLOAT"
                                                 : "ALTER TABLE FILELIST ALTER TBEGIN TYPE REAL");
  CFileList catalogue(m_db, m_notifier);
  catalogue.RegisterNewFile("KIR/00/a", "KIR", "Z", 1000.0, 10.0, 100.0, 1.0, 1.0, 1, 3);
  catalogue.UpdateFileRecord("KIR/00/a", "KIR", "Z", 1000.0, 20.0, 100.0, 1, 3);
  ASSERT_EQ(m_notifier.messages.size(), 1u);
  EXPECT_NE(m_notifier.messages[0].text.find("TBEGIN"), std::string::npos);
  EXPECT_NE(m_notifier.messages[0].text.find("korvel2tqf-cli upgrade-schema"), std::string::npos);
  EXPECT_EQ(m_notifier.messages[0].icon, MessageIcon::Warning);
}

INSTANTIATE_TEST_SUITE_P(Drivers, CatalogueExactness, ::testing::ValuesIn(test::TestDsns()),
                         [](const auto& info) { return info.param; });
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(CatalogueExactness);

}  // namespace
}  // namespace korvel
