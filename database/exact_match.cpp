#include "database/exact_match.h"

namespace korvel {

std::string ExactMatch(CDatabase& database, const std::string& column) {
  if (database.Kind() != DbmsKind::MySql) return column + " = ?";
  return "(" + column + " = ? AND CAST(" + column + " AS BINARY) = ?)";
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
