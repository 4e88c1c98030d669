#include "database/catalogue_rows.h"

#include "database/statement.h"
#include "engine/catalogue.h"
#include "platform/text1251.h"

namespace korvel {
namespace {

std::string Unpadded(const std::optional<std::string>& stored) {
  if (!stored) return {};
  return Utf8ToCp1251(stored->substr(0, stored->find_last_not_of(' ') + 1));
}

}  // namespace

std::vector<FileListRow> ReadStationFileRows(CDatabase& database, const std::string& station) {
  CStatement& select = database.Prepared(
      "SELECT STA, CH, CREATER, CPATH, TBEGIN, TQTY, SPS, CALIB, CALPER FROM FILELIST "
      "WHERE STA = ? ORDER BY CH, TBEGIN");
  select.Bind(1, Cp1251ToUtf8(station));
  select.Execute();
  std::vector<FileListRow> rows;
  while (select.Fetch()) {
    FileListRow row;
    row.station = Unpadded(select.Get<std::string>(1));
    row.channel = Unpadded(select.Get<std::string>(2));
    row.creator = Unpadded(select.Get<std::string>(3));
    const std::optional<std::string> cpath = select.Get<std::string>(4);
    row.cpath = Unpadded(cpath);
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
  CStatement& count = database.Prepared(
      creator == nullptr ? "SELECT COUNT(*) FROM FILELIST WHERE CPATH = ?"
                         : "SELECT COUNT(*) FROM FILELIST WHERE CPATH = ? AND CREATER = ?");
  count.Bind(1, Cp1251ToUtf8(cpath));
  if (creator != nullptr) count.Bind(2, creator);
  count.Execute();
  const bool named = count.Fetch() && count.Get<std::int32_t>(1).value_or(0) > 0;
  count.CloseCursor();
  return named;
}

void DeleteOwnFileRow(CDatabase& database, const std::string& stored_cpath) {
  CStatement& remove = database.Prepared("DELETE FROM FILELIST WHERE CPATH = ? AND CREATER = ?");
  remove.Bind(1, stored_cpath);
  remove.Bind(2, kOwnCreator);
  remove.Execute();
}

void SetOwnFileLength(CDatabase& database, const std::string& stored_cpath, double tqty) {
  CStatement& update =
      database.Prepared("UPDATE FILELIST SET TQTY = ? WHERE CPATH = ? AND CREATER = ?");
  update.Bind(1, tqty);
  update.Bind(2, stored_cpath);
  update.Bind(3, kOwnCreator);
  update.Execute();
}

}  // namespace korvel
