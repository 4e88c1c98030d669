#pragma once
// FILELIST rows as they are, every creator's, for the archive's reports
// (coverage, verify), and the corrections verify may make to our own rows.

#include <optional>
#include <string>
#include <vector>

#include "database/database.h"
#include "engine/catalogue.h"

namespace korvel {

struct FileListRow {
  std::string station;  // code page 1251, without the blanks of a fixed-width column
  std::string channel;
  std::string creator;
  std::string cpath;
  std::string stored_cpath;  // UTF-8, exactly as stored: what a statement names the row by
  std::optional<double> tbegin, tqty, sps, calib, calper;  // nothing for NULL
};

// Every row of the station, by channel and start.
std::vector<FileListRow> ReadStationFileRows(CDatabase& database, const std::string& station);

// The stretches the stations' rows claim (rows without a start or a length
// claim none), for the coverage report.
std::vector<CoverageFile> ReadCoverageFiles(CDatabase& database,
                                            const std::vector<std::string>& stations);

// True when a row of any station names the relative path (code page 1251)
// as it is: a row of any creator, or of `creator` alone when one is given.
bool AnyRowNames(CDatabase& database, const std::string& cpath, const char* creator = nullptr);

// Our own row (CREATER "korvel2TQF") of the stored path: deleted, or its
// TQTY set. Another program's row of the same path is left as it is.
void DeleteOwnFileRow(CDatabase& database, const std::string& stored_cpath);
void SetOwnFileLength(CDatabase& database, const std::string& stored_cpath, double tqty);

}  // namespace korvel
