// korvel2tqf: the operator's window.
#include <QApplication>
#include <QStringList>

#include "app/startup_options.h"
#include "app/window/converter_app.h"
#include "controls/russian_translation.h"
#include "database/connection.h"
#include "database/file_list.h"
#include "engine/conversion_commands.h"
#include "engine/output_writer.h"
#include "mainwindow/arrow_cursor_notifier.h"
#include "mainwindow/main_dialog.h"
#include "mainwindow/message_box_notifier.h"
#include "platform/text1251.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  korvel::InstallRussianTranslation(application);  // without it Qt's own texts stay English
  korvel::MessageBoxNotifier notifier;
  // The catalogue's and the file errors' boxes come up during a command,
  // under the wait cursor: they too show the arrow.
  korvel::ArrowCursorNotifier during_commands(notifier);
  korvel::CFileList catalogue(korvel::theDatabase, during_commands);
  korvel::FileErrorMessages file_errors(during_commands);
  korvel::OutputWriter writer(catalogue, file_errors);  // lives for the whole process
  writer.SetCoalesceUpdates(true);                      // each raw file ends with every row current

  QStringList arguments = QApplication::arguments();
  arguments.removeFirst();
  const std::string command_line =
      korvel::Utf8ToCp1251(arguments.join(QLatin1Char(' ')).toStdString());

  korvel::CConverterApp app(notifier, [&](const korvel::StartupOptions& options) {
    korvel::CMainDialog dialog(korvel::theDatabase, writer, notifier, options.initial_station);
    notifier.SetOwner(&dialog);
    dialog.exec();
    notifier.SetOwner(nullptr);
  });
  return app.InitInstance(command_line);
}
