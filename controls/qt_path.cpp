#include "controls/qt_path.h"

#include <QFile>

namespace korvel {

std::filesystem::path FsPath(const QString& path) {
#ifdef _WIN32
  return std::filesystem::path(path.toStdWString());
#else
  return std::filesystem::path(QFile::encodeName(path).toStdString());
#endif
}

QString QtPath(const std::filesystem::path& path) {
#ifdef _WIN32
  return QString::fromStdWString(path.native());
#else
  return QFile::decodeName(path.c_str());
#endif
}

}  // namespace korvel
