#include "controls/name_only_icon_provider.h"

#include <QApplication>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QStyle>

namespace korvel {

QIcon CNameOnlyIconProvider::icon(IconType type) const {
  QStyle* style = QApplication::style();
  switch (type) {
    case Folder:
      return style->standardIcon(QStyle::SP_DirIcon);
    case Drive:
      return style->standardIcon(QStyle::SP_DriveHDIcon);
    case Computer:
      return style->standardIcon(QStyle::SP_ComputerIcon);
    default:
      return style->standardIcon(QStyle::SP_FileIcon);
  }
}

QIcon CNameOnlyIconProvider::icon(const QFileInfo& info) const {
  if (info.isRoot()) return icon(Drive);
  if (info.isDir()) return icon(Folder);
  const QMimeType mime =
      QMimeDatabase().mimeTypeForFile(info.fileName(), QMimeDatabase::MatchExtension);
  return QIcon::fromTheme(mime.iconName(), QIcon::fromTheme(mime.genericIconName(), icon(File)));
}

QString CNameOnlyIconProvider::type(const QFileInfo& info) const {
  if (info.isDir()) return QStringLiteral("Папка");
  // By the name's extension: MatchExtension never reads the file.
  return QMimeDatabase().mimeTypeForFile(info.fileName(), QMimeDatabase::MatchExtension).comment();
}

void TypeFilesByName(QFileDialog& dialog) {
  auto* provider = new CNameOnlyIconProvider;
  dialog.setIconProvider(provider);
  // The provider lives as long as the dialog that uses it.
  QObject::connect(&dialog, &QObject::destroyed, [provider] { delete provider; });
}

}  // namespace korvel
