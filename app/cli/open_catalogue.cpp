#include "app/cli/open_catalogue.h"

#include <cstdio>

#include "app/cli/first_use_hints.h"
#include "database/catalogue_schema.h"
#include "database/connection.h"
#include "database/db_exception.h"
#include "database/statement_watch.h"
#include "platform/text1251.h"

namespace korvel::cli {

int WithCatalogue(const ConnectionOptions& connection, Notifier& notifier,
                  const std::function<int()>& work) {
  // Arguments arrive in UTF-8; the data source and user are code page 1251
  // like the ini values, the password goes to the driver as it is.
  OpenFailure failure = OpenFailure::kNone;
  if (!OpenDatabase(Utf8ToCp1251(connection.dsn), Utf8ToCp1251(connection.user),
                    connection.password, notifier, &failure)) {
    HintConnectionFailed(connection, failure);
    return kDatabaseOpenFailed;
  }
  int status = kDatabaseError;
  {
    // A hung server or a stop request cannot leave the command waiting.
    const StatementWatch watch(theDatabase);
    try {
      RefuseQuotedCatalogueTables(theDatabase);
      status = work();
    } catch (const CDBException& e) {
      std::fflush(stdout);  // what was printed before the error stays before it
      notifier.Message(e.ErrorText(), kApplicationTitle, MessageIcon::Error);
    }
  }
  CloseDatabase();
  return status;
}

}  // namespace korvel::cli
