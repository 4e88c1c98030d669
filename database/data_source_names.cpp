#include "database/data_source_names.h"

#include <algorithm>

#include "database/odbc_api.h"
#include "platform/text1251.h"

namespace korvel {

std::vector<std::string> DataSourceNames(std::optional<DataSourceScope> scope) {
  std::vector<std::string> names;
  SQLHENV env = SQL_NULL_HENV;
  if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env))) return names;
  SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
  SQLCHAR name[SQL_MAX_DSN_LENGTH + 1];
  SQLCHAR description[256];
  SQLSMALLINT name_length = 0;
  SQLSMALLINT description_length = 0;
  const SQLUSMALLINT first = !scope                             ? SQL_FETCH_FIRST
                             : *scope == DataSourceScope::kUser ? SQL_FETCH_FIRST_USER
                                                                : SQL_FETCH_FIRST_SYSTEM;
  for (SQLUSMALLINT direction = first;
       SQL_SUCCEEDED(SQLDataSources(env, direction, name, sizeof name, &name_length, description,
                                    sizeof description, &description_length));
       direction = SQL_FETCH_NEXT)
    names.emplace_back(reinterpret_cast<const char*>(name));
  SQLFreeHandle(SQL_HANDLE_ENV, env);
  return names;
}

std::vector<std::string> OdbcDriverNames() {
  std::vector<std::string> names;
  SQLHENV env = SQL_NULL_HENV;
  if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env))) return names;
  SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
  SQLCHAR name[256];
  SQLCHAR attributes[1024];
  SQLSMALLINT name_length = 0;
  SQLSMALLINT attributes_length = 0;
  for (SQLUSMALLINT direction = SQL_FETCH_FIRST;
       SQL_SUCCEEDED(SQLDrivers(env, direction, name, sizeof name, &name_length, attributes,
                                sizeof attributes, &attributes_length));
       direction = SQL_FETCH_NEXT)
    names.emplace_back(reinterpret_cast<const char*>(name));
  SQLFreeHandle(SQL_HANDLE_ENV, env);
  return names;
}

std::optional<DataSourceScope> DataSourceDefined(const std::string& dsn) {
  if (UserDataSourceDefined(dsn)) return DataSourceScope::kUser;
  const std::vector<std::string> names = DataSourceNames(DataSourceScope::kSystem);
  if (std::any_of(names.begin(), names.end(),
                  [&](const std::string& name) { return EqualNoCase1251(name, dsn); }))
    return DataSourceScope::kSystem;
  return std::nullopt;
}

}  // namespace korvel
