#include "database/embedded_catalogue.h"

#include "database/catalogue_schema.h"
#include "database/database.h"
#include "database/db_exception.h"
#include "platform/config_folder.h"
#include "platform/native_path.h"

namespace korvel {

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
