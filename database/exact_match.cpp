#include "database/exact_match.h"

#include <algorithm>
#include <cctype>

namespace korvel {
namespace {

std::string Upper(std::string text) {
  std::ranges::transform(text, text.begin(), [](unsigned char c) { return std::toupper(c); });
  return text;
}

// A charset or collation name is pasted into the statement as a name: only
// what MySQL's own names are made of passes.
bool IsPlainName(const std::string& name) {
  return !name.empty() && std::ranges::all_of(name, [](unsigned char c) {
    return std::isalnum(c) != 0 || c == '_';
  });
}

const TableCollations& Collations(CDatabase& database, const std::string& table) {
  if (const TableCollations* known = database.KnownCollations(table)) return *known;
  CStatement select(database);
  // The table of an unquoted name: the one a server that folds names to
  // lower case keeps, or the same spelling, which is read last and wins.
  select.Prepare(
      "SELECT UPPER(COLUMN_NAME), CHARACTER_SET_NAME, COLLATION_NAME FROM "
      "information_schema.COLUMNS WHERE TABLE_SCHEMA = DATABASE() AND UPPER(TABLE_NAME) = ? "
      "ORDER BY TABLE_NAME = ?");
  select.Bind(1, Upper(table));
  select.Bind(2, table);
  select.Execute();
  TableCollations collations;
  while (select.Fetch()) {
    const std::string column = select.Get<std::string>(1).value_or("");
    collations[column] = {select.Get<std::string>(2).value_or(""),
                          select.Get<std::string>(3).value_or("")};
  }
  select.CloseCursor();
  database.RememberCollations(table, std::move(collations));
  return *database.KnownCollations(table);
}

}  // namespace

std::string ExactMatch(CDatabase& database, const std::string& table, const std::string& column) {
  if (database.Kind() != DbmsKind::MySql) return column + " = ?";
  const TableCollations& collations = Collations(database, table);
  const auto found = collations.find(Upper(column));
  if (found == collations.end() || !IsPlainName(found->second.charset) ||
      !IsPlainName(found->second.collation))
    return "(" + column + " = ? AND CAST(" + column + " AS BINARY) = ?)";
  const ColumnCollation& own = found->second;
  return "(" + column + " = CONVERT(? USING " + own.charset + ") COLLATE " + own.collation +
         " AND CAST(CONVERT(" + column +
         " USING utf8mb4) AS BINARY) = CAST(CONVERT(? USING "
         "utf8mb4) AS BINARY))";
}

std::string ExactMatch(CDatabase& database, const std::string& column) {
  return ExactMatch(database, "FILELIST", column);
}

std::string ExactDouble(CDatabase& database, const std::string& column) {
  if (!database.IsSqliteConnection()) return column;
  return "CASE WHEN " + column + " IS NULL THEN NULL ELSE printf('%!.17g', " + column + ") END";
}

std::string Unpadded(const std::string& text) {
  return text.substr(0, text.find_last_not_of(' ') + 1);
}

int BindExact(CDatabase& database, CStatement& statement, int first,
              std::initializer_list<std::string> values) {
  const int each = database.Kind() == DbmsKind::MySql ? 2 : 1;
  for (const std::string& value : values)
    for (int n = 0; n < each; ++n) statement.Bind(first++, value);
  return first;
}

}  // namespace korvel
