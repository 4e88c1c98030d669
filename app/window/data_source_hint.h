#pragma once
// The window's word on a data source that is not there, in Russian, as
// korvel2tqf-cli gives it on its error line: the command that makes it.

#include <optional>
#include <string>

namespace korvel {

// `dsn` (code page 1251) as the connection resolved it, `given` when ODBC=
// named it on the command line. Nothing when the driver manager knows a data
// source of the name (its failure is another one).
std::optional<std::string> MissingDataSourceText(const std::string& dsn, bool given);

}  // namespace korvel
