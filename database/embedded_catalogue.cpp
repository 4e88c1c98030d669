#include "database/embedded_catalogue.h"

#include "database/catalogue_schema.h"
#include "database/data_source_names.h"
#include "database/database.h"
#include "database/db_exception.h"
#include "platform/config_folder.h"
#include "platform/native_path.h"
#include "platform/text1251.h"

namespace korvel {
std::filesystem::path DefaultCatalogueFile() {
  return UserDataFolder() / "tqf" / "catalogue.sqlite";
}

InitResult InitEmbeddedCatalogue(const std::filesystem::path& database_file, bool database_given,
                                 const std::string& dsn, const std::string& connect) {
  std::error_code ec;
  const std::filesystem::path file = std::filesystem::absolute(database_file, ec);
  if (ec) return {false, "cannot resolve " + DisplayPath(database_file)};
  const std::optional<DataSourceScope> scope = DataSourceDefined(dsn);
  std::string message;
  if (scope) {
    // Whatever its keys, a data source of the name is someone's: it stays
    // as it is, byte for byte.
    const std::string where = DataSourcePlace(*scope);
    const std::string own_name =
        "korvel2tqf-cli --dsn NAME init-catalogue" +
        (database_given ? " --database " + DisplayPath(file) : std::string()) +
        ", then ODBC=NAME under [DATABASE] in tqf.ini";
    if (database_given &&
        !(scope == DataSourceScope::kUser && Utf8Path(UserDataSourceDatabase(dsn)) == file))
      return {false, "the data source \"" + dsn + "\" exists already in " + where +
                         " and is left as it is; to make the catalogue " + DisplayPath(file) +
                         " give it a name of its own: " + own_name};
    message = "the data source \"" + dsn + "\" (in " + where + ") is there";
    try {
      CDatabase database;
      if (database.OpenEx(connect) != CDatabase::OpenResult::Opened)
        return {false, message + " but does not open; it is left as it is"};
      CreateCatalogueTables(database);
    } catch (const CDBException& e) {
      return {false, message + " but does not open: " + e.ErrorText() +
                         "\nit is left as it is: mend it there, or make the embedded catalogue "
                         "under a name of its own: " +
                         own_name};
    }
    return {true, message + " and opens: FILELIST, SITECHAN and their indexes are in place"};
  }

  std::filesystem::create_directories(file.parent_path(), ec);
  if (ec) return {false, "cannot create " + DisplayPath(file.parent_path()) + ": " + ec.message()};
  const InitResult registered = RegisterUserDataSource(dsn, file);
  if (!registered.ok) return registered;
  message = registered.message + "\n";
  try {
    CDatabase database;
    if (database.OpenEx(connect) != CDatabase::OpenResult::Opened)
      return {false, message + "cannot open the data source \"" + dsn + "\""};
    CreateCatalogueTables(database);
  } catch (const CDBException& e) {
    return {false, message + e.ErrorText()};
  }
  return {true, message + "catalogue ready: " + DisplayPath(file)};
}

}  // namespace korvel
