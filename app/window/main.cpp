// korvel2tqf: the operator's window.
#include <QApplication>
#include <QStringList>
#include <cstdio>

#include "app/startup_options.h"
#include "app/window/converter_app.h"
#include "controls/russian_translation.h"
#include "database/connection.h"
#include "database/file_list.h"
#include "database/statement_watch.h"
#include "engine/conversion_commands.h"
#include "engine/output_writer.h"
#include "korvel_version.h"
#include "mainwindow/arrow_cursor_notifier.h"
#include "mainwindow/main_dialog.h"
#include "mainwindow/message_box_notifier.h"
#include "mainwindow/stop_signal_notifier.h"
#include "platform/stop_request.h"
#include "platform/text1251.h"

namespace {

constexpr const char* kUsage =
    "Usage: korvel2tqf [ODBC=dsn] [USER=user] [PASSWORD=password] [CHKDB] [STATION]\n"
    "\n"
    "The operator's window of korvel2tqf: converts Korvel raw recorder files into\n"
    "TQF4.0 files and registers them in the FILELIST catalogue of the TQF data\n"
    "system through ODBC. Pick the stations listed in korvel2tqf.ini, tick their\n"
    "SITECHAN channels, set the time window and convert.\n"
    "\n"
    "Tokens are separated by spaces; each is taken by the first rule that applies:\n"
    "  /... or -...     ignored, unless it holds CHKDB (then as CHKDB)\n"
    "  ODBC=dsn         ODBC data source (default: tqf.ini DATABASE/ODBC, else TQF)\n"
    "  USER=user        database user (default: tqf.ini DATABASE/USER, else TQF)\n"
    "  PASSWORD=pw      database password (default: tqf.ini DATABASE/PASSWORD, else KXM)\n"
    "  CHKDB            add or re-declare FILELIST's optional columns before the window\n"
    "  STATION          any other token: preselect the first station that begins with\n"
    "                   it, upper-cased\n"
    "\n"
    "  --help           print this text and end\n"
    "  --version        print the version and end\n"
    "\n"
    "tqf.ini is read from $TQF_CONFIG_DIR, else $XDG_CONFIG_HOME/tqf (~/.config/tqf);\n"
    "korvel2tqf.ini from the current directory. korvel2tqf-cli does the same work\n"
    "from scripts.\n"
    "\n"
    "Escape or the close box asks whether to stop a conversion; SIGINT or SIGTERM\n"
    "(a logout) stops it without asking. The raw file in hand is settled, so that\n"
    "files and rows agree; after a signal the window then closes.\n"
    "\n"
    "Exit status: 0 once the window was shown and closed, 3 when the catalogue\n"
    "could not be opened (after its message, which names the init-catalogue\n"
    "command when no data source of the name is defined), 130 or 143 when SIGINT\n"
    "or SIGTERM closed it.\n";

}  // namespace

int main(int argc, char** argv) {
  // Answered before Qt starts: they need no display.
  std::string line;
  for (int i = 1; i < argc; ++i) line += (i > 1 ? " " : "") + std::string(argv[i]);
  switch (korvel::FindInformationRequest(line)) {
    case korvel::InformationRequest::kVersion:
      std::printf("korvel2tqf %s\n", korvel::kBuildVersion);
      return 0;
    case korvel::InformationRequest::kHelp:
      std::fputs(kUsage, stdout);
      return 0;
    case korvel::InformationRequest::kNone:
      break;
  }

  korvel::PreferRussianDates();
  QApplication application(argc, argv);
  QApplication::setApplicationVersion(QString::fromLatin1(korvel::kBuildVersion));
  QApplication::setDesktopFileName(QStringLiteral("korvel2tqf"));  // its menu entry and icon
  korvel::InstallRussianTranslation(application);  // without it Qt's own texts stay English
  korvel::MessageBoxNotifier boxes;
  korvel::StopSignalNotifier notifier(boxes);
  // Stopped at the conversion's next safe point, not killed: no file is
  // left without its row.
  korvel::CatchStopRequests();
  // A hung server or a stop request cannot leave the window waiting.
  const korvel::StatementWatch watch(korvel::theDatabase);
  // The catalogue's and the file errors' boxes come up during a command,
  // under the wait cursor: they too show the arrow.
  korvel::ArrowCursorNotifier during_commands(notifier);
  korvel::CFileList catalogue(korvel::theDatabase, during_commands);
  korvel::FileErrorMessages file_errors(during_commands);
  korvel::OutputWriter writer(catalogue, file_errors);  // lives for the whole process
  writer.SetCoalesceUpdates(true);                      // each raw file ends with every row current

  QStringList arguments = QApplication::arguments();
  arguments.removeFirst();
  const std::string command_line = arguments.join(QLatin1Char(' ')).toStdString();
  // Other users of the machine can read a process's command line (ps).
  korvel::WipePasswordTokens(argc, argv);

  korvel::CConverterApp app(notifier, [&](const korvel::StartupOptions& options) {
    korvel::CMainDialog dialog(korvel::theDatabase, writer, notifier, options.initial_station);
    boxes.SetOwner(&dialog);
    dialog.exec();
    boxes.SetOwner(nullptr);
  });
  const int status = app.InitInstance(command_line);
  const int signal_number = korvel::StopRequestSignal();
  return status == 0 && signal_number != 0 ? 128 + signal_number : status;
}
