#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "database/catalogue_schema.h"
#include "database/chan_list.h"
#include "database/database.h"
#include "database/db_exception.h"
#include "database/embedded_catalogue.h"
#include "database/statement.h"
#include "platform/text1251.h"
#include "tests/support/databases/live_database.h"
#include "tests/support/environment.h"
#include "tests/support/run_command.h"
#include "tests/support/temp_dir.h"

namespace korvel {
namespace {

using test::ReadFileBytes;
using test::RunCommand;
using test::TempDir;
using test::WriteFileBytes;

// Points ODBCINI at a file of the test's own for as long as it lives.
class OwnOdbcIni {
 public:
  explicit OwnOdbcIni(const std::string& path) {
    if (const char* old = std::getenv("ODBCINI")) m_old = old;
    setenv("ODBCINI", path.c_str(), 1);
  }
  ~OwnOdbcIni() {
    if (m_old.empty())
      unsetenv("ODBCINI");
    else
      setenv("ODBCINI", m_old.c_str(), 1);
  }

 private:
  std::string m_old;
};

TEST(CliInitCatalogue, CreatesTheDatabaseAndDataSourceOnceOnly) {
  test::ConfigSandbox sandbox;  // no tqf.ini: the default source "TQF"
  TempDir dir;
  const std::string ini = (dir / "odbc.ini").string();
  const std::string file = (dir / "db" / "catalogue.sqlite").string();
  OwnOdbcIni own(ini);

  const auto first = RunCommand("korvel2tqf-cli", {"init-catalogue", "--database", file});
  ASSERT_EQ(first.exit_status, 0) << first.err;
  const std::string registered = ReadFileBytes(ini);
  EXPECT_NE(registered.find("[TQF]\n"), std::string::npos);
  EXPECT_NE(registered.find("Driver=SQLite3\n"), std::string::npos);
  EXPECT_NE(registered.find("Database=" + file + "\n"), std::string::npos);
  EXPECT_NE(registered.find("JournalMode=WAL\n"), std::string::npos);
  EXPECT_NE(registered.find("SyncPragma=NORMAL\n"), std::string::npos);

  CDatabase db;
  ASSERT_EQ(db.OpenEx("DSN=TQF;UID=TQF;PWD=KXM;"), CDatabase::OpenResult::Opened);
  {
    CStatement s(db);
    s.ExecDirect("PRAGMA journal_mode");
    ASSERT_TRUE(s.Fetch());
    EXPECT_EQ(s.Get<std::string>(1), "wal");
  }
  db.ExecuteSQL("INSERT INTO FILELIST (STA, CPATH, LCODE, TEND) VALUES ('KIR', 'KIR/a', 'x', 1)");
  db.ExecuteSQL("INSERT INTO SITECHAN (STA, CHAN, SPS) VALUES ('KIR', 'Z', 100)");
  {
    CStatement s(db);
    s.ExecDirect("SELECT name FROM sqlite_master WHERE type = 'index' ORDER BY name");
    std::vector<std::string> names;
    while (s.Fetch()) names.push_back(s.Get<std::string>(1).value_or(""));
    EXPECT_EQ(names, (std::vector<std::string>{"FILELIST_CPATH", "FILELIST_STA_CH_TBEGIN",
                                               "FILELIST_STA_CREATER", "SITECHAN_STA"}));
  }

  // Its own schema upgrade passes without a message.
  const auto upgraded = RunCommand("korvel2tqf-cli", {"upgrade-schema"});
  EXPECT_EQ(upgraded.exit_status, 0) << upgraded.err;
  EXPECT_EQ(upgraded.err, "");

  // Again: the data source file and the rows stay as they are.
  const auto second = RunCommand("korvel2tqf-cli", {"init-catalogue", "--database", file});
  EXPECT_EQ(second.exit_status, 0) << second.err;
  EXPECT_EQ(ReadFileBytes(ini), registered);
  {
    CStatement s(db);
    s.ExecDirect("SELECT COUNT(*) FROM FILELIST");
    ASSERT_TRUE(s.Fetch());
    EXPECT_EQ(s.Get<std::int32_t>(1), 1);
  }

  // A "TQF" that names another database is not overwritten; the message says
  // how to give the new one a name of its own, and that name works.
  const auto other = RunCommand("korvel2tqf-cli",
                                {"init-catalogue", "--database", (dir / "other.sqlite").string()});
  EXPECT_EQ(other.exit_status, 3);
  EXPECT_NE(
      other.err.find("the data source \"TQF\" exists already in " + ini + " and is left as it is"),
      std::string::npos)
      << other.err;
  EXPECT_NE(other.err.find("korvel2tqf-cli --dsn NAME init-catalogue --database"),
            std::string::npos);
  EXPECT_EQ(ReadFileBytes(ini), registered);
  const auto named = RunCommand("korvel2tqf-cli", {"--dsn", "TQF2", "init-catalogue", "--database",
                                                   (dir / "other.sqlite").string()});
  EXPECT_EQ(named.exit_status, 0) << named.err;
  EXPECT_NE(ReadFileBytes(ini).find("[TQF2]\n"), std::string::npos);
}

void NeverTakesOver(const std::string& section);

// A data source of the name that is someone else's, whatever its keys, is
// left byte for byte: where it opens the tables are made there; where it
// does not, the message says where it is and how to choose another name.
TEST(CliInitCatalogue, NeverTakesOverADataSourceOfTheName) {
  // unixODBC reads the name without the blanks around it.
  for (const std::string section : {"[TQF]", "[ TQF ]"}) {
    SCOPED_TRACE(section);
    NeverTakesOver(section);
  }
}

void NeverTakesOver(const std::string& section) {
  test::ConfigSandbox sandbox;
  TempDir dir;
  const std::string ini = (dir / "odbc.ini").string();
  OwnOdbcIni own(ini);
  const std::string server = section + "\nDriver=MariaDB Unicode\nServer=127.0.0.1\nPort=1\n";
  WriteFileBytes(ini, server);
  auto r = RunCommand("korvel2tqf-cli", {"init-catalogue"});
  EXPECT_EQ(r.exit_status, 3);
  EXPECT_NE(r.err.find("the data source \"TQF\" (in " + ini + ") is there but does not open"),
            std::string::npos)
      << r.err;
  EXPECT_NE(r.err.find("--dsn NAME init-catalogue"), std::string::npos) << r.err;
  EXPECT_EQ(ReadFileBytes(ini), server);

  // One that opens (here an SQLite file of another's) gets the tables.
  const std::string sqlite =
      section + "\nDriver=SQLite3\nDatabase=" + (dir / "theirs.db").string() + "\n";
  WriteFileBytes(ini, sqlite);
  r = RunCommand("korvel2tqf-cli", {"init-catalogue"});
  EXPECT_EQ(r.exit_status, 0) << r.err;
  EXPECT_NE(r.out.find("is there and opens: FILELIST, SITECHAN and their indexes are in place"),
            std::string::npos)
      << r.out;
  EXPECT_EQ(ReadFileBytes(ini), sqlite);
  EXPECT_EQ(RunCommand("korvel2tqf-cli", {"channels", "--station", "KIR"}).exit_status, 1);
}

using test::ScopedVariable;

TEST(CliInitCatalogue, RegistersTheSourceWhereTheDriverManagerLooks) {
  // unixODBC finds ~/.odbc.ini through the user's account, not through HOME.
  TempDir elsewhere;
  const ScopedVariable no_ini("ODBCINI", nullptr);
  const ScopedVariable home("HOME", elsewhere.path().c_str());
  const auto r = RunCommand("/usr/bin/odbcinst", {"-j"});
  ASSERT_EQ(r.exit_status, 0) << r.err;
  const std::string label = "USER DATA SOURCES..: ";
  const std::size_t at = r.out.find(label);
  ASSERT_NE(at, std::string::npos) << r.out;
  const std::size_t from = at + label.size();
  EXPECT_EQ(UserOdbcIni().string(), r.out.substr(from, r.out.find('\n', from) - from));
}

class CliCatalogueTest : public test::FreshCatalogueTest {
 protected:
  test::ConfigSandbox m_sandbox;  // no tqf.ini of the user's: the built-in TQF/KXM login
};

TEST_P(CliCatalogueTest, ChannelsListsTheStationWithTheWindowsTicks) {
  m_db.ExecuteSQL("INSERT INTO SITECHAN (STA, CHAN, SPS) VALUES ('KIR', 'SH Z', 20)");
  m_db.ExecuteSQL("INSERT INTO SITECHAN (STA, CHAN, SPS) VALUES ('KIR', 'Z', 100)");
  m_db.ExecuteSQL("INSERT INTO SITECHAN (STA, CHAN, SPS) VALUES ('KUDA', 'N-S', 50)");
  m_db.ExecuteSQL("INSERT INTO SITECHAN (STA, CHAN) VALUES ('KIR', 'E-W')");
  const auto r =
      RunCommand("korvel2tqf-cli", {"--dsn", GetParam(), "channels", "--station", "KIR"});
  EXPECT_EQ(r.exit_status, 0) << r.err;
  EXPECT_EQ(r.out, "SH Z\t20.000\t\nZ\t100.000\tx\nE-W\t0.000\tx\n");
  EXPECT_EQ(RunCommand("korvel2tqf-cli", {"--dsn", GetParam(), "channels", "--station", "NONE"})
                .exit_status,
            1);
  EXPECT_EQ(RunCommand("korvel2tqf-cli", {"channels"}).exit_status, 2);
}

TEST_P(CliCatalogueTest, UpgradeSchemaAddsToABareTableAndPassesAFullOne) {
  m_db.ExecuteSQL("DROP TABLE FILELIST");
  m_db.ExecuteSQL("CREATE TABLE FILELIST (STA VARCHAR(16))");
  const auto r = RunCommand("korvel2tqf-cli", {"--dsn", GetParam(), "upgrade-schema"});
  EXPECT_EQ(r.exit_status, 0) << r.err;
  // Each column changed has its line.
  const std::string real = m_db.Kind() == DbmsKind::Postgres ? "FLOAT" : "DOUBLE";
  const std::string added = "FILELIST.LCODE: added as VARCHAR(8)\nFILELIST.CALPER: added as " +
                            real + "\nFILELIST.CALIB: added as " + real +
                            "\nFILELIST.FOFF: added as INT\nFILELIST.TEND: added as " + real +
                            "\nFILELIST: all five columns are in place\n";
  EXPECT_EQ(r.out.substr(0, added.size()), added);
  const auto again = RunCommand("korvel2tqf-cli", {"--dsn", GetParam(), "upgrade-schema"});
  EXPECT_EQ(again.exit_status, 0) << again.err;
  EXPECT_NE(again.out.find("FILELIST: all five columns are in place"), std::string::npos);
  EXPECT_EQ(again.err, "");

  // A failing probe is told apart from a missing column, and fails the command.
  m_db.ExecuteSQL("DROP TABLE FILELIST");
  const auto none = RunCommand("korvel2tqf-cli", {"--dsn", GetParam(), "upgrade-schema"});
  EXPECT_EQ(none.exit_status, 1);
  EXPECT_NE(none.err.find(m_db.IsSqlite() ? "Ошибка добавления поля TEND в таблицу FILELIST"
                                          : "Ошибка проверки поля TEND в таблице FILELIST: "),
            std::string::npos)
      << none.err;
}

TEST_P(CliCatalogueTest, UpgradeSchemaNamesColumnsThatRoundDoublesAndLeavesThem) {
  // The single precision type of each server; SQLite keeps doubles whatever
  // a column is declared.
  const std::string single = m_db.GetDbmsKind() == DbmsKind::MySql ? "FLOAT" : "REAL";
  m_db.ExecuteSQL("DROP TABLE FILELIST");
  m_db.ExecuteSQL("CREATE TABLE FILELIST (STA VARCHAR(16), CPATH VARCHAR(255), TBEGIN " + single +
                  ", SPS " + single + ", CALIB " + single + ", TQTY DOUBLE PRECISION)");
  const auto r = RunCommand("korvel2tqf-cli", {"--dsn", GetParam(), "upgrade-schema"});
  EXPECT_EQ(r.exit_status, 0) << r.err;
  if (m_db.IsSqlite()) {
    EXPECT_EQ(r.out.find("which does not keep every double"), std::string::npos) << r.out;
    return;
  }
  // CALIB is one of the five the upgrade declares again, as a double.
  for (const char* column : {"TBEGIN", "SPS"})
    EXPECT_NE(r.out.find(std::string("FILELIST.") + column + " is "), std::string::npos) << r.out;
  // CALIB is named as changed, not as rounding.
  EXPECT_EQ(r.out.find("FILELIST.CALIB is "), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("FILELIST.CALIB: "), std::string::npos) << r.out;
  EXPECT_EQ(r.out.find("FILELIST.TQTY"), std::string::npos) << r.out;
  const auto lossy = LossyFileListColumns(m_db);
  ASSERT_EQ(lossy.size(), 2u);  // reported, not changed
  EXPECT_EQ(lossy[0].column, "TBEGIN");
  EXPECT_NE(CharUpper1251(lossy[0].type).find(single == "FLOAT" ? "FLOAT" : "FLOAT4"),
            std::string::npos)
      << lossy[0].type;
  EXPECT_NE(
      r.out.find("FILELIST.TBEGIN is " + lossy[0].type + ", which does not keep every double"),
      std::string::npos)
      << r.out;
  // The server's default collation, which on MariaDB ignores case, is named.
  const bool case_blind = m_db.GetDbmsKind() == DbmsKind::MySql;
  EXPECT_EQ(r.out.find("FILELIST.STA (utf8mb4_general_ci) ignores case") != std::string::npos,
            case_blind)
      << r.out;
  EXPECT_EQ(r.out.find("FILELIST.CPATH (utf8mb4_general_ci) ignores case") != std::string::npos,
            case_blind)
      << r.out;
}

TEST_P(CliCatalogueTest, CreateTablesMakesTheIndexesAndUpgradeSchemaNamesMissingOnes) {
  EXPECT_TRUE(MissingCatalogueIndexes(m_db).empty());
  const auto complete = RunCommand("korvel2tqf-cli", {"--dsn", GetParam(), "upgrade-schema"});
  EXPECT_EQ(complete.out.find("has no index"), std::string::npos) << complete.out;

  m_db.ExecuteSQL("DROP TABLE FILELIST");
  m_db.ExecuteSQL("DROP TABLE SITECHAN");
  m_db.ExecuteSQL(
      "CREATE TABLE FILELIST (STA VARCHAR(16), CH VARCHAR(24), CPATH VARCHAR(255), CREATER "
      "VARCHAR(16), TBEGIN FLOAT)");
  m_db.ExecuteSQL("CREATE TABLE SITECHAN (STA VARCHAR(16), CHAN VARCHAR(24), SPS FLOAT)");
  m_db.ExecuteSQL("CREATE INDEX FILELIST_BY_STA ON FILELIST (STA)");  // STA alone is not enough
  m_db.ExecuteSQL(
      "CREATE INDEX FILELIST_BY_PATH_AND_CH ON FILELIST (CPATH, CH)");  // CPATH first will do
  const auto missing = MissingCatalogueIndexes(m_db);
  ASSERT_EQ(missing.size(), 3u);
  EXPECT_STREQ(missing[0].name, "FILELIST_STA_CREATER");
  EXPECT_STREQ(missing[1].name, "FILELIST_STA_CH_TBEGIN");
  EXPECT_STREQ(missing[2].name, "SITECHAN_STA");

  const auto r = RunCommand("korvel2tqf-cli", {"--dsn", GetParam(), "upgrade-schema"});
  EXPECT_NE(
      r.out.find(
          "FILELIST has no index on (STA, CREATER): each conversion statement would scan the "
          "whole table; add it with: CREATE INDEX FILELIST_STA_CREATER ON FILELIST (STA, CREATER)"),
      std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("SITECHAN has no index on (STA)"), std::string::npos);
  EXPECT_EQ(r.out.find("(CPATH)"), std::string::npos);
  EXPECT_EQ(MissingCatalogueIndexes(m_db).size(), 3u);  // reported, not created

  const auto created = RunCommand("korvel2tqf-cli", {"--dsn", GetParam(), "create-tables"});
  EXPECT_EQ(created.exit_status, 0) << created.err;
  EXPECT_TRUE(MissingCatalogueIndexes(m_db).empty());
  EXPECT_EQ(RunCommand("korvel2tqf-cli", {"--dsn", GetParam(), "create-tables"}).exit_status,
            0);  // again: nothing to do
}

// The TQF_PG section of the test data sources again as `name`, with the
// driver fetching one row at a time.
std::string RowByRowPgSource(const std::string& name) {
  const char* ini = std::getenv("ODBCINI");
  const std::string text = ini != nullptr ? ReadFileBytes(ini) : "";
  const std::size_t start = text.find("[TQF_PG]\n");
  if (start == std::string::npos) return "";
  const std::size_t body = start + std::string("[TQF_PG]\n").size();
  const std::size_t end = std::min(text.find("\n[", body), text.size());
  return text + "\n[" + name + "]\n" + text.substr(body, end - body) +
         "\nUseDeclareFetch=1\nFetch=1\n";
}

TEST_P(CliCatalogueTest, ChannelsReadBeforeAFailingRowStayOnShow) {
  if (GetParam().find("PG") == std::string::npos)
    GTEST_SKIP() << "a row-by-row fetch on PostgreSQL";
  const test::SiteChanFailingOnThirdRow failing(m_db);
  TempDir dir;
  WriteFileBytes(dir / "odbc.ini", RowByRowPgSource("TQF_PG_ROWS"));
  OwnOdbcIni own((dir / "odbc.ini").string());
  CDatabase row_by_row;
  ASSERT_EQ(row_by_row.OpenEx(test::RowByRowConnectString(GetParam())),
            CDatabase::OpenResult::Opened);
  std::vector<std::string> handed;
  try {
    CChanList(row_by_row).ListStation("KIR", [&](SiteChannelRow&& row) {
      handed.push_back(row.chan);
    });
    FAIL() << "no error";
  } catch (const CDBException& e) {
    EXPECT_EQ(e.SqlState(), "22012") << e.ErrorText();  // division by zero
  }
  EXPECT_EQ(handed, (std::vector<std::string>{"Z", "N-S"}));
  row_by_row.Close();

  const auto r =
      RunCommand("korvel2tqf-cli", {"--dsn", "TQF_PG_ROWS", "channels", "--station", "KIR"});
  EXPECT_EQ(r.exit_status, 4);
  EXPECT_EQ(r.out, "Z\t100.000\tx\nN-S\t50.000\tx\n");
  EXPECT_NE(r.err.find("division by zero"), std::string::npos) << r.err;
}

// A table created as "FILELIST" or "SITECHAN" on PostgreSQL, which the
// program's unquoted names never reach, is named once with what to do, and no
// lower-case table is made beside it.
TEST_P(CliCatalogueTest, AQuotedUpperCaseTableOnPostgresqlIsNamedWithWhatToDo) {
  if (m_db.GetDbmsKind() != DbmsKind::Postgres) GTEST_SKIP() << "PostgreSQL folds names";
  for (const auto& [table, folded] :
       {std::pair<std::string, std::string>{"FILELIST", "filelist"}, {"SITECHAN", "sitechan"}}) {
    SCOPED_TRACE(table);
    m_db.ExecuteSQL("DROP TABLE " + table);
    m_db.ExecuteSQL("CREATE TABLE \"" + table + "\" (STA VARCHAR(16))");
    const std::string message =
        "the table \"" + table + "\" was created with its name in quotes, in upper case";
    for (const std::vector<std::string>& command : {std::vector<std::string>{"create-tables"},
                                                    {"upgrade-schema"},
                                                    {"channels", "--station", "KIR"}}) {
      std::vector<std::string> args = {"--dsn", GetParam()};
      args.insert(args.end(), command.begin(), command.end());
      const auto r = RunCommand("korvel2tqf-cli", args);
      EXPECT_EQ(r.exit_status, 4) << command[0] << ": " << r.err;
      const std::size_t at = r.err.find(message);
      EXPECT_NE(at, std::string::npos) << command[0] << ": " << r.err;
      EXPECT_EQ(r.err.find(message, at + 1), std::string::npos) << r.err;
      EXPECT_NE(r.err.find("ALTER TABLE \"" + table + "\" RENAME TO " + folded), std::string::npos);
    }
    CStatement lower(m_db);
    lower.ExecDirect("SELECT COUNT(*) WHERE to_regclass('" + folded + "') IS NULL");
    EXPECT_EQ(lower.FetchCount(), 1) << "a lower-case table was made";
    lower.CloseCursor();
    m_db.ExecuteSQL("DROP TABLE \"" + table + "\"");
    test::ResetCatalogue(m_db);
  }
}

TEST(CliCatalogue, AFailedConnectionExitsWithThree) {
  test::ConfigSandbox sandbox;
  const auto r = RunCommand("korvel2tqf-cli", {"--dsn", "NO_SUCH_DSN", "--password", "hush",
                                               "channels", "--station", "KIR"});
  EXPECT_EQ(r.exit_status, 3);
  EXPECT_NE(r.err.find("DSN=NO_SUCH_DSN;UID="), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("PWD=***;"), std::string::npos) << r.err;
  EXPECT_EQ(r.err.find("hush"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Drivers, CliCatalogueTest, ::testing::ValuesIn(test::TestDsns()),
                         [](const auto& info) { return info.param; });
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(CliCatalogueTest);

// A system data source "TQF" (an administrator's shared server) is never
// hidden behind a user one of the same name.
TEST(CliInitCatalogue, LeavesASystemDataSourceOfTheNameInCharge) {
  test::ConfigSandbox sandbox;
  TempDir dir;
  const std::string ini = (dir / "odbc.ini").string();
  OwnOdbcIni own(ini);
  std::filesystem::create_directory(dir / "system");
  WriteFileBytes(dir / "system" / "odbc.ini", "[TQF]\nDriver=PostgreSQL Unicode\n");
  ScopedVariable system("ODBCSYSINI", (dir / "system").c_str());
  const auto refused = RunCommand(
      "korvel2tqf-cli", {"init-catalogue", "--database", (dir / "catalogue.sqlite").string()});
  EXPECT_EQ(refused.exit_status, 3);
  EXPECT_NE(refused.err.find("the data source \"TQF\" exists already in " +
                             (dir / "system" / "odbc.ini").string()),
            std::string::npos)
      << refused.err;
  EXPECT_FALSE(std::filesystem::exists(ini));
  EXPECT_FALSE(std::filesystem::exists(dir / "catalogue.sqlite"));
}

}  // namespace
}  // namespace korvel
