#include "controls/russian_translation.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace korvel {

bool InstallRussianTranslation(QCoreApplication& application) {
  const QLocale russian(QLocale::Russian, QLocale::Russia);
  QLocale::setDefault(russian);
  auto* translator = new QTranslator(&application);
  // Qt's own folder where Qt is installed (Linux), else the translations
  // folder beside the program, where the Windows installer puts the file.
  for (const QString& folder : {QLibraryInfo::path(QLibraryInfo::TranslationsPath),
                                QCoreApplication::applicationDirPath() + "/translations"}) {
    if (translator->load(russian, QStringLiteral("qtbase"), QStringLiteral("_"), folder))
      return QCoreApplication::installTranslator(translator);
  }
  delete translator;
  return false;
}

void PreferRussianDates() {
#ifndef _WIN32
  // Qt reads the variables once, when it first needs the system locale;
  // LC_ALL would override it, so it goes and its other categories stay.
  const QByteArray all = qgetenv("LC_ALL");
  if (!all.isEmpty()) {
    for (const char* category : {"LC_CTYPE", "LC_NUMERIC", "LC_MESSAGES", "LC_COLLATE"})
      if (qEnvironmentVariableIsEmpty(category)) qputenv(category, all);
    qunsetenv("LC_ALL");
  }
  qputenv("LC_TIME", "ru_RU.UTF-8");
#endif
}

}  // namespace korvel
