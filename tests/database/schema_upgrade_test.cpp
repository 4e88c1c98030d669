#include <gtest/gtest.h>

#include "database/db_exception.h"
#include "database/schema_upgrade.h"
#include "tests/database/live_database.h"
#include "tests/support/recording_notifier.h"

namespace korvel {
namespace {

using test::RecordingNotifier;

TEST(SchemaUpgrade, StatementsCharacterForCharacter) {
  const auto present = [](const char* column, const char* type, DbmsKind kind) {
    return ChangeColumnStatement("FILELIST", column, type, true, kind);
  };
  EXPECT_EQ(present("LCODE", "VARCHAR(8)", DbmsKind::Access), "ALTER TABLE FILELIST ALTER LCODE   VARCHAR(8)");
  EXPECT_EQ(present("LCODE", "VARCHAR(8)", DbmsKind::MsSql),
            "ALTER TABLE FILELIST ALTER COLUMN LCODE   VARCHAR(8)");
  EXPECT_EQ(present("LCODE", "VARCHAR(8)", DbmsKind::Oracle), "ALTER TABLE FILELIST MODIFY LCODE   VARCHAR(8)");
  EXPECT_EQ(present("CALPER", "FLOAT", DbmsKind::MySql), "ALTER TABLE FILELIST MODIFY CALPER   FLOAT");
  EXPECT_EQ(present("FOFF", "INT", DbmsKind::Postgres), "ALTER TABLE FILELIST ALTER FOFF TYPE INT");
  EXPECT_EQ(present("TEND", "DOUBLE", DbmsKind::Access), "ALTER TABLE FILELIST ALTER TEND   DOUBLE");
  for (DbmsKind kind : {DbmsKind::Access, DbmsKind::Postgres, DbmsKind::MsSql})
    EXPECT_EQ(ChangeColumnStatement("FILELIST", "CALIB", "FLOAT", false, kind),
              "ALTER TABLE FILELIST ADD CALIB   FLOAT");
}

class SchemaUpgradeTest : public ::testing::TestWithParam<std::string> {
 protected:
  void SetUp() override {
    ASSERT_EQ(m_db.OpenEx(test::TestConnectString(GetParam())), CDatabase::OpenResult::Opened);
    test::ResetCatalogue(m_db);
    m_postgres = m_db.GetDbmsKind() == DbmsKind::Postgres;
  }
  void OldTableWithoutTheFiveColumns() {
    m_db.ExecuteSQL("DROP TABLE FILELIST");
    m_db.ExecuteSQL("CREATE TABLE FILELIST (STA VARCHAR(16), CPATH VARCHAR(255))");
    m_db.ExecuteSQL("INSERT INTO FILELIST (STA, CPATH) VALUES ('KIR', 'KIR/x')");
  }
  CDatabase m_db;
  RecordingNotifier m_notifier;
  bool m_postgres = false;
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
  m_db.ExecuteSQL("UPDATE FILELIST SET CALIB = 1.5, FOFF = 512, LCODE = 'ab' WHERE CPATH = 'KIR/x'");
}

TEST_P(SchemaUpgradeTest, PresentColumnsAreDeclaredAgain) {
  const int failures = UpgradeSchema(m_db, m_notifier);
  if (m_postgres) {
    // The five "ALTER ... TYPE" statements are accepted by PostgreSQL.
    EXPECT_EQ(failures, 0);
    EXPECT_TRUE(m_notifier.messages.empty());
    return;
  }
  // SQLite cannot retype a column: each is reported with the driver's text,
  // and every column is still tried.
  EXPECT_EQ(failures, 5);
  ASSERT_EQ(m_notifier.messages.size(), 5u);
  const char* columns[] = {"LCODE", "CALPER", "CALIB", "FOFF", "TEND"};
  for (int i = 0; i < 5; ++i) {
    const std::string head = std::string("Ошибка добавления поля ") + columns[i] + " в таблицу FILELIST";
    const auto& m = m_notifier.messages[static_cast<std::size_t>(i)];
    EXPECT_EQ(m.text.rfind(head, 0), 0u) << m.text;
    EXPECT_GT(m.text.size(), head.size());  // the driver's text follows at once
    EXPECT_NE(m.text[head.size()], '\n');
    EXPECT_EQ(m.icon, MessageIcon::Error);
  }
}

TEST_P(SchemaUpgradeTest, OneColumnsFailureDoesNotStopTheNext) {
  m_db.ExecuteSQL("DROP TABLE FILELIST");
  m_db.ExecuteSQL("CREATE TABLE FILELIST (STA VARCHAR(16), LCODE VARCHAR(3))");
  const int failures = UpgradeSchema(m_db, m_notifier);
  EXPECT_EQ(failures, m_postgres ? 0 : 1);  // only SQLite refuses to retype LCODE
  for (const char* column : {"CALPER", "CALIB", "FOFF", "TEND"})
    EXPECT_TRUE(ColumnExists(m_db, "FILELIST", column)) << column;
}

TEST_P(SchemaUpgradeTest, NoCatalogueTableGivesFiveMessages) {
  m_db.ExecuteSQL("DROP TABLE FILELIST");
  EXPECT_EQ(UpgradeSchema(m_db, m_notifier), 5);
  ASSERT_EQ(m_notifier.messages.size(), 5u);
  EXPECT_EQ(m_notifier.messages[4].text.rfind("Ошибка добавления поля TEND в таблицу FILELIST", 0), 0u);
}

INSTANTIATE_TEST_SUITE_P(Drivers, SchemaUpgradeTest, ::testing::ValuesIn(test::TestDsns()),
                         [](const auto& info) { return info.param; });
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(SchemaUpgradeTest);

}  // namespace
}  // namespace korvel
