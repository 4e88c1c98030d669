#pragma once
// The catalogue's tables as this program creates them for its embedded
// database and for test servers.

#include "database/database.h"

namespace korvel {

// FILELIST (with LCODE and TEND), SITECHAN and the indexes that keep every
// catalogue statement off a full table scan; existing ones are left alone.
void CreateCatalogueTables(CDatabase& database);

}  // namespace korvel
