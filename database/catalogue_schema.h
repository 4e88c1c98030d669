#pragma once
// The catalogue's tables as this program creates them for its embedded
// database and for server catalogues, and what upgrade-schema checks of them.

#include <optional>
#include <string>
#include <vector>

#include "database/database.h"

namespace korvel {

// FILELIST (with LCODE and TEND), SITECHAN and the indexes that keep every
// catalogue statement off a full table scan; existing ones are left alone.
// Every time, rate and calibration column is a double on every server.
void CreateCatalogueTables(CDatabase& database);

// PostgreSQL keeps a quoted name as written, and the program's unquoted
// FILELIST means filelist: a table created as "FILELIST" (or "SITECHAN") with
// no lower-case one beside it is refused with what to do, before anything
// is read or made.
void RefuseQuotedCatalogueTables(CDatabase& database);

// The indexes every catalogue statement relies on, as "TABLE (COLUMNS)", and
// the CREATE INDEX text a server user can run for each.
struct CatalogueIndex {
  const char* name;
  const char* table;
  const char* columns;  // comma-separated, in order
};
inline constexpr CatalogueIndex kCatalogueIndexes[] = {
    {"FILELIST_CPATH", "FILELIST", "CPATH"},
    {"FILELIST_STA_CREATER", "FILELIST", "STA, CREATER"},
    {"FILELIST_STA_CH_TBEGIN", "FILELIST", "STA, CH, TBEGIN"},
    {"SITECHAN_STA", "SITECHAN", "STA"},
};

// Those of kCatalogueIndexes that no index of the data source begins with
// (its columns first, in order), as the driver's catalogue functions tell.
// Raises CDBException when the driver cannot tell.
std::vector<CatalogueIndex> MissingCatalogueIndexes(CDatabase& database);

// A FILELIST column that holds times, rates or calibrations in a type that
// does not keep every double (MySQL's FLOAT keeps about seven digits, so a
// start time moves by up to a minute).
struct LossyColumn {
  std::string column;  // upper case
  std::string type;    // as the driver names it, with its size
};
inline constexpr const char* kDoubleColumns[] = {"TBEGIN", "TQTY",   "SPS",
                                                 "CALIB",  "CALPER", "TEND"};
// Asks the driver (SQLColumns); raises CDBException when it cannot tell.
std::vector<LossyColumn> LossyFileListColumns(CDatabase& database);

// A column as the driver describes it (SQLColumns).
struct ColumnDescription {
  long data_type = 0;     // the ODBC SQL type
  std::string type_name;  // the server's own name
  long size = 0;          // characters, digits or bits; 0 when unbounded
  long decimals = 0;
  long radix = 10;
  bool nullable = true;
};
// Nothing when the driver names no such column (or cannot say).
std::optional<ColumnDescription> DescribeColumn(CDatabase& database, const std::string& table,
                                                const std::string& column);
bool KeepsDoubles(const ColumnDescription& column);
bool IsTextColumn(const ColumnDescription& column);
bool IsNumberColumn(const ColumnDescription& column);

// The MySQL and MariaDB columns among CPATH, STA, CH and CREATER of FILELIST
// whose collation ignores case (their names, with the collation).
std::vector<std::string> CaseBlindFileListColumns(CDatabase& database);

}  // namespace korvel
