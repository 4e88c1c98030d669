#pragma once
// The catalogue's tables as this program creates them for its embedded
// database and for test servers.

#include <vector>

#include "database/database.h"

namespace korvel {

// FILELIST (with LCODE and TEND), SITECHAN and the indexes that keep every
// catalogue statement off a full table scan; existing ones are left alone.
void CreateCatalogueTables(CDatabase& database);

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
    {"SITECHAN_STA", "SITECHAN", "STA"},
};

// Those of kCatalogueIndexes that no index of the data source begins with
// (its columns first, in order), as the driver's catalogue functions tell.
std::vector<CatalogueIndex> MissingCatalogueIndexes(CDatabase& database);

}  // namespace korvel
