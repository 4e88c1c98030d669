#pragma once
// Text comparisons that are byte for byte on every server. MySQL and MariaDB
// compare by the column's collation, and another program's table may have
// one that ignores case: there "kir/00/a.kir" would stand for "KIR/00/A.KIR",
// and the disk-space guard would take one station's files for another's.

#include <initializer_list>
#include <string>

#include "database/database.h"
#include "database/statement.h"

namespace korvel {

// "COLUMN = ?", or on MySQL "(COLUMN = ? AND CAST(COLUMN AS BINARY) = ?)":
// the plain comparison keeps the column's index in use, the second makes it
// exact.
std::string ExactMatch(CDatabase& database, const std::string& column);

// A double column as the SELECT list names it so that every driver gives
// back all 17 digits: SQLite's driver turns a REAL into text with 15, so
// there the value comes as text written with 17 (NULL stays NULL).
std::string ExactDouble(CDatabase& database, const std::string& column);

// Text without the blanks a fixed-width (CHAR(n)) column pads it with.
std::string Unpadded(const std::string& text);

// Binds one value to each ExactMatch of a statement, in order, from the
// parameter `first`; returns the number of the next parameter.
int BindExact(CDatabase& database, CStatement& statement, int first,
              std::initializer_list<std::string> values);

}  // namespace korvel
