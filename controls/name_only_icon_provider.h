#pragma once
// Types and icons for the file dialogs from names alone. Qt's own provider
// reads each file in the folder shown to guess its type, and closing that
// read drops the catalogue connection's SQLite locks (platform
// protected_files.h says why): a dialog that merely looks into the
// catalogue's folder must never open a file there.

#include <QAbstractFileIconProvider>
#include <QFileDialog>

namespace korvel {

// The names raw files go by, and what the dialogs call them.
inline constexpr const char* kRawFileTypeName = "Файл регистратора Korvel";
inline constexpr const char* kRawFileNamePatterns[] = {"*.raw", "*.kor"};

class CNameOnlyIconProvider : public QAbstractFileIconProvider {
 public:
  QIcon icon(IconType type) const override;
  QIcon icon(const QFileInfo& info) const override;
  // "Папка" for a folder, the raw file type for a raw file's name, else the
  // type its name's extension gives.
  QString type(const QFileInfo& info) const override;

 private:
  mutable QIcon m_folder, m_drive, m_computer, m_file;
};

// Gives the dialog (non-native) the provider; the dialog keeps using it
// until it is destroyed.
void TypeFilesByName(QFileDialog& dialog);

}  // namespace korvel
