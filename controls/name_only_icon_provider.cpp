#include "controls/name_only_icon_provider.h"

#include <QApplication>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QRegularExpression>
#include <QStyle>

namespace korvel {

QIcon CNameOnlyIconProvider::icon(IconType type) const {
  // Asked for every entry of a folder: each looked up once.
  const auto cached = [&](QIcon& icon, QStyle::StandardPixmap which) -> const QIcon& {
    if (icon.isNull()) icon = QApplication::style()->standardIcon(which);
    return icon;
  };
  switch (type) {
    case Folder:
      return cached(m_folder, QStyle::SP_DirIcon);
    case Drive:
      return cached(m_drive, QStyle::SP_DriveHDIcon);
    case Computer:
      return cached(m_computer, QStyle::SP_ComputerIcon);
    default:
      return cached(m_file, QStyle::SP_FileIcon);
  }
}

QIcon CNameOnlyIconProvider::icon(const QFileInfo& info) const {
  if (info.isRoot()) return icon(Drive);
  return icon(info.isDir() ? Folder : File);
}

QString CNameOnlyIconProvider::type(const QFileInfo& info) const {
  if (info.isDir()) return QStringLiteral("Папка");
  // Before the system's types, which call a ".raw" a camera's raw image.
  for (const char* pattern : kRawFileNamePatterns)
    if (QRegularExpression::fromWildcard(QString::fromLatin1(pattern), Qt::CaseInsensitive)
            .match(info.fileName())
            .hasMatch())
      return QString::fromUtf8(kRawFileTypeName);
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
