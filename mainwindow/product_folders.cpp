#include "mainwindow/product_folders.h"

#include <QDir>
#include <QFileInfo>

#include "config/settings.h"
#include "controls/qt_path.h"
#include "platform/native_path.h"

namespace korvel {

QString ProductStartFolder(const QString& last_chosen) {
  if (!last_chosen.isEmpty() && QFileInfo(last_chosen).isDir()) return last_chosen;
  const std::string root1251 = ReadDataRoot();
  const QString root = root1251.empty() ? QString() : QtPath(NativePath(root1251));
  if (!root.isEmpty() && QFileInfo(root).isDir()) return QDir::cleanPath(root);
  return QDir::currentPath();
}

}  // namespace korvel
