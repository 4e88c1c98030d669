#include "database/catalogue_rows.h"

#include "database/exact_match.h"
#include "database/statement.h"
#include "engine/catalogue.h"
#include "platform/text1251.h"

namespace korvel {
namespace {

// A stored text as the program's own: without padding, code page 1251.
std::string Stored1251(const std::optional<std::string>& stored) {
  return Utf8ToCp1251(Unpadded(stored.value_or("")));
}

}  // namespace

std::vector<FileListRow> ReadStationFileRows(CDatabase& database, const std::string& station) {
  CDatabase& db = database;
  CStatement& select =
      db.Prepared("SELECT STA, CH, CREATER, CPATH, " + ExactDouble(db, "TBEGIN") + ", " +
                  ExactDouble(db, "TQTY") + ", " + ExactDouble(db, "SPS") + ", " +
                  ExactDouble(db, "CALIB") + ", " + ExactDouble(db, "CALPER") +
                  " FROM FILELIST WHERE " + ExactMatch(db, "STA") + " ORDER BY CH, TBEGIN");
  BindExact(db, select, 1, {Cp1251ToUtf8(station)});
  select.Execute();
  std::vector<FileListRow> rows;
  while (select.Fetch()) {
    FileListRow row;
    row.station = Stored1251(select.Get<std::string>(1));
    row.channel = Stored1251(select.Get<std::string>(2));
    row.creator = Stored1251(select.Get<std::string>(3));
    const std::optional<std::string> cpath = select.Get<std::string>(4);
    row.cpath = Stored1251(cpath);
    row.stored_cpath = cpath.value_or("");
    row.tbegin = select.Get<double>(5);
    row.tqty = select.Get<double>(6);
    row.sps = select.Get<double>(7);
    row.calib = select.Get<double>(8);
    row.calper = select.Get<double>(9);
    rows.push_back(std::move(row));
  }
  select.CloseCursor();
  return rows;
}

std::vector<CoverageFile> ReadCoverageFiles(CDatabase& database,
                                            const std::vector<std::string>& stations) {
  std::vector<CoverageFile> files;
  for (const std::string& station : stations)
    for (const FileListRow& row : ReadStationFileRows(database, station))
      if (row.tbegin && row.tqty)
        files.push_back({station, row.channel, *row.tbegin, *row.tqty, row.sps.value_or(0)});
  return files;
}

bool AnyRowNames(CDatabase& database, const std::string& cpath, const char* creator) {
  CStatement& count =
      database.Prepared("SELECT COUNT(*) FROM FILELIST WHERE " + ExactMatch(database, "CPATH") +
                        (creator == nullptr ? "" : " AND " + ExactMatch(database, "CREATER")));
  const int next = BindExact(database, count, 1, {Cp1251ToUtf8(cpath)});
  if (creator != nullptr) BindExact(database, count, next, {creator});
  count.Execute();
  return count.FetchCount() > 0;
}

void DeleteOwnFileRow(CDatabase& database, const std::string& stored_cpath) {
  CStatement& remove =
      database.Prepared("DELETE FROM FILELIST WHERE " + ExactMatch(database, "CPATH") + " AND " +
                        ExactMatch(database, "CREATER"));
  BindExact(database, remove, 1, {stored_cpath, kOwnCreator});
  remove.Execute();
}

void SetOwnFileLength(CDatabase& database, const std::string& stored_cpath, double tqty) {
  CStatement& update =
      database.Prepared("UPDATE FILELIST SET TQTY = ? WHERE " + ExactMatch(database, "CPATH") +
                        " AND " + ExactMatch(database, "CREATER"));
  update.Bind(1, tqty);
  BindExact(database, update, 2, {stored_cpath, kOwnCreator});
  update.Execute();
}

}  // namespace korvel
