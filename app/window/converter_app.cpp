#include "app/window/converter_app.h"

#include <optional>
#include <string>
#include <vector>

#include "app/startup_options.h"
#include "app/window/data_source_hint.h"
#include "config/settings.h"
#include "database/connection.h"
#include "database/schema_upgrade.h"
#include "platform/text1251.h"

namespace korvel {
namespace {

// Keeps the driver's messages, to be shown under what the operator must do.
class HeldMessages : public Notifier {
 public:
  void Message(const std::string& text, const std::string& caption, MessageIcon icon) override {
    messages.push_back({text, caption, icon});
  }
  void Beep() override { ++beeps; }
  struct Held {
    std::string text, caption;
    MessageIcon icon;
  };
  std::vector<Held> messages;
  int beeps = 0;
};

}  // namespace

bool CConverterApp::Connect(const StartupOptions& options) {
  HeldMessages driver;
  if (OpenDatabase(options.odbc_dsn, options.odbc_user, options.odbc_password, driver)) return true;
  const std::optional<std::string> hint = MissingDataSourceText(
      ResolveConnection(options.odbc_dsn, options.odbc_user, options.odbc_password).dsn,
      !options.odbc_dsn.empty());
  for (int i = 0; i < driver.beeps; ++i) m_notifier.Beep();
  for (std::size_t i = 0; i < driver.messages.size(); ++i) {
    const HeldMessages::Held& held = driver.messages[i];
    m_notifier.Message(i == 0 && hint ? *hint + "\n\n" + held.text : held.text, held.caption,
                       i == 0 && hint ? MessageIcon::Error : held.icon);
  }
  return false;
}

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
  if (!Connect(options)) return kCatalogueUnavailable;
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
