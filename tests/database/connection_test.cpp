#include <gtest/gtest.h>

#include "database/connection.h"
#include "database/db_exception.h"
#include "database/statement.h"
#include "platform/text1251.h"
#include "tests/support/databases/live_database.h"
#include "tests/support/recording_notifier.h"
#include "tests/support/temp_dir.h"

namespace korvel {
namespace {

using test::ConfigSandbox;
using test::RecordingNotifier;

TEST(Connection, SettingsComeFromTheCommandLineThenTqfIniThenDefaults) {
  ConfigSandbox sandbox;
  EXPECT_EQ(ConnectString(ResolveConnection("", "", "")), "DSN=TQF;UID=TQF;PWD=KXM;");
  sandbox.WriteTqfIni("[DATABASE]\nODBC=SEISM\nUSER=" + std::string(70, 'u') + "\nPASSWORD=pw\n");
  EXPECT_EQ(ConnectString(ResolveConnection("", "", "")),
            "DSN=SEISM;UID=" + std::string(63, 'u') + ";PWD=pw;");
  EXPECT_EQ(ConnectString(ResolveConnection("OTHER", "me", "secret")),
            "DSN=OTHER;UID=me;PWD=secret;");
  EXPECT_EQ(MaskedConnectString(ResolveConnection("OTHER", "me", "secret")),
            "DSN=OTHER;UID=me;PWD=***;");
  EXPECT_EQ(ResolveConnection(std::string(40, 'd'), "", "").dsn, std::string(31, 'd'));
  // A value with the connect string's own marks goes in braces, "}" doubled.
  EXPECT_EQ(ConnectString(ResolveConnection("S", "me", "ab;cd}x")), "DSN=S;UID=me;PWD={ab;cd}}x};");
  EXPECT_EQ(ConnectStringValue("{x"), "{{x}");
  EXPECT_EQ(ConnectStringValue(" x"), "{ x}");
  EXPECT_EQ(ConnectStringValue("plain"), "plain");
}

TEST(Connection, ClassifiesDatabaseSystemsByName) {
  EXPECT_EQ(ClassifyDbmsName("Microsoft Access"), DbmsKind::Access);
  EXPECT_EQ(ClassifyDbmsName("Microsoft SQL Server"), DbmsKind::MsSql);
  EXPECT_EQ(ClassifyDbmsName("Oracle"), DbmsKind::Oracle);
  EXPECT_EQ(ClassifyDbmsName("MySQL"), DbmsKind::MySql);
  EXPECT_EQ(ClassifyDbmsName("MariaDB"), DbmsKind::MySql);
  EXPECT_EQ(ClassifyDbmsName("PostgreSQL"), DbmsKind::Postgres);
  EXPECT_EQ(ClassifyDbmsName("SQLite"), DbmsKind::Access);
  EXPECT_EQ(ClassifyDbmsName(""), DbmsKind::Access);
  EXPECT_EQ(ClassifyDbmsName("oracle and mysql"), DbmsKind::MySql);  // the later test wins
  EXPECT_EQ(ClassifyDbmsName("MICROSOFT ACCESS SQL"), DbmsKind::MsSql);
}

TEST(Connection, AnUnknownDataSourceFailsWithTheMaskedConnectString) {
  ConfigSandbox sandbox;
  RecordingNotifier notifier;
  CDatabase database;
  EXPECT_FALSE(OpenDatabase(database, "NO_SUCH_DSN", "", "topsecret", notifier));
  EXPECT_FALSE(database.IsOpen());
  ASSERT_EQ(notifier.messages.size(), 1u);
  const auto& m = notifier.messages[0];
  EXPECT_EQ(m.text.rfind("DSN=NO_SUCH_DSN;UID=TQF;PWD=***;\n", 0), 0u) << m.text;
  EXPECT_GT(m.text.size(), std::string("DSN=NO_SUCH_DSN;UID=TQF;PWD=***;\n").size());
  EXPECT_EQ(m.text.find("topsecret"), std::string::npos);
  EXPECT_EQ(m.caption, "korvel2tqf");
  EXPECT_EQ(m.icon, MessageIcon::Error);
  EXPECT_THROW(database.ExecuteSQL("SELECT 1"), CDBException);
}

class LiveConnectionTest : public test::LiveCatalogueTest {};

TEST_P(LiveConnectionTest, OpensReportsItsKindAndRefusesAWrongPassword) {
  ConfigSandbox sandbox;
  RecordingNotifier notifier;
  CDatabase database;
  ASSERT_TRUE(OpenDatabase(database, GetParam(), "TQF", "KXM", notifier));
  EXPECT_TRUE(notifier.messages.empty());
  // What each driver names itself, and what it says of an unknown column.
  struct Expected {
    DbmsKind kind;
    const char* sql_state;
    SQLINTEGER native;  // 0: not checked
  };
  const std::string dsn = GetParam();
  const Expected expected =
      dsn.find("PG") != std::string::npos        ? Expected{DbmsKind::Postgres, "42703", 0}
      : dsn.find("MARIADB") != std::string::npos ? Expected{DbmsKind::MySql, "42S22", 1054}
                                                 : Expected{DbmsKind::Access, "HY000", 1};
  EXPECT_EQ(database.GetDbmsKind(), expected.kind) << database.DbmsName();
  EXPECT_EQ(database.IsSqlite(), expected.kind == DbmsKind::Access);
  database.ExecuteSQL("CREATE TABLE IF NOT EXISTS PROBE_T (A INT)");
  try {
    database.ExecuteSQL("SELECT NO_SUCH_COLUMN FROM PROBE_T");
    FAIL() << "no error";
  } catch (const CDBException& e) {
    // PostgreSQL folds the name to lower case.
    EXPECT_NE(CharUpper1251(e.ErrorText()).find("NO_SUCH_COLUMN"), std::string::npos)
        << e.ErrorText();
    EXPECT_EQ(e.SqlState(), expected.sql_state) << e.ErrorText();
    if (expected.native != 0) {
      EXPECT_EQ(e.NativeError(), expected.native);
    }
    ASSERT_FALSE(e.Records().empty());
    EXPECT_EQ(e.Records()[0].sql_state, e.SqlState());
    EXPECT_TRUE(e.HasSqlState(expected.sql_state));
  }
  database.ExecuteSQL("DROP TABLE PROBE_T");
  database.Close();
  EXPECT_FALSE(database.IsOpen());
  EXPECT_EQ(database.GetDbmsKind(), DbmsKind::Access);

  if (expected.kind == DbmsKind::Access) return;  // SQLite has no passwords
  EXPECT_FALSE(OpenDatabase(database, GetParam(), "TQF", "wrong-password", notifier));
  ASSERT_EQ(notifier.messages.size(), 1u);
  EXPECT_EQ(notifier.messages[0].text.rfind("DSN=" + GetParam() + ";UID=TQF;PWD=***;\n", 0), 0u);
  EXPECT_EQ(notifier.messages[0].text.find("wrong-password"), std::string::npos);
  // "password authentication failed", "Access denied for user ... (using password: YES)"
  EXPECT_NE(notifier.messages[0].text.find("password"), std::string::npos)
      << notifier.messages[0].text;
}

// A server or database whose defaults are lax or serializable still gives
// strict, read committed sessions; the server's other modes stay.
TEST_P(LiveConnectionTest, SessionsAreStrictAndReadCommittedWhateverTheDefaults) {
  const struct {
    const char* dsn;
    const char* defaults;  // the connect string's own set-up, run before the program's
    const char* query;
    std::vector<std::string> expected;  // each a part of the answer
  } cases[] = {
      {"TQF_PG",
       "ConnSettings={SET client_encoding TO 'UTF8';SET default_transaction_isolation TO "
       "'serializable'};",
       "SHOW transaction_isolation",
       {"read committed"}},
      {"TQF_MARIADB",
       "INITSTMT={SET SESSION sql_mode=''};",
       "SELECT @@SESSION.sql_mode",
       {"STRICT_ALL_TABLES"}},
      {"TQF_MARIADB",
       "INITSTMT={SET SESSION sql_mode='NO_ZERO_DATE,ANSI'};",
       "SELECT @@SESSION.sql_mode",
       {"STRICT_ALL_TABLES", "NO_ZERO_DATE", "ANSI_QUOTES"}},
  };
  if (GetParam() == "TQF_SQLITE") GTEST_SKIP() << "SQLite has neither";
  for (const auto& c : cases) {
    if (GetParam() != c.dsn) continue;
    SCOPED_TRACE(c.defaults);
    CDatabase database;
    ASSERT_EQ(database.OpenEx(test::TestConnectString(GetParam()) + c.defaults),
              CDatabase::OpenResult::Opened);
    CStatement answer(database);
    answer.ExecDirect(c.query);
    ASSERT_TRUE(answer.Fetch());
    const std::string text = answer.Get<std::string>(1).value_or("<null>");
    for (const std::string& part : c.expected)
      EXPECT_NE(text.find(part), std::string::npos) << text;
  }
}

INSTANTIATE_TEST_SUITE_P(Drivers, LiveConnectionTest, ::testing::ValuesIn(test::TestDsns()),
                         [](const auto& info) { return info.param; });
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(LiveConnectionTest);

}  // namespace
}  // namespace korvel
