#include "database/file_list.h"

#include <ctime>
#include <filesystem>
#include <vector>

#include "database/catalogue_rows.h"
#include "database/catalogue_schema.h"
#include "database/connection.h"
#include "database/db_exception.h"
#include "database/exact_match.h"
#include "database/reclaimable_file.h"
#include "database/statement.h"
#include "database/transaction.h"
#include "platform/disk_space.h"
#include "platform/file_io.h"
#include "platform/local_time.h"
#include "platform/native_path.h"
#include "platform/text1251.h"

namespace korvel {
namespace {

// A gigabyte beyond the need lasts longer than a tenth of a second of
// writing, ours or another program's: within that time the guard trusts its
// last look instead of asking the disk at every flush.
constexpr std::uint64_t kAmpleSpace = 1ULL << 30;
constexpr std::chrono::milliseconds kAmpleSpaceValid{100};

// The columns that UpdateFileRecord and RegisterNewFile both set, bound from 1.
void BindCommonColumns(CStatement& s, const std::string& station, const std::string& channel,
                       double tbegin, double tqty, double sps, int gain, int datatype) {
  s.Bind(1, Cp1251ToUtf8(station));
  s.Bind(2, Cp1251ToUtf8(channel));
  s.Bind(3, kOwnCreator);
  s.Bind(4, ToTimestamp(LocalTimeNow()));
  s.Bind(5, tbegin);
  s.Bind(6, tqty);
  s.Bind(7, sps);
  s.Bind(8, gain);
  s.Bind(9, datatype);
  s.Bind(10, kDataOffset);
}

std::string DeleteRowStatement(CDatabase& database) {
  return "DELETE FROM FILELIST WHERE " + ExactMatch(database, "CPATH");
}

constexpr const char* kCommonColumns =
    "STA, CH, CREATER, LDDATE, TBEGIN, TQTY, SPS, GAIN, DATATYPE, FOFF, CPATH";

}  // namespace

void CFileList::ApplyRows(const std::vector<RowChange>& changes) {
  if (changes.empty()) return;
  // Before the transaction: a failed look at the columns must not spoil it.
  WarnOnceOfLossyColumns();
  CTransaction transaction(m_database);
  for (const RowChange& c : changes) {
    switch (c.kind) {
      case RowChange::Kind::kRegister:
        RegisterNewFile(c.cpath, c.station, c.channel, c.tbegin, c.tqty, c.sps, c.calib, c.calper,
                        c.gain, c.datatype);
        break;
      case RowChange::Kind::kUpdate:
        UpdateFileRecord(c.cpath, c.station, c.channel, c.tbegin, c.tqty, c.sps, c.gain,
                         c.datatype);
        break;
      case RowChange::Kind::kForget:
        ForgetOwnFile(c.cpath);
        break;
    }
  }
  transaction.Commit();
}

void CFileList::RegisterNewFile(const std::string& cpath, const std::string& station,
                                const std::string& channel, double tbegin, double tqty, double sps,
                                double calib, double calper, int gain, int datatype) {
  WarnOnceOfLossyColumns();
  const std::string path = Cp1251ToUtf8(cpath);
  // A file is catalogued once: every older row of the path goes, in one step
  // with the new row, so that a refused insert leaves the older rows.
  CTransaction transaction(m_database);
  CStatement& remove = m_database.Prepared(DeleteRowStatement(m_database));
  BindExact(m_database, remove, 1, {path});
  remove.Execute();

  CStatement& insert =
      m_database.Prepared(std::string("INSERT INTO FILELIST (") + kCommonColumns +
                          ", CALIB, CALPER) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
  BindCommonColumns(insert, station, channel, tbegin, tqty, sps, gain, datatype);
  insert.Bind(11, path);
  insert.Bind(12, calib);
  insert.Bind(13, calper);
  insert.Execute();
  transaction.Commit();
}

void CFileList::UpdateFileRecord(const std::string& cpath, const std::string& station,
                                 const std::string& channel, double tbegin, double tqty, double sps,
                                 int gain, int datatype) {
  WarnOnceOfLossyColumns();
  const std::string path = Cp1251ToUtf8(cpath);
  // Only our own row of the path: another program's row keeps its values
  // (and its creator, by which the space guard may reclaim its file).
  // CALIB and CALPER are not named, so a row keeps them. The update, and
  // the row made when there is none, are one step.
  CTransaction transaction(m_database);
  CStatement& update = m_database.Prepared(
      "UPDATE FILELIST SET STA = ?, CH = ?, CREATER = ?, LDDATE = ?, TBEGIN = ?, TQTY = ?, "
      "SPS = ?, GAIN = ?, DATATYPE = ?, FOFF = ? WHERE " +
      ExactMatch(m_database, "CPATH") + " AND " + ExactMatch(m_database, "CREATER"));
  BindCommonColumns(update, station, channel, tbegin, tqty, sps, gain, datatype);
  BindExact(m_database, update, 11, {path, kOwnCreator});
  update.Execute();
  // MySQL's and MariaDB's drivers count only the rows whose values changed:
  // an update that changed nothing does not mean there is no row.
  if (update.RowCount() == 0 && !AnyRowNames(m_database, cpath, kOwnCreator)) {
    CStatement& insert =
        m_database.Prepared(std::string("INSERT INTO FILELIST (") + kCommonColumns +
                            ") VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
    BindCommonColumns(insert, station, channel, tbegin, tqty, sps, gain, datatype);
    insert.Bind(11, path);
    insert.Execute();
  }
  transaction.Commit();
}

void CFileList::WarnOnceOfLossyColumns() {
  if (m_columns_checked) return;
  m_columns_checked = true;
  std::vector<LossyColumn> lossy;
  try {
    lossy = LossyFileListColumns(m_database);
  } catch (const CDBException&) {
    return;  // a driver that cannot describe its columns: upgrade-schema says so
  }
  std::string names;
  for (const LossyColumn& column : lossy)
    if (column.column == "TBEGIN" || column.column == "CALIB" || column.column == "CALPER")
      names += (names.empty() ? "" : ", ") + column.column + " " + column.type;
  if (names.empty()) return;
  m_notifier.Message("Поля FILELIST не хранят числа без округления (" + names +
                         "): времена начала и калибровки записываются неточно; исправьте их "
                         "типы командой korvel2tqf-cli upgrade-schema",
                     kApplicationTitle, MessageIcon::Warning);
}

void CFileList::ForgetOwnFile(const std::string& cpath) {
  DeleteOwnFileRow(m_database, Cp1251ToUtf8(cpath));
}

namespace {

// Our own rows of a station and channel with what a CataloguedFile takes,
// TBEGIN narrowed further by `condition`.
std::string OwnRowsSelect(CDatabase& db, const std::string& condition) {
  return "CPATH, " + ExactDouble(db, "TBEGIN") + ", " + ExactDouble(db, "TQTY") + ", " +
         ExactDouble(db, "SPS") + ", " + ExactDouble(db, "CALIB") + ", " +
         ExactDouble(db, "CALPER") + " FROM FILELIST WHERE " + ExactMatch(db, "STA") + " AND " +
         ExactMatch(db, "CH") + " AND " + ExactMatch(db, "CREATER") + " AND " + condition;
}

// The statement's first row alone, in the dialect's form.
std::string FirstRowOnly(CDatabase& db, const std::string& select) {
  // SQLite counts as Access by kind.
  if (db.Kind() == DbmsKind::MsSql || (db.Kind() == DbmsKind::Access && !db.IsSqliteConnection()))
    return "SELECT TOP 1 " + select;
  if (db.Kind() == DbmsKind::Oracle) return "SELECT " + select + " FETCH FIRST 1 ROWS ONLY";
  return "SELECT " + select + " LIMIT 1";
}

// The fetched row of an OwnRowsSelect; nothing for one that names no whole
// file. A fixed-width column pads the path with blanks.
std::optional<CataloguedFile> FetchedOwnRow(CStatement& select) {
  const auto cpath = select.Get<std::string>(1);
  const auto tbegin = select.Get<double>(2);
  const auto tqty = select.Get<double>(3);
  const auto sps = select.Get<double>(4);
  if (!cpath || !tbegin || !tqty || !sps) return std::nullopt;
  return CataloguedFile{Utf8ToCp1251(Unpadded(*cpath)), *tbegin, *tqty, *sps, select.Get<double>(5),
                        select.Get<double>(6)};
}

}  // namespace

std::string LatestOwnFileQuery(CDatabase& db) {
  // Descending through the index on (STA, CH, TBEGIN), the first of our own
  // rows is the answer: the scan stops there. A NULL TBEGIN sorts first on
  // some servers and is no start to continue from.
  return FirstRowOnly(db, OwnRowsSelect(db, "TBEGIN IS NOT NULL ORDER BY TBEGIN DESC"));
}

std::optional<CataloguedFile> CFileList::LatestOwnFile(const std::string& station,
                                                       const std::string& channel) {
  CDatabase& db = m_database;
  CStatement& select = db.Prepared(LatestOwnFileQuery(db));
  BindExact(db, select, 1, {Cp1251ToUtf8(station), Cp1251ToUtf8(channel), kOwnCreator});
  select.Execute();
  std::optional<CataloguedFile> latest;
  if (select.Fetch()) latest = FetchedOwnRow(select);
  select.CloseCursor();
  return latest;
}

std::vector<CataloguedFile> CFileList::OwnFilesNear(const std::string& station,
                                                    const std::string& channel, double from,
                                                    double to) {
  CDatabase& db = m_database;
  const std::initializer_list<std::string> names = {Cp1251ToUtf8(station), Cp1251ToUtf8(channel),
                                                    kOwnCreator};
  std::vector<CataloguedFile> rows;
  CStatement& before =
      db.Prepared(FirstRowOnly(db, OwnRowsSelect(db, "TBEGIN < ? ORDER BY TBEGIN DESC")));
  before.Bind(BindExact(db, before, 1, names), from);
  before.Execute();
  if (before.Fetch())
    if (auto row = FetchedOwnRow(before)) rows.push_back(std::move(*row));
  before.CloseCursor();
  CStatement& within =
      db.Prepared("SELECT " + OwnRowsSelect(db, "TBEGIN >= ? AND TBEGIN < ? ORDER BY TBEGIN"));
  const int next = BindExact(db, within, 1, names);
  within.Bind(next, from);
  within.Bind(next + 1, to);
  within.Execute();
  while (within.Fetch())
    if (auto row = FetchedOwnRow(within)) rows.push_back(std::move(*row));
  within.CloseCursor();
  return rows;
}

bool CFileList::AmpleSpaceSeenLately(const std::string& output_root) const {
  return output_root == m_ample_root && std::chrono::steady_clock::now() < m_ample_until;
}

bool CFileList::DiskSpaceGuard(const std::string& output_root, std::uint64_t extra_bytes,
                               const std::string& station, const InUse& in_use) {
  const std::uint64_t need = extra_bytes + kSpaceReserve;
  if (extra_bytes < kAmpleSpace && AmpleSpaceSeenLately(output_root)) return true;
  // A disk that cannot be measured is no reason to delete anything.
  auto free = FreeDiskSpace(output_root);
  if (!free) return false;
  if (*free > need) {
    if (*free > need + kAmpleSpace) {
      m_ample_root = output_root;
      m_ample_until = std::chrono::steady_clock::now() + kAmpleSpaceValid;
    }
    return true;
  }
  m_ample_root.clear();

  // The whole result is read first, as a snapshot: the deletions below must
  // not disturb the walk.
  std::vector<std::optional<std::string>> paths;  // nothing for a NULL CPATH
  {
    CStatement& select = m_database.Prepared(
        "SELECT CPATH FROM FILELIST WHERE " + ExactMatch(m_database, "STA") + " AND " +
        ExactMatch(m_database, "CREATER") + " ORDER BY LDDATE, TBEGIN");
    BindExact(m_database, select, 1, {Cp1251ToUtf8(station), kDeletableCreator});
    select.Execute();
    while (select.Fetch()) paths.push_back(select.Get<std::string>(1));
    select.CloseCursor();
  }
  const ReclaimableRoot root(NativePath(output_root));
  for (const std::optional<std::string>& stored : paths) {
    free = FreeDiskSpace(output_root);
    if (free && *free > need) break;
    // A fixed-width column pads the path with blanks: the file is sought
    // without them, the row is deleted by the value as stored.
    const std::string cpath = Unpadded(stored.value_or(""));
    // A refused deletion (a user who may read the other program's rows but
    // not delete them) ends the walk: it would be refused for every row.
    if (cpath.empty()) {
      // A row that names no file goes; the output root itself is never touched.
      if (!DeletePathlessRecords(station, stored.value_or(""))) break;
      continue;
    }
    const Reclaim reclaim = root.Judge(cpath, in_use, [&](const std::string& relative) {
      // Our own rows name the file by its path below the root, as written.
      return AnyRowNames(m_database, relative, kOwnCreator);
    });
    if (reclaim.keep_because) {
      ReportKept(cpath, *reclaim.keep_because);
      continue;
    }
    if (!RemoveCataloguedFile(reclaim.file, *stored)) break;
  }
  free = FreeDiskSpace(output_root);
  return free && *free >= need;
}

void CFileList::ReportKept(const std::string& cpath, const std::string& reason) {
  if (!m_reported_kept.insert(cpath).second) return;
  m_notifier.Message(
      "Файл '" + cpath + "' не удалён для освобождения места: " + reason + "; запись оставлена",
      kApplicationTitle, MessageIcon::Warning);
}

bool CFileList::RemoveCataloguedFile(const std::optional<std::filesystem::path>& file,
                                     const std::string& stored_cpath) {
  // The row goes first, so that no row is left naming a file already gone;
  // a file that then cannot be removed stays without a row, as an orphan
  // that verify shows.
  if (!DeleteFileRecord(stored_cpath)) return false;
  if (file) RemoveFile(*file);
  return true;
}

bool CFileList::DeleteFileRecord(const std::string& stored_cpath) {
  try {
    CStatement& remove = m_database.Prepared(DeleteRowStatement(m_database));
    BindExact(m_database, remove, 1, {stored_cpath});
    remove.Execute();
    return true;
  } catch (const CDBException& e) {
    m_notifier.Message(e.ErrorText(), kApplicationTitle, MessageIcon::Error);
    return false;
  }
}

bool CFileList::DeletePathlessRecords(const std::string& station, const std::string& stored_cpath) {
  // Only the guard's own rows: an empty path is no file that others share.
  try {
    CStatement& remove =
        m_database.Prepared("DELETE FROM FILELIST WHERE " + ExactMatch(m_database, "STA") +
                            " AND " + ExactMatch(m_database, "CREATER") +
                            " AND (CPATH IS NULL OR " + ExactMatch(m_database, "CPATH") + ")");
    BindExact(m_database, remove, 1, {Cp1251ToUtf8(station), kDeletableCreator, stored_cpath});
    remove.Execute();
    return true;
  } catch (const CDBException& e) {
    m_notifier.Message(e.ErrorText(), kApplicationTitle, MessageIcon::Error);
    return false;
  }
}

}  // namespace korvel
