#include "mainwindow/about_dialog.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QVBoxLayout>

namespace korvel {

CAboutDialog::CAboutDialog(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("О Korvel2tqf"));
  auto* icon = new QLabel(this);
  icon->setPixmap(QIcon(QStringLiteral(":/images/icon128-32.png")).pixmap(32, 32));
  auto* text = new QLabel(
      QStringLiteral("Конвертер файлов регистраторов Korvel в формат TQF4.0, Version 1.20\n"
                     "Для операторов сетей сейсмических станций."),
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
