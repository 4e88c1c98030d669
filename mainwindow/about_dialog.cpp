#include "mainwindow/about_dialog.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QVBoxLayout>

#include "korvel_version.h"

namespace korvel {

CAboutDialog::CAboutDialog(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("О Korvel2tqf"));
  auto* icon = new QLabel(this);
  icon->setPixmap(QIcon(QStringLiteral(":/images/icon128-32.png")).pixmap(32, 32));
  // "Version 1.20" is the level of behaviour this program keeps; the build's
  // own version, as --version prints it, goes with the maker's notice.
  auto* text = new QLabel(
      QStringLiteral("Конвертер файлов регистраторов Korvel в формат TQF4.0, Version 1.20\n"
                     "Версия сборки %1. Для операторов сетей сейсмических станций.")
          .arg(QString::fromLatin1(kBuildVersion)),
      this);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  auto* row = new QHBoxLayout;
  row->addWidget(icon);
  row->addWidget(text, 1);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(row);
  layout->addWidget(buttons);
}

}  // namespace korvel
