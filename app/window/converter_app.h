#pragma once
// The application object: the start-up sequence of the window program.

#include <functional>
#include <string>

#include "platform/notifier.h"

namespace korvel {

struct StartupOptions;

class CConverterApp {
 public:
  // Runs the window modally; given the start-up options.
  using WindowRunner = std::function<void(const StartupOptions&)>;

  CConverterApp(Notifier& notifier, WindowRunner run_window)
      : m_notifier(notifier), m_run_window(std::move(run_window)) {}

  // The exit status when the catalogue cannot be opened: 3, as korvel2tqf-cli
  // has it, so that a launcher script can tell the failure from a closed window.
  static constexpr int kCatalogueUnavailable = 3;

  // Parse, connect (on failure: the message, and no window), the schema
  // upgrade only with CHKDB, DataRoot, the window, disconnect. The result is
  // the exit status: 0 once the window was shown. The command line is UTF-8.
  int InitInstance(const std::string& command_line);

  bool WindowShown() const { return m_window_shown; }
  bool SchemaChecked() const { return m_schema_checked; }

 private:
  // Opens the catalogue; when it cannot, tells why, under what to do when
  // the data source is not there.
  bool Connect(const StartupOptions& options);

  Notifier& m_notifier;
  WindowRunner m_run_window;
  bool m_window_shown = false;
  bool m_schema_checked = false;
};

}  // namespace korvel
