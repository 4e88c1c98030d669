#pragma once
// The ODBC data sources the driver manager knows, user and system ones.

#include <string>
#include <vector>

namespace korvel {

// Their names as the driver manager lists them (UTF-8); empty when it
// cannot be asked.
std::vector<std::string> DataSourceNames();

}  // namespace korvel
