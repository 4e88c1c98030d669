#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/mount.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <cmath>
#include <ctime>
#include <fstream>
#include <iomanip>
#include <optional>
#include <sstream>

#include "database/db_exception.h"
#include "database/file_list.h"
#include "database/statement.h"
#include "engine/catalogue.h"
#include "platform/disk_space.h"
#include "platform/text1251.h"
#include "tests/support/databases/live_database.h"
#include "tests/support/recording_notifier.h"
#include "tests/support/temp_dir.h"

namespace korvel {
namespace {

using test::RecordingNotifier;
using test::TempDir;

struct FileRow {
  std::string sta, cpath, ch, creater;
  std::optional<double> sps, tbegin, tqty, calib, calper, foff;
  std::optional<long> gain, datatype;
  std::optional<SQL_TIMESTAMP_STRUCT> lddate;
};

double SecondsFromNow(const SQL_TIMESTAMP_STRUCT& t) {
  std::tm local{};
  local.tm_year = t.year - 1900;
  local.tm_mon = t.month - 1;
  local.tm_mday = t.day;
  local.tm_hour = t.hour;
  local.tm_min = t.minute;
  local.tm_sec = t.second;
  local.tm_isdst = -1;
  return std::difftime(std::time(nullptr), std::mktime(&local));
}

const Catalogue::InUse kNoneInUse = [](const std::string&) { return false; };

class FileListTest : public test::FreshCatalogueTest {
 protected:
  void SetUp() override {
    FreshCatalogueTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    // Rows are read back on a connection of their own, as another program would.
    ASSERT_EQ(m_reader.OpenEx(test::TestConnectString(GetParam())), CDatabase::OpenResult::Opened);
  }

  std::vector<FileRow> Rows(const std::string& where_cpath_utf8) {
    CStatement s(m_reader);
    s.Prepare(
        "SELECT STA, SPS, GAIN, CPATH, DATATYPE, CH, CREATER, LDDATE, TBEGIN, TQTY, CALIB, CALPER, "
        "FOFF FROM FILELIST WHERE CPATH = ?");
    s.Bind(1, where_cpath_utf8);
    s.Execute();
    std::vector<FileRow> rows;
    while (s.Fetch()) {
      FileRow r;
      r.sta = s.Get<std::string>(1).value_or("<null>");
      r.sps = s.Get<double>(2);
      r.gain = s.Get<std::int32_t>(3);
      r.cpath = s.Get<std::string>(4).value_or("<null>");
      r.datatype = s.Get<std::int32_t>(5);
      r.ch = s.Get<std::string>(6).value_or("<null>");
      r.creater = s.Get<std::string>(7).value_or("<null>");
      r.lddate = s.Get<SQL_TIMESTAMP_STRUCT>(8);
      r.tbegin = s.Get<double>(9);
      r.tqty = s.Get<double>(10);
      r.calib = s.Get<double>(11);
      r.calper = s.Get<double>(12);
      r.foff = s.Get<double>(13);
      rows.push_back(r);
    }
    return rows;
  }

  long CountRows() {
    CStatement s(m_reader);
    s.ExecDirect("SELECT COUNT(*) FROM FILELIST");
    EXPECT_TRUE(s.Fetch());
    return s.Get<std::int32_t>(1).value_or(-1);
  }

  // A row of another program, written as that program would.
  void InsertForeign(const std::string& sta, const std::string& cpath, const std::string& creater,
                     const char* lddate, double tbegin) {
    CStatement s(m_db);
    s.Prepare(
        "INSERT INTO FILELIST (STA, CPATH, CREATER, LDDATE, TBEGIN, CALIB, CALPER) "
        "VALUES (?, ?, ?, ?, ?, 7, 8)");
    s.Bind(1, sta);
    s.Bind(2, cpath);
    s.Bind(3, creater);
    std::tm t{};
    std::istringstream(lddate) >> std::get_time(&t, "%Y-%m-%d %H:%M:%S");
    s.Bind(4, ToTimestamp(t));
    s.Bind(5, tbegin);
    s.Execute();
  }

  CDatabase m_reader;
  RecordingNotifier m_notifier;
};

TEST_P(FileListTest, RegisteringAFileTwiceLeavesOneFreshRow) {
  CFileList catalogue(m_db, m_notifier);
  InsertForeign("KIR", "KIR/06/07032007-061200-Z.KIR", "OTHER", "2001-02-03 04:05:06", 1.0);
  InsertForeign("KIR", "KIR/06/07032007-061200-Z.KIR", "OTHER", "2001-02-03 04:05:06", 2.0);
  catalogue.RegisterNewFile("KIR/06/07032007-061200-Z.KIR", "KIR", "Z", 1173247920.5, 100.0, 100.0,
                            1250.0, 0.05, 1, 3);
  catalogue.RegisterNewFile("KIR/06/07032007-061200-Z.KIR", "KIR", "Z", 1173247920.5, 100.0, 100.0,
                            1250.0, 0.05, 1, 3);
  const auto rows = Rows("KIR/06/07032007-061200-Z.KIR");
  ASSERT_EQ(rows.size(), 1u);
  const FileRow& r = rows[0];
  EXPECT_EQ(r.sta, "KIR");
  EXPECT_EQ(r.ch, "Z");
  EXPECT_EQ(r.creater, "korvel2TQF");
  EXPECT_EQ(r.sps, 100.0);
  EXPECT_EQ(r.gain, 1);
  EXPECT_EQ(r.datatype, 3);
  EXPECT_EQ(r.tbegin, 1173247920.5);
  EXPECT_EQ(r.tqty, 100.0);
  EXPECT_EQ(r.calib, 1250.0);
  EXPECT_EQ(r.calper, 0.05);
  EXPECT_EQ(r.foff, 512.0);
  ASSERT_TRUE(r.lddate.has_value());
  EXPECT_LT(std::fabs(SecondsFromNow(*r.lddate)), 120.0);
  EXPECT_EQ(r.lddate->fraction, 0u);
  EXPECT_EQ(CountRows(), 1);
  // Paths are compared byte for byte: one that differs in case is another file.
  catalogue.RegisterNewFile("kir/06/07032007-061200-z.kir", "KIR", "Z", 1.0, 2.0, 100.0, 3.0, 4.0,
                            1, 3);
  EXPECT_EQ(Rows("KIR/06/07032007-061200-Z.KIR").size(), 1u);
  EXPECT_EQ(CountRows(), 2);
}

TEST_P(FileListTest, UpdateInsertsWithoutCalibrationOrKeepsIt) {
  CFileList catalogue(m_db, m_notifier);
  catalogue.UpdateFileRecord("KIR/07/a.KIR", "KIR", "N-S", 1000.0, 200.0, 50.0, 1, 3);
  auto rows = Rows("KIR/07/a.KIR");
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_FALSE(rows[0].calib.has_value());
  EXPECT_FALSE(rows[0].calper.has_value());
  EXPECT_EQ(rows[0].tqty, 200.0);
  EXPECT_EQ(rows[0].creater, "korvel2TQF");

  catalogue.RegisterNewFile("KIR/07/b.KIR", "KIR", "E-W", 1000.0, 100.0, 50.0, 2500.0, 0.5, 1, 3);
  // Another program catalogues the same path: its row is not ours to rewrite.
  InsertForeign("KUDA", "KIR/07/b.KIR", "OTHER", "2001-02-03 04:05:06", 7.0);
  catalogue.UpdateFileRecord("KIR/07/b.KIR", "KIR", "E-W", 1000.0, 300.0, 50.0, 1, 3);
  // The same values again (within the second): a driver that counts only
  // changed rows must not make a second row of ours.
  catalogue.UpdateFileRecord("KIR/07/b.KIR", "KIR", "E-W", 1000.0, 300.0, 50.0, 1, 3);
  catalogue.UpdateFileRecord("KIR/07/b.KIR", "KIR", "E-W", 1000.0, 300.0, 50.0, 1, 3);
  rows = Rows("KIR/07/b.KIR");
  ASSERT_EQ(rows.size(), 2u);
  const FileRow& ours = rows[0].creater == "korvel2TQF" ? rows[0] : rows[1];
  const FileRow& theirs = rows[0].creater == "korvel2TQF" ? rows[1] : rows[0];
  EXPECT_EQ(ours.tqty, 300.0);
  EXPECT_EQ(ours.calib, 2500.0);
  EXPECT_EQ(ours.calper, 0.5);
  EXPECT_EQ(theirs.creater, "OTHER");
  EXPECT_EQ(theirs.sta, "KUDA");
  EXPECT_EQ(theirs.tbegin, 7.0);
  EXPECT_EQ(theirs.calib, 7.0);
  EXPECT_FALSE(theirs.tqty.has_value());
  EXPECT_EQ(CountRows(), 3);

  // Only another program's row: ours is added beside it.
  InsertForeign("KIR", "KIR/07/c.KIR", "OTHER", "2001-02-03 04:05:06", 7.0);
  catalogue.UpdateFileRecord("KIR/07/c.KIR", "KIR", "Z", 1000.0, 10.0, 50.0, 1, 3);
  rows = Rows("KIR/07/c.KIR");
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_NE(rows[0].creater, rows[1].creater);
}

TEST_P(FileListTest, ApostrophesAndCyrillicAreJustCharacters) {
  CFileList catalogue(m_db, m_notifier);
  const std::string station = "O'K\xCA\xC8\xD0";  // O'KКИР in code page 1251
  const std::string path = station + "/06/07032007-061200-Z'1." + station;
  catalogue.RegisterNewFile(path, station, "Z'1", 1.0, 2.0, 100.0, 3.0, 4.0, 1, 3);
  catalogue.UpdateFileRecord(path, station, "Z'1", 1.0, 5.0, 100.0, 1, 3);
  const auto rows = Rows(Cp1251ToUtf8(path));
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].sta, "O'KКИР");
  EXPECT_EQ(rows[0].ch, "Z'1");
  EXPECT_EQ(rows[0].tqty, 5.0);
  EXPECT_EQ(rows[0].calib, 3.0);
}

// What a later run looks up to continue a file: the channel's own row that
// starts last, as stored, whatever other creators, channels or stations hold.
TEST_P(FileListTest, TheLatestOwnFileOfAChannelIsFoundExactly) {
  const bool fixed_width = m_db.GetDbmsKind() == DbmsKind::Postgres;
  if (fixed_width) m_db.ExecuteSQL("ALTER TABLE FILELIST ALTER CPATH TYPE CHAR(255)");
  CFileList catalogue(m_db, m_notifier);
  const std::string kir = "\xCA\xC8\xD0";  // КИР in code page 1251
  const std::string sta = Cp1251ToUtf8(kir);
  catalogue.RegisterNewFile(kir + "/00/a", kir, "Z", 1000.0, 100.0, 100.0, 2500.0, 0.5, 1, 3);
  catalogue.RegisterNewFile(kir + "/00/b", kir, "Z", 2000.0, 100.0, 100.0, 2500.0, 0.5, 1, 3);
  catalogue.RegisterNewFile(kir + "/00/n", kir, "N-S", 3000.0, 100.0, 100.0, 2500.0, 0.5, 1, 3);
  catalogue.RegisterNewFile("KUDA/00/k", "KUDA", "Z", 4000.0, 100.0, 100.0, 2500.0, 0.5, 1, 3);
  catalogue.UpdateFileRecord(kir + "/00/c", kir, "E-W", 1500.0, 100.0, 100.0, 1, 3);
  for (const char* row :
       {"'Z', 'x', 'DRANOVEX', 5000, 10", "'z', 'y', 'korvel2TQF', 5000, 10",
        "'Z', 'w', 'korvel2TQF', NULL, 10", "'N-S', 'v', 'korvel2TQF', 3500, NULL"})
    m_db.ExecuteSQL("INSERT INTO FILELIST (STA, CH, CPATH, CREATER, TBEGIN, TQTY, SPS) VALUES ('" +
                    sta + "', " + row + ", 100)");
  struct Case {
    std::string station, channel, cpath;  // no cpath: nothing found
    double tqty;
    std::optional<double> calib;
  };
  const Case cases[] = {
      // Not another creator's, another case's or one without a start.
      {kir, "Z", kir + "/00/b", 100.0, 2500.0},
      {kir, "E-W", kir + "/00/c", 100.0, std::nullopt},  // catalogued without calibration
      {kir, "N-S", "", 0.0, std::nullopt},               // the latest has no length
      {kir, "z", "y", 10.0, std::nullopt},
      {"KUDA", "Z", "KUDA/00/k", 100.0, 2500.0},
      {"kuda", "Z", "", 0.0, std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.station + " " + c.channel);
    const std::optional<CataloguedFile> found = catalogue.LatestOwnFile(c.station, c.channel);
    if (c.cpath.empty()) {
      EXPECT_FALSE(found);
      continue;
    }
    ASSERT_TRUE(found);
    EXPECT_EQ(found->cpath, c.cpath);  // without a fixed-width column's blanks
    EXPECT_EQ(found->tqty, c.tqty);
    EXPECT_EQ(found->sps, 100.0);
    EXPECT_EQ(found->calib, c.calib);
  }
}

// A raw file's changes go in together or not at all: one refused change (here
// the last) leaves every row as it was, the forgotten one included.
TEST_P(FileListTest, AppliedRowsGoInTogetherOrNotAtAll) {
  CFileList catalogue(m_db, m_notifier);
  catalogue.RegisterNewFile("KIR/00/a", "KIR", "Z", 1000.0, 10.0, 100.0, 1.0, 1.0, 1, 3);
  catalogue.RegisterNewFile("KIR/00/c", "KIR", "E-W", 1000.0, 10.0, 100.0, 1.0, 1.0, 1, 3);
  const auto change = [](RowChange::Kind kind, const std::string& cpath, const std::string& ch,
                         double tqty) {
    return RowChange{kind, cpath, "KIR", ch, 1000.0, tqty, 100.0, 1.0, 1.0, 1, 3};
  };
  const std::vector<RowChange> changes = {
      change(RowChange::Kind::kUpdate, "KIR/00/a", "Z", 20.0),
      change(RowChange::Kind::kRegister, "KIR/00/b", "N-S", 20.0),
      change(RowChange::Kind::kForget, "KIR/00/a", "Z", 0.0),
      change(RowChange::Kind::kRegister, "KIR/00/a", "Z", 30.0),
      change(RowChange::Kind::kUpdate, "KIR/00/c", "E-W", 20.0)};
  test::RefuseFileListUpdatesOf(m_db, "E-W");
  EXPECT_THROW(catalogue.ApplyRows(changes), CatalogueError);
  ASSERT_EQ(Rows("KIR/00/a").size(), 1u);
  EXPECT_EQ(Rows("KIR/00/a")[0].tqty, 10.0);
  EXPECT_TRUE(Rows("KIR/00/b").empty());
  EXPECT_EQ(Rows("KIR/00/c")[0].tqty, 10.0);
  // The same changes again, less the refused one: all of them in.
  catalogue.ApplyRows({changes.begin(), changes.end() - 1});
  ASSERT_EQ(Rows("KIR/00/a").size(), 1u);
  EXPECT_EQ(Rows("KIR/00/a")[0].tqty, 30.0);
  EXPECT_EQ(Rows("KIR/00/b")[0].tqty, 20.0);
}

TEST_P(FileListTest, ErrorsCarryTheDriversText) {
  CFileList catalogue(m_db, m_notifier);
  m_db.ExecuteSQL("DROP TABLE FILELIST");
  try {
    catalogue.RegisterNewFile("a", "KIR", "Z", 1.0, 2.0, 100.0, 3.0, 4.0, 1, 3);
    FAIL() << "no error";
  } catch (const CatalogueError& e) {
    EXPECT_NE(CharUpper1251(e.what()).find("FILELIST"), std::string::npos) << e.what();
  }
  // A failed row deletion is shown.
  EXPECT_FALSE(catalogue.DeleteFileRecord("a"));
  ASSERT_EQ(m_notifier.messages.size(), 1u);
  EXPECT_EQ(m_notifier.messages[0].icon, MessageIcon::Error);
  EXPECT_NE(CharUpper1251(m_notifier.messages[0].text).find("FILELIST"), std::string::npos);
}

TEST_P(FileListTest, GuardSendsNothingWhileSpaceIsAmple) {
  TempDir dir;
  CFileList catalogue(m_db, m_notifier);
  InsertForeign("KIR", "KIR/old", "DRANOVEX", "2001-01-01 00:00:00", 1.0);
  const auto before = m_db.StatementCount();
  EXPECT_TRUE(catalogue.DiskSpaceGuard(dir.path().string() + "/", 0, "KIR", kNoneInUse));
  EXPECT_EQ(m_db.StatementCount(), before);
  // An output root that cannot be measured deletes nothing either.
  EXPECT_FALSE(catalogue.DiskSpaceGuard(dir.path().string() + "/missing/", 0, "KIR", kNoneInUse));
  EXPECT_EQ(m_db.StatementCount(), before);
  EXPECT_EQ(CountRows(), 1);
}

// The guard of a user who may read the other program's rows but not delete
// them: its files stay, as their rows do, and the first refusal ends it.
TEST_P(FileListTest, AGuardRefusedItsDeletionsLeavesFilesAndRowsAsTheyWere) {
  TempDir dir;
  const std::string root = dir.path().string() + "/";
  std::filesystem::create_directory(root + "KIR");
  test::WriteFileBytes(root + "KIR/a.dat", "a");
  test::WriteFileBytes(root + "KIR/b.dat", "b");
  InsertForeign("KIR", "KIR/a.dat", "DRANOVEX", "2001-01-01 00:00:00", 1.0);
  InsertForeign("KIR", "KIR/b.dat", "DRANOVEX", "2001-01-02 00:00:00", 1.0);
  // Deletions refused by the database itself, in its own dialect.
  if (m_db.IsSqlite()) {
    m_db.ExecuteSQL(
        "CREATE TRIGGER REFUSE_DELETE BEFORE DELETE ON FILELIST BEGIN SELECT RAISE(ABORT, "
        "'refused'); END");
  } else if (m_db.GetDbmsKind() == DbmsKind::Postgres) {
    m_db.ExecuteSQL(
        "CREATE OR REPLACE FUNCTION REFUSE_DELETE() RETURNS trigger LANGUAGE plpgsql AS "
        "'BEGIN RAISE EXCEPTION ''refused''; END'");
    m_db.ExecuteSQL(
        "CREATE TRIGGER REFUSE_DELETE BEFORE DELETE ON FILELIST FOR EACH ROW EXECUTE FUNCTION "
        "REFUSE_DELETE()");
  } else {
    m_db.ExecuteSQL(
        "CREATE TRIGGER REFUSE_DELETE BEFORE DELETE ON FILELIST FOR EACH ROW SIGNAL SQLSTATE "
        "'45000' SET MESSAGE_TEXT = 'refused'");
  }
  CFileList catalogue(m_db, m_notifier);
  EXPECT_FALSE(catalogue.DiskSpaceGuard(root, 1ULL << 40, "KIR", kNoneInUse));
  EXPECT_TRUE(std::filesystem::exists(root + "KIR/a.dat"));
  EXPECT_TRUE(std::filesystem::exists(root + "KIR/b.dat"));
  EXPECT_EQ(CountRows(), 2);
  EXPECT_EQ(m_notifier.messages.size(), 1u);
}

// A small file system of its own, so that freed space shows in the figure
// (a large disk reads as the 4 GiB cap whatever is deleted). A tmpfs, where
// root may mount one; none on Windows.
class SmallDisk {
 public:
#ifndef _WIN32
  SmallDisk() { m_mounted = Mount(m_dir.path().string()); }
  ~SmallDisk() {
    if (m_mounted) Unmount(m_dir.path().string());
  }
  static bool Mount(const std::string& at) {
    return geteuid() == 0 && mount("tmpfs", at.c_str(), "tmpfs", 0, "size=64m") == 0;
  }
  static void Unmount(const std::string& at) { umount2(at.c_str(), MNT_DETACH); }
#else
  static bool Mount(const std::string&) { return false; }
  static void Unmount(const std::string&) {}
#endif
  bool mounted() const { return m_mounted; }
  std::string root() const { return m_dir.path().string() + "/"; }

 private:
  TempDir m_dir;
  bool m_mounted = false;
};

void WriteMegabytes(const std::string& path, int megabytes) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  std::ofstream out(path, std::ios::binary);
  const std::string block(1 << 20, 'x');
  for (int i = 0; i < megabytes; ++i) out << block;
}

// The other program's rows are only text: the guard takes no file outside
// the root once links are resolved, none on another file system, none that
// our own rows name and none the writer holds. Each such row is kept and
// reported once a run.
TEST_P(FileListTest, GuardDeletesTheOldestDranovexFilesUntilThereIsRoom) {
  SmallDisk disk;
  TempDir elsewhere;
  if (!disk.mounted())
    GTEST_SKIP()
        << "*** cannot mount a small tmpfs (root on POSIX only): guard deletion untested ***";
  CFileList catalogue(m_db, m_notifier);
  const std::string root = disk.root();
  WriteMegabytes(root + "KIR/a.dat", 12);
  WriteMegabytes(root + "KIR/b.dat", 12);
  WriteMegabytes(root + "abs/c.dat", 12);
  WriteMegabytes(root + "KUDA/d.dat", 4);
  WriteMegabytes(root + "KIR/mine.dat", 4);
  WriteMegabytes(root + "outside.dat", 1);
  const std::string away = elsewhere.path().string();
  WriteMegabytes(away + "/e.dat", 1);
  std::filesystem::create_directory_symlink(away, root + "linked");
  std::filesystem::create_symlink(away + "/e.dat", root + "KIR/l.dat");
  WriteMegabytes(root + "KIR/busy.dat", 1);
  std::filesystem::create_directory(root + "mounted");
  SmallDisk::Mount(root + "mounted");
  WriteMegabytes(root + "mounted/m.dat", 1);
  // Oldest load date first, then oldest start: the kept ones, b, a, the
  // missing one, c.
  const std::vector<std::string> kept = {"KIR/../outside.dat", "linked/e.dat", away + "/e.dat",
                                         "KIR/l.dat",          "KIR/mine.dat", "KIR/busy.dat",
                                         "mounted/m.dat"};
  for (const std::string& cpath : kept)
    InsertForeign("KIR", cpath, "DRANOVEX", "2000-01-01 00:00:00", 1.0);
  InsertForeign("KIR", "KIR/a.dat", "DRANOVEX", "2001-01-01 00:00:00", 5.0);
  InsertForeign("KIR", "KIR/b.dat", "DRANOVEX", "2001-01-01 00:00:00", 1.0);
  InsertForeign("KIR", "KIR/gone.dat", "DRANOVEX", "2001-06-01 00:00:00", 1.0);
  InsertForeign("KIR", root + "abs/c.dat", "DRANOVEX", "2002-01-01 00:00:00", 1.0);
  InsertForeign("KUDA", "KUDA/d.dat", "DRANOVEX", "1999-01-01 00:00:00", 1.0);
  InsertForeign("KIR", "KIR/mine.dat", "korvel2TQF", "1999-01-01 00:00:00", 1.0);
  InsertForeign("KIR", "KIR/a.dat", "OTHER", "2005-01-01 00:00:00", 1.0);  // same path as a
  const Catalogue::InUse busy = [](const std::string& path) { return path == "KIR/busy.dat"; };

  const std::uint64_t free = *FreeDiskSpace(root);
  // Room for 20 MiB more than now: two 12 MiB files must go, not three.
  const std::uint64_t extra = free + (20 << 20) - kSpaceReserve;
  EXPECT_TRUE(catalogue.DiskSpaceGuard(root, extra, "KIR", busy));
  EXPECT_FALSE(std::filesystem::exists(root + "KIR/b.dat"));
  EXPECT_FALSE(std::filesystem::exists(root + "KIR/a.dat"));
  EXPECT_TRUE(std::filesystem::exists(root + "abs/c.dat"));
  EXPECT_TRUE(Rows("KIR/a.dat").empty());  // every row of the path goes
  EXPECT_TRUE(Rows("KIR/b.dat").empty());
  EXPECT_EQ(Rows("KIR/gone.dat").size(), 1u);

  // More than can ever be freed: every remaining file the guard may take goes.
  EXPECT_FALSE(catalogue.DiskSpaceGuard(root, 1ULL << 40, "KIR", busy));
  EXPECT_FALSE(std::filesystem::exists(root + "abs/c.dat"));
  EXPECT_TRUE(Rows(root + "abs/c.dat").empty());
  EXPECT_TRUE(Rows("KIR/gone.dat").empty());  // a missing file still loses its row
  EXPECT_TRUE(std::filesystem::exists(root + "KUDA/d.dat"));
  EXPECT_EQ(Rows("KUDA/d.dat").size(), 1u);
  for (const std::string& file :
       {root + "outside.dat", away + "/e.dat", root + "KIR/l.dat", root + "KIR/mine.dat",
        root + "KIR/busy.dat", root + "mounted/m.dat"})
    EXPECT_TRUE(std::filesystem::exists(file)) << file;
  ASSERT_EQ(m_notifier.messages.size(), kept.size());
  for (std::size_t i = 0; i < kept.size(); ++i) {
    const auto rows = Rows(kept[i]);
    EXPECT_EQ(std::count_if(rows.begin(), rows.end(),
                            [](const FileRow& r) { return r.creater == "DRANOVEX"; }),
              1)
        << kept[i];
    EXPECT_EQ(m_notifier.messages[i].icon, MessageIcon::Warning);
    EXPECT_NE(m_notifier.messages[i].text.find("'" + kept[i] + "'"), std::string::npos)
        << m_notifier.messages[i].text;
  }
  SmallDisk::Unmount(root + "mounted");
}

// Whatever the other program's rows name, the guard takes only a regular
// file with one link, and never a station's lock file: with the lock file
// gone, a second converter would write the station beside the one holding it.
TEST_P(FileListTest, GuardTakesOnlyFilesOfOneNameAndNeverALockFile) {
  TempDir dir;
  const std::string root = dir.path().string() + "/";
  std::filesystem::create_directories(root + "KIR/00");
  std::filesystem::create_directories(root + "keep");
  test::WriteFileBytes(root + "KIR/" + kStationLockFile, "");
  test::WriteFileBytes(root + "keep/twice.dat", "kept");
  const struct {
    const char* cpath;
    const char* second_name_of;  // a hard link to this; otherwise a file of its own
    const char* kept_because;    // nothing: it goes
  } cases[] = {
      {"KIR/a.dat", nullptr, nullptr},
      {"KIR/.korvel2tqf.lock", nullptr, "это файл блокировки станции"},
      {"KIR/00/.korvel2tqf.lock", nullptr, "это файл блокировки станции"},
      {"KIR/twice.dat", "keep/twice.dat", "у файла есть другие имена (жёсткие ссылки)"},
      {"KIR/lock.dat", "KIR/.korvel2tqf.lock", "у файла есть другие имена (жёсткие ссылки)"},
  };
  double oldest_first = 0.0;
  for (const auto& c : cases) {
    const std::string file = root + c.cpath;
    if (c.second_name_of)
      std::filesystem::create_hard_link(root + c.second_name_of, file);
    else if (!std::filesystem::exists(file))
      test::WriteFileBytes(file, "the other program's");
    InsertForeign("KIR", c.cpath, "DRANOVEX", "2001-01-01 00:00:00", ++oldest_first);
  }

  CFileList catalogue(m_db, m_notifier);
  EXPECT_FALSE(catalogue.DiskSpaceGuard(root, 1ULL << 40, "KIR", kNoneInUse));
  std::size_t kept = 0;
  for (const auto& c : cases) {
    EXPECT_EQ(std::filesystem::exists(root + c.cpath), c.kept_because != nullptr) << c.cpath;
    EXPECT_EQ(Rows(c.cpath).size(), c.kept_because ? 1u : 0u) << c.cpath;
    if (!c.kept_because) continue;
    ASSERT_LT(kept, m_notifier.messages.size()) << c.cpath;
    EXPECT_EQ(m_notifier.messages[kept++].text,
              "Файл '" + std::string(c.cpath) +
                  "' не удалён для освобождения места: " + c.kept_because + "; запись оставлена");
  }
  EXPECT_EQ(m_notifier.messages.size(), kept);
  EXPECT_EQ(test::ReadFileBytes(root + "keep/twice.dat"), "kept");
}

TEST_P(FileListTest, GuardFindsBlankPaddedPathsAndDropsRowsThatNameNoFile) {
  SmallDisk disk;
  if (!disk.mounted())
    GTEST_SKIP()
        << "*** cannot mount a small tmpfs (root on POSIX only): guard deletion untested ***";
  const std::string root = disk.root();
  // A fixed-width column gives every path back padded to its width: on
  // PostgreSQL CHAR(255) does; elsewhere the blanks are stored as written.
  const bool fixed_width = m_db.GetDbmsKind() == DbmsKind::Postgres;
  if (fixed_width) m_db.ExecuteSQL("ALTER TABLE FILELIST ALTER CPATH TYPE CHAR(255)");
  const std::string pad = fixed_width ? "" : "   ";
  WriteMegabytes(root + "KIR/a.dat", 12);
  WriteMegabytes(root + "KIR/b.dat", 12);
  WriteMegabytes(root + "KIR/keep.dat", 1);
  InsertForeign("KIR", "KIR/a.dat" + pad, "DRANOVEX", "2001-01-01 00:00:00", 1.0);
  InsertForeign("KIR", "", "DRANOVEX", "2001-01-02 00:00:00", 1.0);
  InsertForeign("KIR", "KIR/b.dat" + pad, "DRANOVEX", "2001-01-03 00:00:00", 1.0);
  m_db.ExecuteSQL("INSERT INTO FILELIST (STA, CREATER, LDDATE) VALUES ('KIR', 'DRANOVEX', NULL)");
  InsertForeign("KIR", "", "OTHER", "2001-01-01 00:00:00", 1.0);  // not the guard's to delete
  if (fixed_width) {
    CStatement s(m_reader);
    s.ExecDirect("SELECT CPATH FROM FILELIST WHERE CPATH LIKE 'KIR/a%'");
    ASSERT_TRUE(s.Fetch());
    EXPECT_EQ(s.Get<std::string>(1), "KIR/a.dat" + std::string(255 - 9, ' '));
  }

  CFileList catalogue(m_db, m_notifier);
  const std::uint64_t before = *FreeDiskSpace(root);
  EXPECT_FALSE(catalogue.DiskSpaceGuard(root, 1ULL << 40, "KIR", kNoneInUse));
  EXPECT_GE(*FreeDiskSpace(root), before + (24 << 20));
  EXPECT_FALSE(std::filesystem::exists(root + "KIR/a.dat"));
  EXPECT_FALSE(std::filesystem::exists(root + "KIR/b.dat"));
  EXPECT_TRUE(std::filesystem::exists(root + "KIR/keep.dat"));
  EXPECT_TRUE(std::filesystem::is_directory(root));
  // Every DRANOVEX row went, the empty and the NULL path too; the other
  // program's row of an empty path stays.
  CStatement s(m_reader);
  s.ExecDirect("SELECT CREATER FROM FILELIST");
  std::vector<std::string> left;
  while (s.Fetch()) left.push_back(s.Get<std::string>(1).value_or("<null>"));
  EXPECT_EQ(left, std::vector<std::string>{"OTHER"});
  EXPECT_TRUE(m_notifier.messages.empty());
}

INSTANTIATE_TEST_SUITE_P(Drivers, FileListTest, ::testing::ValuesIn(test::TestDsns()),
                         [](const auto& info) { return info.param; });
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(FileListTest);

}  // namespace
}  // namespace korvel
