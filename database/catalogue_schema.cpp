#include "database/catalogue_schema.h"

#include <map>
#include <string>

#include "database/db_exception.h"
#include "database/statement.h"
#include "platform/text1251.h"

namespace korvel {
namespace {

std::string Upper(std::string text) {
  for (char& c : text) c = Upper1251(c);
  return text;
}

// Every index of `table` as its upper-case column list, "A, B".
std::vector<std::string> IndexColumns(CDatabase& database, const std::string& table) {
  std::map<std::string, std::map<long, std::string>> indexes;
  CStatement statement(database);
  std::string name = table;
  const SQLRETURN rc = SQLStatistics(statement.RawHandle(), nullptr, 0, nullptr, 0,
                                     reinterpret_cast<SQLCHAR*>(name.data()), SQL_NTS, SQL_INDEX_ALL, SQL_QUICK);
  if (!Succeeded(rc)) return {};
  while (statement.Fetch()) {
    const auto index = statement.GetText(6);
    const auto position = statement.GetLong(8);
    const auto column = statement.GetText(9);
    if (!index || !position || !column) continue;  // the table's own statistics row
    indexes[*index][*position] = Upper(*column);
  }
  std::vector<std::string> lists;
  for (const auto& [index, columns] : indexes) {
    std::string list;
    for (const auto& [position, column] : columns) list += (list.empty() ? "" : ", ") + column;
    lists.push_back(list);
  }
  return lists;
}

}  // namespace

void CreateCatalogueTables(CDatabase& database) {
  // FLOAT is a double on both SQLite and PostgreSQL.
  database.ExecuteSQL(
      "CREATE TABLE IF NOT EXISTS FILELIST ("
      "STA VARCHAR(16), SPS FLOAT, GAIN INT, CPATH VARCHAR(255), DATATYPE INT, CH VARCHAR(24), "
      "CREATER VARCHAR(16), LDDATE TIMESTAMP, TBEGIN FLOAT, TQTY FLOAT, CALIB FLOAT, CALPER FLOAT, "
      "FOFF INT, LCODE VARCHAR(8), TEND FLOAT)");
  database.ExecuteSQL(
      "CREATE TABLE IF NOT EXISTS SITECHAN ("
      "STA VARCHAR(16), CHAN VARCHAR(24), NGROUP INT, CHANINDEX INT, EDEPH FLOAT, LAT FLOAT, "
      "LON FLOAT, SPS FLOAT, HANG FLOAT, VANG FLOAT, DESCR VARCHAR(255), CALIBFILE VARCHAR(255), "
      "LDDATE TIMESTAMP)");
  for (const CatalogueIndex& index : kCatalogueIndexes)
    database.ExecuteSQL(std::string("CREATE INDEX IF NOT EXISTS ") + index.name + " ON " + index.table + " (" +
                        index.columns + ")");
}

std::vector<CatalogueIndex> MissingCatalogueIndexes(CDatabase& database) {
  std::map<std::string, std::vector<std::string>> by_table;
  for (const CatalogueIndex& index : kCatalogueIndexes) {
    auto& lists = by_table[index.table];
    if (lists.empty()) {
      // Servers keep unquoted names in their own case: ask for both.
      lists = IndexColumns(database, index.table);
      std::string lower = index.table;
      for (char& c : lower) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
      for (const std::string& list : IndexColumns(database, lower)) lists.push_back(list);
    }
  }
  std::vector<CatalogueIndex> missing;
  for (const CatalogueIndex& index : kCatalogueIndexes) {
    bool found = false;
    for (const std::string& list : by_table[index.table])
      found = found || list == index.columns || list.rfind(std::string(index.columns) + ", ", 0) == 0;
    if (!found) missing.push_back(index);
  }
  return missing;
}

}  // namespace korvel
