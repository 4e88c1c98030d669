#include "tests/support/databases/live_database.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>

#include "database/catalogue_schema.h"
#include "database/db_exception.h"
#include "database/statement.h"

namespace korvel::test {

std::vector<std::string> TestDsns() { return {"TQF_SQLITE", "TQF_PG", "TQF_MARIADB"}; }

bool TestDsnConfigured(const std::string& dsn) {
  const char* list = std::getenv("KORVEL_TEST_DSNS");
  std::istringstream words(list != nullptr ? list : "");
  for (std::string word; words >> word;)
    if (word == dsn) return true;
  return false;
}

void FreshCatalogueTest::SetUp() {
  LiveCatalogueTest::SetUp();
  if (IsSkipped()) return;
  ASSERT_EQ(m_db.OpenEx(TestConnectString(GetParam())), CDatabase::OpenResult::Opened);
  ResetCatalogue(m_db);
}

std::string TestConnectString(const std::string& dsn) { return "DSN=" + dsn + ";UID=TQF;PWD=KXM;"; }

void ResetCatalogue(CDatabase& database) {
  for (const char* table : {"FILELIST", "SITECHAN"}) {
    try {
      database.ExecuteSQL(std::string("DROP TABLE ") + table);
    } catch (const CDBException&) {
      // not there yet
    }
  }
  CreateCatalogueTables(database);
}

void InsertFileRow(CDatabase& database, const std::string& sta, const std::string& ch,
                   const std::string& cpath, double tbegin, double tqty, double sps,
                   const std::string& creator) {
  CStatement insert(database);
  insert.Prepare(
      "INSERT INTO FILELIST (STA, CH, CPATH, CREATER, TBEGIN, TQTY, SPS, GAIN, DATATYPE, FOFF) "
      "VALUES (?, ?, ?, ?, ?, ?, ?, 1, 3, 512)");
  insert.Bind(1, sta);
  insert.Bind(2, ch);
  insert.Bind(3, cpath);
  insert.Bind(4, creator);
  insert.Bind(5, tbegin);
  insert.Bind(6, tqty);
  insert.Bind(7, sps);
  insert.Execute();
}

SiteChanFailingOnThirdRow::SiteChanFailingOnThirdRow(CDatabase& database) : m_database(database) {
  // A new table is scanned in the order its rows went in; there is no sort,
  // which would compute every row before the first is sent.
  database.ExecuteSQL("DROP TABLE SITECHAN");
  database.ExecuteSQL(
      "CREATE TABLE SITECHAN_ROWS (STA VARCHAR(16), CHAN VARCHAR(24), DIVISOR INT)");
  database.ExecuteSQL(
      "INSERT INTO SITECHAN_ROWS VALUES ('KIR', 'Z', 1), ('KIR', 'N-S', 2), ('KIR', 'E-W', 0), "
      "('KIR', 'SH Z', 1)");
  database.ExecuteSQL(
      "CREATE VIEW SITECHAN AS SELECT STA, CHAN, 0 AS NGROUP, 0 AS CHANINDEX, 0.0 AS EDEPH, "
      "0.0 AS LAT, 0.0 AS LON, 100.0 / DIVISOR AS SPS, 0.0 AS HANG, 0.0 AS VANG, '' AS DESCR, "
      "'' AS CALIBFILE, NULL::TIMESTAMP AS LDDATE FROM SITECHAN_ROWS");
}

SiteChanFailingOnThirdRow::~SiteChanFailingOnThirdRow() {
  try {
    m_database.ExecuteSQL("DROP VIEW SITECHAN");
    m_database.ExecuteSQL("DROP TABLE SITECHAN_ROWS");
    ResetCatalogue(m_database);
  } catch (const CDBException& e) {
    ADD_FAILURE() << e.ErrorText();
  }
}

void RefuseFileListStatements(CDatabase& db, FileListRefusal what, int inserts_allowed) {
  const std::string dbms = db.DbmsName();
  const std::string count = std::to_string(inserts_allowed);
  if (dbms.find("SQLite") != std::string::npos) {
    db.ExecuteSQL(what == FileListRefusal::kUpdates
                      ? "CREATE TRIGGER refuse BEFORE UPDATE ON FILELIST BEGIN SELECT RAISE(ABORT, "
                        "'refused'); END"
                      : "CREATE TRIGGER refuse BEFORE INSERT ON FILELIST WHEN (SELECT COUNT(*) "
                        "FROM FILELIST) >= " +
                            count + " BEGIN SELECT RAISE(ABORT, 'refused'); END");
  } else if (dbms.find("PostgreSQL") != std::string::npos) {
    db.ExecuteSQL(
        "CREATE OR REPLACE FUNCTION refuse() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN " +
        std::string(what == FileListRefusal::kUpdates
                        ? "RAISE EXCEPTION 'refused';"
                        : "IF (SELECT COUNT(*) FROM FILELIST) >= " + count +
                              " THEN RAISE EXCEPTION 'refused'; END IF;") +
        " RETURN NEW; END $$");
    db.ExecuteSQL(std::string("CREATE TRIGGER refuse BEFORE ") +
                  (what == FileListRefusal::kUpdates ? "UPDATE" : "INSERT") +
                  " ON FILELIST FOR EACH ROW EXECUTE FUNCTION refuse()");
  } else {  // MariaDB and MySQL
    db.ExecuteSQL(
        std::string("CREATE TRIGGER refuse BEFORE ") +
        (what == FileListRefusal::kUpdates ? "UPDATE" : "INSERT") + " ON FILELIST FOR EACH ROW " +
        (what == FileListRefusal::kUpdates
             ? "SIGNAL SQLSTATE '45000' SET MESSAGE_TEXT = 'refused'"
             : "BEGIN IF (SELECT COUNT(*) FROM FILELIST) >= " + count +
                   " THEN SIGNAL SQLSTATE '45000' SET MESSAGE_TEXT = 'refused'; END IF; END"));
  }
}

void RefuseFileListUpdatesOf(CDatabase& db, const std::string& channel) {
  const std::string dbms = db.DbmsName();
  const std::string is_it = "NEW.CH = '" + channel + "'";
  if (dbms.find("SQLite") != std::string::npos) {
    db.ExecuteSQL("CREATE TRIGGER refuse BEFORE UPDATE ON FILELIST WHEN " + is_it +
                  " BEGIN SELECT RAISE(ABORT, 'refused'); END");
  } else if (dbms.find("PostgreSQL") != std::string::npos) {
    db.ExecuteSQL(
        "CREATE OR REPLACE FUNCTION refuse() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN IF " +
        is_it + " THEN RAISE EXCEPTION 'refused'; END IF; RETURN NEW; END $$");
    db.ExecuteSQL(
        "CREATE TRIGGER refuse BEFORE UPDATE ON FILELIST FOR EACH ROW EXECUTE FUNCTION refuse()");
  } else {  // MariaDB and MySQL
    db.ExecuteSQL("CREATE TRIGGER refuse BEFORE UPDATE ON FILELIST FOR EACH ROW BEGIN IF " + is_it +
                  " THEN SIGNAL SQLSTATE '45000' SET MESSAGE_TEXT = 'refused'; END IF; END");
  }
}

}  // namespace korvel::test
