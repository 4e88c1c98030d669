#include "tests/qt_support/screenshot.h"

#include "tests/support/test_paths.h"

#include <QCoreApplication>
#include <QDir>
#include <QGuiApplication>
#include <QPixmap>
#include <QWidget>

namespace korvel::test {

QString SaveScreenshot(QWidget& widget, const QString& name) {
  const QDir base(QString::fromLocal8Bit(BinDir()) + "/..");
  const QString folder = base.absoluteFilePath(QStringLiteral("screenshots"));
  if (!QDir().mkpath(folder)) return {};
  QCoreApplication::processEvents();  // let pending layout and paints settle
  // Pictures from a real window system are kept beside the offscreen ones.
  const QString platform = QGuiApplication::platformName();
  QString suffix = platform == QLatin1String("offscreen") ? QString() : "-" + platform;
  const QByteArray look = qgetenv("KORVEL_TEST_LOOK");
  if (!look.isEmpty()) suffix += "-" + QString::fromLatin1(look);
  const QString path = folder + "/" + name + suffix + ".png";
  return widget.grab().save(path, "PNG") ? path : QString();
}

}  // namespace korvel::test
