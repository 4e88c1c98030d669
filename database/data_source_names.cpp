#include "database/data_source_names.h"

#include "database/odbc_api.h"

namespace korvel {

std::vector<std::string> DataSourceNames() {
  std::vector<std::string> names;
  SQLHENV env = SQL_NULL_HENV;
  if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env))) return names;
  SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
  SQLCHAR name[SQL_MAX_DSN_LENGTH + 1];
  SQLCHAR description[256];
  SQLSMALLINT name_length = 0;
  SQLSMALLINT description_length = 0;
  for (SQLUSMALLINT direction = SQL_FETCH_FIRST;
       SQL_SUCCEEDED(SQLDataSources(env, direction, name, sizeof name, &name_length, description,
                                    sizeof description, &description_length));
       direction = SQL_FETCH_NEXT)
    names.emplace_back(reinterpret_cast<const char*>(name));
  SQLFreeHandle(SQL_HANDLE_ENV, env);
  return names;
}

}  // namespace korvel
