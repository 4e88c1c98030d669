#include "database/data_source_names.h"

#include <algorithm>

#include "database/odbc_api.h"
#include "platform/text1251.h"

namespace korvel {

namespace {

// The names an ODBC listing call gives (SQLDataSources or SQLDrivers, which
// take the same arguments), from `first` on, in a fresh environment.
template <typename Listing>
std::vector<std::string> ListedNames(SQLUSMALLINT first, Listing listing) {
  std::vector<std::string> names;
  SQLHENV env = SQL_NULL_HENV;
  if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env))) return names;
  SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
  SQLCHAR name[256];  // beyond SQL_MAX_DSN_LENGTH and any driver's name
  SQLCHAR detail[1024];
  SQLSMALLINT name_length = 0;
  SQLSMALLINT detail_length = 0;
  for (SQLUSMALLINT direction = first;
       SQL_SUCCEEDED(listing(env, direction, name, SQLSMALLINT{sizeof name}, &name_length, detail,
                             SQLSMALLINT{sizeof detail}, &detail_length));
       direction = SQL_FETCH_NEXT)
    names.emplace_back(reinterpret_cast<const char*>(name));
  SQLFreeHandle(SQL_HANDLE_ENV, env);
  return names;
}

}  // namespace

std::vector<std::string> DataSourceNames(std::optional<DataSourceScope> scope) {
  const SQLUSMALLINT first = !scope                             ? SQL_FETCH_FIRST
                             : *scope == DataSourceScope::kUser ? SQL_FETCH_FIRST_USER
                                                                : SQL_FETCH_FIRST_SYSTEM;
  return ListedNames(first, SQLDataSources);
}

std::vector<std::string> OdbcDriverNames() { return ListedNames(SQL_FETCH_FIRST, SQLDrivers); }

std::optional<DataSourceScope> DataSourceDefined(const std::string& dsn) {
  if (UserDataSourceDefined(dsn)) return DataSourceScope::kUser;
  const std::vector<std::string> names = DataSourceNames(DataSourceScope::kSystem);
  if (std::any_of(names.begin(), names.end(),
                  [&](const std::string& name) { return EqualNoCase1251(name, dsn); }))
    return DataSourceScope::kSystem;
  return std::nullopt;
}

}  // namespace korvel
