#pragma once
// Picking a directory for the "convert directories" command.

#include <QString>
#include <memory>

class QFileDialog;
class QLabel;
class QWidget;

namespace korvel {

inline constexpr const char* kChooseFolderTitle = "Выбор каталога";

// The dialog ChooseFolder shows, ready to exec: Qt's own (non-native)
// directory chooser titled `title` ("Выбор каталога" unless given), opened on
// `initial_folder` when one is given, with a status line under it that
// follows the highlighted folder. The caller owns it and must drop it before
// `parent` goes.
std::unique_ptr<QFileDialog> MakeFolderDialog(QWidget* parent, const QString& initial_folder,
                                              const QString& title = {});

// The status line of a dialog made by MakeFolderDialog (null for other dialogs).
QLabel* FolderStatusLine(const QFileDialog& dialog);

// The folder a confirmed dialog stands for, with native separators.
QString ChosenFolder(const QFileDialog& dialog);

// Shows the dialog modally; the chosen folder, or an empty string on cancel.
QString ChooseFolder(QWidget* parent, const QString& initial_folder, const QString& title = {});

}  // namespace korvel
