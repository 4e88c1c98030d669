#include "database/embedded_catalogue.h"

#include "database/catalogue_schema.h"
#include "database/database.h"
#include "database/db_exception.h"
#include "platform/config_folder.h"
#include "platform/native_path.h"
#include "platform/text1251.h"

namespace korvel {
namespace {

// A data source of the name that every user of the machine sees; the driver
// manager prefers a user's own of the same name, so registering one would
// quietly take the programs away from it.
bool SystemDataSourceExists(const std::string& dsn) {
  SQLHENV env = SQL_NULL_HENV;
  if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env))) return false;
  SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
  SQLCHAR name[SQL_MAX_DSN_LENGTH + 1];
  SQLCHAR description[256];
  SQLSMALLINT name_length = 0, description_length = 0;
  bool found = false;
  for (SQLUSMALLINT direction = SQL_FETCH_FIRST_SYSTEM;
       SQL_SUCCEEDED(SQLDataSources(env, direction, name, sizeof name, &name_length, description,
                                    sizeof description, &description_length));
       direction = SQL_FETCH_NEXT)
    found = found || EqualNoCase1251(reinterpret_cast<const char*>(name), Utf8ToCp1251(dsn));
  SQLFreeHandle(SQL_HANDLE_ENV, env);
  return found;
}

}  // namespace

std::filesystem::path DefaultCatalogueFile() {
  return UserDataFolder() / "tqf" / "catalogue.sqlite";
}

InitResult InitEmbeddedCatalogue(const std::filesystem::path& database_file,
                                 const std::string& dsn) {
  std::error_code ec;
  const std::filesystem::path file = std::filesystem::absolute(database_file, ec);
  if (ec) return {false, "cannot resolve " + DisplayPath(database_file)};
  std::filesystem::create_directories(file.parent_path(), ec);
  if (ec) return {false, "cannot create " + DisplayPath(file.parent_path()) + ": " + ec.message()};

  if (SystemDataSourceExists(dsn))
    return {false, "a system data source \"" + dsn +
                       "\" exists already, and the programs use it; a user data source of the "
                       "same name would hide it. Remove that one to use the embedded catalogue"};
  const InitResult registered = RegisterUserDataSource(dsn, file);
  if (!registered.ok) return registered;
  const std::string message = registered.message + "\n";
  try {
    CDatabase database;
    if (database.OpenEx("DSN=" + dsn + ";") != CDatabase::OpenResult::Opened)
      return {false, message + "cannot open the data source \"" + dsn + "\""};
    CreateCatalogueTables(database);
  } catch (const CDBException& e) {
    return {false, message + e.ErrorText()};
  }
  return {true, message + "catalogue ready: " + DisplayPath(file)};
}

}  // namespace korvel
