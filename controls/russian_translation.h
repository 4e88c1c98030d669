#pragma once
// The window speaks Russian throughout: Qt's own dialogs and menus (the file
// dialog, the folder chooser, the edits' context menus) take Qt's Russian
// translation, and dates and sizes the Russian locale.

class QCoreApplication;

namespace korvel {

// Installs Qt's Russian translation (qtbase_ru.qm, from Qt's translations
// folder) on the application; false when it is not installed there, and
// Qt's own texts then stay in English.
bool InstallRussianTranslation(QCoreApplication& application);

// The file dialogs date files in the system locale's format: on X11 that
// is whatever LC_TIME or LANG says, often English. Before the application
// object is made, the window asks for Russian dates; Windows takes the
// user's own regional settings, which this cannot change.
void PreferRussianDates();

}  // namespace korvel
