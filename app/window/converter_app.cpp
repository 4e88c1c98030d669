#include "app/window/converter_app.h"

#include "app/startup_options.h"
#include "config/settings.h"
#include "database/connection.h"
#include "database/schema_upgrade.h"
#include "platform/text1251.h"

namespace korvel {

int CConverterApp::InitInstance(const std::string& command_line) {
  StartupOptions options;
  if (!command_line.empty()) {
    ParseCommandLine(Utf8ToCp1251(command_line), options);
    // The password reaches the driver as it was typed, never through code
    // page 1251, which has no letter for most of the world's.
    StartupOptions typed;
    ParseCommandLine(command_line, typed);
    options.odbc_password = typed.odbc_password;
  }
  if (!OpenDatabase(options.odbc_dsn, options.odbc_user, options.odbc_password, m_notifier))
    return kCatalogueUnavailable;
  // The window's dialogs and previews may look anywhere: the catalogue's
  // own files are never opened by this process outside the driver.
  KeepCatalogueFilesToTheDriver(theDatabase);
  if (options.check_database) {
    m_schema_checked = true;
    UpgradeSchema(theDatabase, m_notifier);
  }
  ReadDataRoot();  // read once here as the rest of the TQF system expects; re-read before each
                   // conversion
  m_window_shown = true;
  m_run_window(options);
  CloseDatabase();
  return 0;
}

}  // namespace korvel
