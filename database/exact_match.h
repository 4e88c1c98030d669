#pragma once
// Text comparisons that are byte for byte on every server. MySQL and MariaDB
// compare by the column's collation, and another program's table may have
// one that ignores case: there "kir/00/a.kir" would stand for "KIR/00/A.KIR",
// and the disk-space guard would take one station's files for another's. The
// column may also hold another charset than the UTF-8 the values are sent in
// (a cp1251 or latin1 table), so its bytes are never compared with theirs.

#include <initializer_list>
#include <string>

#include "database/database.h"
#include "database/statement.h"

namespace korvel {

// "COLUMN = ?". On MySQL two comparisons, each with its own parameter: the
// value converted to the column's charset and compared in its own collation
// keeps the column's index in use (a value the charset cannot hold becomes
// "?" there, without an error), and the column's text as UTF-8 compared with
// the value byte for byte makes it exact. The column's charset and collation
// are read from information_schema once per connection and table.
std::string ExactMatch(CDatabase& database, const std::string& table, const std::string& column);
// A column of FILELIST.
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
