#pragma once
// The ODBC data sources the driver manager knows, user and system ones.

#include <optional>
#include <string>
#include <vector>

namespace korvel {

enum class DataSourceScope { kUser, kSystem };

// Their names as the driver manager lists them (UTF-8); empty when it
// cannot be asked. Without a scope, both kinds.
std::vector<std::string> DataSourceNames(std::optional<DataSourceScope> scope = std::nullopt);

// The ODBC drivers the driver manager knows (on POSIX those of unixODBC's
// odbcinst.ini); empty when it cannot be asked.
std::vector<std::string> OdbcDriverNames();

// A user data source of the name, asked without the driver manager, which
// on POSIX makes an empty user file where there is none.
bool UserDataSourceDefined(const std::string& dsn);

// Where a data source of the name is defined, the user's own first (the one
// the driver manager takes); nothing when it is not.
std::optional<DataSourceScope> DataSourceDefined(const std::string& dsn);

// A key of a data source as its definition holds it (the user's first);
// nothing when the data source or the key is not there.
std::optional<std::string> DataSourceValue(const std::string& dsn, const std::string& key);
// The data source's driver: its name and, where the name stands for an
// installed driver, that driver's library; empty when unknown.
std::string DataSourceDriver(const std::string& dsn);

// The file (POSIX) or the registry part (Windows) that holds the data sources
// of a scope, for the operator.
std::string DataSourcePlace(DataSourceScope scope);

}  // namespace korvel
