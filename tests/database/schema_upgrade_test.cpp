#include <gtest/gtest.h>

#include "database/catalogue_schema.h"
#include "database/connection.h"
#include "database/db_exception.h"
#include "database/schema_upgrade.h"
#include "database/statement.h"
#include "tests/support/databases/live_database.h"
#include "tests/support/recording_notifier.h"

namespace korvel {
namespace {

using test::RecordingNotifier;

TEST(SchemaUpgrade, StatementsCharacterForCharacter) {
  const auto present = [](const char* column, const char* type, DbmsKind kind) {
    return ChangeColumnStatement("FILELIST", column, type, true, kind);
  };
  EXPECT_EQ(present("LCODE", "VARCHAR(8)", DbmsKind::Access),
            "ALTER TABLE FILELIST ALTER LCODE   VARCHAR(8)");
  EXPECT_EQ(present("LCODE", "VARCHAR(8)", DbmsKind::MsSql),
            "ALTER TABLE FILELIST ALTER COLUMN LCODE   VARCHAR(8)");
  EXPECT_EQ(present("LCODE", "VARCHAR(8)", DbmsKind::Oracle),
            "ALTER TABLE FILELIST MODIFY LCODE   VARCHAR(8)");
  EXPECT_EQ(present("CALPER", "FLOAT", DbmsKind::MySql),
            "ALTER TABLE FILELIST MODIFY CALPER   FLOAT");
  EXPECT_EQ(present("FOFF", "INT", DbmsKind::Postgres), "ALTER TABLE FILELIST ALTER FOFF TYPE INT");
  EXPECT_EQ(present("TEND", "DOUBLE", DbmsKind::Access),
            "ALTER TABLE FILELIST ALTER TEND   DOUBLE");
  for (DbmsKind kind : {DbmsKind::Access, DbmsKind::Postgres, DbmsKind::MsSql})
    EXPECT_EQ(ChangeColumnStatement("FILELIST", "CALIB", "FLOAT", false, kind),
              "ALTER TABLE FILELIST ADD CALIB   FLOAT");
  // MySQL and MariaDB get DOUBLE: their FLOAT is single precision.
  EXPECT_EQ(present("CALIB", "DOUBLE", DbmsKind::MySql),
            "ALTER TABLE FILELIST MODIFY CALIB   DOUBLE");
  EXPECT_EQ(ChangeColumnStatement("FILELIST", "TEND", "DOUBLE", false, DbmsKind::MySql),
            "ALTER TABLE FILELIST ADD TEND   DOUBLE");
}

class SchemaUpgradeTest : public test::LiveCatalogueTest {
 protected:
  void SetUp() override {
    LiveCatalogueTest::SetUp();
    if (IsSkipped()) return;
    ASSERT_EQ(m_db.OpenEx(test::TestConnectString(GetParam())), CDatabase::OpenResult::Opened);
    test::ResetCatalogue(m_db);
    m_sqlite = m_db.IsSqlite();
  }
  void OldTableWithoutTheFiveColumns() {
    m_db.ExecuteSQL("DROP TABLE FILELIST");
    m_db.ExecuteSQL("CREATE TABLE FILELIST (STA VARCHAR(16), CPATH VARCHAR(255))");
    m_db.ExecuteSQL("INSERT INTO FILELIST (STA, CPATH) VALUES ('KIR', 'KIR/x')");
  }
  CDatabase m_db;
  RecordingNotifier m_notifier;
  bool m_sqlite = false;
};

TEST_P(SchemaUpgradeTest, AddsMissingColumnsWithoutTouchingRows) {
  OldTableWithoutTheFiveColumns();
  for (const char* column : {"LCODE", "CALPER", "CALIB", "FOFF", "TEND"})
    EXPECT_FALSE(ColumnExists(m_db, "FILELIST", column));
  EXPECT_TRUE(ColumnExists(m_db, "FILELIST", "CPATH"));
  EXPECT_EQ(UpgradeSchema(m_db, m_notifier), 0);
  EXPECT_TRUE(m_notifier.messages.empty());
  for (const char* column : {"LCODE", "CALPER", "CALIB", "FOFF", "TEND"})
    EXPECT_TRUE(ColumnExists(m_db, "FILELIST", column)) << column;
  m_db.ExecuteSQL(
      "UPDATE FILELIST SET CALIB = 1.5, FOFF = 512, LCODE = 'ab' WHERE CPATH = 'KIR/x'");
}

// Columns that hold what they must are left as they are: no change is sent,
// so a login without the right to alter tables upgrades a complete schema
// without a single error.
TEST_P(SchemaUpgradeTest, ColumnsThatHoldWhatTheyMustAreLeft) {
  if (m_db.Kind() == DbmsKind::Postgres)
    m_db.ExecuteSQL("GRANT SELECT, INSERT, UPDATE, DELETE ON FILELIST, SITECHAN TO \"TQFDML\"");
  CDatabase rows_only;
  const std::string connect = m_sqlite ? test::TestConnectString(GetParam())
                                       : ConnectString({GetParam(), "TQFDML", test::kDmlPassword});
  ASSERT_EQ(rows_only.OpenEx(connect), CDatabase::OpenResult::Opened);
  EXPECT_EQ(UpgradeSchema(rows_only, m_notifier), 0);
  for (const auto& message : m_notifier.messages) ADD_FAILURE() << message.text;
  if (!m_sqlite) {
    EXPECT_THROW(rows_only.ExecuteSQL("ALTER TABLE FILELIST ADD X INT"), CDBException);
  }
}

// Another program's table, older shapes: a column is declared again only
// where it must be, keeping what it says besides its type, and nothing is
// ever cut.
TEST_P(SchemaUpgradeTest, AnUpgradeKeepsEverythingAColumnHolds) {
  if (m_sqlite) GTEST_SKIP() << "SQLite retypes no column: nothing to keep";
  const bool mysql = m_db.Kind() == DbmsKind::MySql;
  m_db.ExecuteSQL("DROP TABLE FILELIST");
  m_db.ExecuteSQL(std::string("CREATE TABLE FILELIST (STA VARCHAR(16), CPATH VARCHAR(255), ") +
                  "LCODE CHAR(12), CALIB " + (mysql ? "FLOAT" : "REAL") + " NOT NULL DEFAULT 1" +
                  (mysql ? " COMMENT 'calibration, nm/count'" : "") +
                  ", CALPER DOUBLE PRECISION, FOFF VARCHAR(8), TEND DOUBLE PRECISION)");
  if (!mysql) m_db.ExecuteSQL("COMMENT ON COLUMN FILELIST.CALIB IS 'calibration, nm/count'");
  m_db.ExecuteSQL(
      "INSERT INTO FILELIST (STA, CPATH, LCODE, CALIB, FOFF) VALUES ('KIR', 'a', 'ABCDEFGHIJ', "
      "2.5, '512')");
  EXPECT_EQ(UpgradeSchema(m_db, m_notifier), 0);
  for (const auto& message : m_notifier.messages) ADD_FAILURE() << message.text;
  CStatement s(m_db);
  s.ExecDirect("SELECT LCODE, CALIB, FOFF FROM FILELIST");
  ASSERT_TRUE(s.Fetch());
  EXPECT_EQ(s.Get<std::string>(1).value_or("").substr(0, 10), "ABCDEFGHIJ");  // never cut
  EXPECT_EQ(s.Get<double>(2), 2.5);
  EXPECT_EQ(s.Get<std::int32_t>(3), 512);
  s.CloseCursor();
  const auto lcode = DescribeColumn(m_db, "FILELIST", "LCODE");
  ASSERT_TRUE(lcode);
  EXPECT_EQ(lcode->size, 12);  // left as it was: wide enough
  const auto calib = DescribeColumn(m_db, "FILELIST", "CALIB");
  ASSERT_TRUE(calib);
  EXPECT_TRUE(KeepsDoubles(*calib));
  EXPECT_FALSE(calib->nullable);
  // The default and the comment, as the server keeps them.
  CStatement kept(m_db);
  kept.ExecDirect(mysql ? "SELECT COLUMN_DEFAULT, COLUMN_COMMENT FROM information_schema.COLUMNS "
                          "WHERE TABLE_SCHEMA = DATABASE() AND TABLE_NAME = 'FILELIST' AND "
                          "COLUMN_NAME = 'CALIB'"
                        : "SELECT column_default, col_description('filelist'::regclass, "
                          "ordinal_position::int) FROM information_schema.columns WHERE "
                          "table_name = 'filelist' AND column_name = 'calib'");
  ASSERT_TRUE(kept.Fetch());
  EXPECT_EQ(kept.Get<std::string>(1).value_or("").substr(0, 1), "1");
  EXPECT_EQ(kept.Get<std::string>(2), "calibration, nm/count");
  // A text that will not fit a narrower type is refused by the strict
  // session, never cut: FOFF holds a text that is no number.
  m_db.ExecuteSQL(mysql ? "ALTER TABLE FILELIST MODIFY FOFF VARCHAR(8)"
                        : "ALTER TABLE FILELIST ALTER FOFF TYPE VARCHAR(8)");
  m_db.ExecuteSQL("UPDATE FILELIST SET FOFF = 'x1'");
  m_notifier.messages.clear();
  EXPECT_EQ(UpgradeSchema(m_db, m_notifier), 1);
  ASSERT_EQ(m_notifier.messages.size(), 1u);
}

TEST_P(SchemaUpgradeTest, OneColumnsFailureDoesNotStopTheNext) {
  // FOFF holds a text that no server turns into INT.
  m_db.ExecuteSQL("DROP TABLE FILELIST");
  m_db.ExecuteSQL("CREATE TABLE FILELIST (STA VARCHAR(16), FOFF VARCHAR(8))");
  m_db.ExecuteSQL("INSERT INTO FILELIST (STA, FOFF) VALUES ('KIR', 'abc')");
  EXPECT_EQ(UpgradeSchema(m_db, m_notifier), m_sqlite ? 0 : 1);
  for (const char* column : {"LCODE", "CALPER", "CALIB", "TEND"})
    EXPECT_TRUE(ColumnExists(m_db, "FILELIST", column)) << column;
  if (m_sqlite) return;
  ASSERT_EQ(m_notifier.messages.size(), 1u);
  const std::string head = "Ошибка добавления поля FOFF в таблицу FILELIST";
  const auto& m = m_notifier.messages[0];
  EXPECT_EQ(m.text.rfind(head, 0), 0u) << m.text;
  EXPECT_GT(m.text.size(), head.size() + 2);  // the driver's text follows on the line
  EXPECT_EQ(m.text.substr(head.size(), 2), ": ") << m.text;
  EXPECT_NE(m.text[head.size() + 2], '\n');
  EXPECT_EQ(m.icon, MessageIcon::Error);
}

TEST_P(SchemaUpgradeTest, AMissingTableIsAFailedProbeWhereTheDriverSaysSo) {
  EXPECT_EQ(ProbeColumn(m_db, "FILELIST", "LCODE").state, ColumnProbe::Present);
  EXPECT_EQ(ProbeColumn(m_db, "FILELIST", "NOPE").state, ColumnProbe::Missing);
  m_db.ExecuteSQL("DROP TABLE FILELIST");
  // SQLite gives one general state for every failure; the servers name the cause.
  const ProbeOutcome probe = ProbeColumn(m_db, "FILELIST", "LCODE");
  EXPECT_EQ(probe.state, m_sqlite ? ColumnProbe::Missing : ColumnProbe::Failed);
  const auto before = m_db.StatementCount();
  EXPECT_EQ(UpgradeSchema(m_db, m_notifier), 5);
  ASSERT_EQ(m_notifier.messages.size(), 5u);
  if (m_sqlite) {
    // The probes count as missing columns: five ADD statements fail.
    EXPECT_EQ(m_db.StatementCount() - before, 10u);
    EXPECT_EQ(
        m_notifier.messages[4].text.rfind("Ошибка добавления поля TEND в таблицу FILELIST", 0), 0u);
  } else {
    // No ADD is sent where the probe failed for another reason than the column.
    EXPECT_EQ(m_db.StatementCount() - before, 5u);
    const std::string head = "Ошибка проверки поля TEND в таблице FILELIST: ";
    EXPECT_EQ(m_notifier.messages[4].text.rfind(head, 0), 0u) << m_notifier.messages[4].text;
    EXPECT_EQ(m_notifier.messages[4].text.substr(head.size()), probe.error);
    EXPECT_FALSE(probe.error.empty());
  }
}

// A column of times that must become a double keeps what its values mean:
// PostgreSQL turns each into seconds since 1970 by its time (a time without
// time zone as UTC) in one statement; MariaDB, whose own cast would give
// 20070301010000, leaves it while it holds values, and changes it once it is
// empty. Every change is named.
TEST_P(SchemaUpgradeTest, AColumnOfTimesKeepsItsTimes) {
  if (m_sqlite) GTEST_SKIP() << "SQLite has no time types and retypes no column";
  const bool mysql = m_db.Kind() == DbmsKind::MySql;
  const struct {
    const char* type;
    const char* value;
    double seconds;  // what TEND holds afterwards; 0: left as it was
  } cases[] = {
      {"TIMESTAMP", "2007-03-01 01:00:00", mysql ? 0 : 1172710800.0},
      {mysql ? "DATETIME" : "TIMESTAMP WITH TIME ZONE", "2007-03-01 01:00:00+03",
       mysql ? 0 : 1172700000.0},
      {"DATE", "2007-03-01", mysql ? 0 : 1172707200.0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.type);
    m_db.ExecuteSQL("DROP TABLE FILELIST");
    m_db.ExecuteSQL(std::string("CREATE TABLE FILELIST (STA VARCHAR(16), LCODE VARCHAR(8), ") +
                    "CALPER DOUBLE PRECISION, CALIB DOUBLE PRECISION, FOFF INT, TEND " + c.type +
                    " NULL)");
    // MariaDB reads the zone suffix as a fraction it drops, with a note.
    std::string value = c.value;
    if (mysql) value = value.substr(0, value.find('+'));
    m_db.ExecuteSQL("INSERT INTO FILELIST (STA, TEND) VALUES ('KIR', '" + value + "')");
    m_notifier.messages.clear();
    std::vector<std::string> changed;
    EXPECT_EQ(UpgradeSchema(m_db, m_notifier, &changed), c.seconds == 0 ? 1 : 0);
    const auto tend = DescribeColumn(m_db, "FILELIST", "TEND");
    ASSERT_TRUE(tend);
    CStatement s(m_db);
    if (c.seconds != 0) {
      EXPECT_TRUE(m_notifier.messages.empty());
      ASSERT_EQ(changed.size(), 1u);
      EXPECT_EQ(changed[0].rfind("FILELIST.TEND: ", 0), 0u) << changed[0];
      EXPECT_NE(changed[0].find("seconds since 1970-01-01 00:00:00 UTC"), std::string::npos);
      EXPECT_TRUE(KeepsDoubles(*tend));
      s.ExecDirect("SELECT TEND FROM FILELIST");
      ASSERT_TRUE(s.Fetch());
      EXPECT_EQ(s.Get<double>(1), c.seconds);
      continue;
    }
    EXPECT_TRUE(changed.empty());
    ASSERT_EQ(m_notifier.messages.size(), 1u);
    EXPECT_EQ(m_notifier.messages[0].text.rfind("Поле TEND таблицы FILELIST оставлено как есть", 0),
              0u)
        << m_notifier.messages[0].text;
    EXPECT_FALSE(KeepsDoubles(*tend));
    s.ExecDirect("SELECT CAST(TEND AS CHAR) FROM FILELIST");
    ASSERT_TRUE(s.Fetch());
    EXPECT_EQ(s.Get<std::string>(1).value_or("").substr(0, value.size()), value);
    s.CloseCursor();
    // Emptied, it is declared again: no value can change its meaning.
    m_db.ExecuteSQL("UPDATE FILELIST SET TEND = NULL");
    m_notifier.messages.clear();
    EXPECT_EQ(UpgradeSchema(m_db, m_notifier, &changed), 0);
    EXPECT_TRUE(m_notifier.messages.empty());
    ASSERT_EQ(changed.size(), 1u);
    EXPECT_EQ(changed[0].rfind("FILELIST.TEND: ", 0), 0u) << changed[0];
    EXPECT_NE(changed[0].find("it held no value"), std::string::npos) << changed[0];
    EXPECT_TRUE(KeepsDoubles(*DescribeColumn(m_db, "FILELIST", "TEND")));
  }
}

// A text declared again keeps its charset and collation (MariaDB's MODIFY
// would give it the table's, PostgreSQL's ALTER TYPE the type's default),
// and its values; the change is named with what it kept.
TEST_P(SchemaUpgradeTest, ATextDeclaredAgainKeepsItsCharsetAndCollation) {
  if (m_sqlite) GTEST_SKIP() << "SQLite retypes no column";
  const bool mysql = m_db.Kind() == DbmsKind::MySql;
  m_db.ExecuteSQL("DROP TABLE FILELIST");
  m_db.ExecuteSQL(std::string("CREATE TABLE FILELIST (STA VARCHAR(16), CALPER DOUBLE ") +
                  "PRECISION, CALIB DOUBLE PRECISION, FOFF INT, TEND DOUBLE PRECISION, LCODE " +
                  (mysql ? "VARCHAR(4) CHARACTER SET latin1 COLLATE latin1_general_cs) "
                           "CHARACTER SET utf8mb4"
                         : "VARCHAR(4) COLLATE \"POSIX\")"));
  m_db.ExecuteSQL("INSERT INTO FILELIST (STA, LCODE) VALUES ('KIR', 'Äb')");
  std::vector<std::string> changed;
  EXPECT_EQ(UpgradeSchema(m_db, m_notifier, &changed), 0);
  for (const auto& message : m_notifier.messages) ADD_FAILURE() << message.text;
  ASSERT_EQ(changed.size(), 1u);
  EXPECT_EQ(changed[0], mysql ? "FILELIST.LCODE: VARCHAR declared again as VARCHAR(8), keeping "
                                "its charset latin1 and collation latin1_general_cs"
                              : "FILELIST.LCODE: varchar declared again as VARCHAR(8), keeping "
                                "its collation POSIX");
  CStatement s(m_db);
  s.ExecDirect(mysql ? "SELECT CHARACTER_SET_NAME, COLLATION_NAME, CHARACTER_MAXIMUM_LENGTH FROM "
                       "information_schema.COLUMNS WHERE TABLE_SCHEMA = DATABASE() AND "
                       "TABLE_NAME = 'FILELIST' AND COLUMN_NAME = 'LCODE'"
                     : "SELECT 'POSIX', collation_name, character_maximum_length FROM "
                       "information_schema.columns WHERE table_name = 'filelist' AND "
                       "column_name = 'lcode'");
  ASSERT_TRUE(s.Fetch());
  EXPECT_EQ(s.Get<std::string>(1), mysql ? "latin1" : "POSIX");
  EXPECT_EQ(s.Get<std::string>(2), mysql ? "latin1_general_cs" : "POSIX");
  EXPECT_EQ(s.Get<std::int32_t>(3), 8);
  s.CloseCursor();
  s.ExecDirect("SELECT LCODE FROM FILELIST");
  ASSERT_TRUE(s.Fetch());
  EXPECT_EQ(s.Get<std::string>(1), "Äb");
}

INSTANTIATE_TEST_SUITE_P(Drivers, SchemaUpgradeTest, ::testing::ValuesIn(test::TestDsns()),
                         [](const auto& info) { return info.param; });
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(SchemaUpgradeTest);

}  // namespace
}  // namespace korvel
