#include "mainwindow/message_box_notifier.h"

#include <QApplication>
#include <QMessageBox>

namespace korvel {

void MessageBoxNotifier::Message(const std::string& text, const std::string& caption,
                                 MessageIcon icon) {
  QMessageBox::Icon box_icon = QMessageBox::NoIcon;
  switch (icon) {
    case MessageIcon::None:
      break;
    case MessageIcon::Error:
      box_icon = QMessageBox::Critical;
      break;
    case MessageIcon::Warning:
      box_icon = QMessageBox::Warning;
      break;
    case MessageIcon::Information:
      box_icon = QMessageBox::Information;
      break;
  }
  QMessageBox box(box_icon, QString::fromStdString(caption), QString::fromStdString(text),
                  QMessageBox::Ok, m_owner);
  box.exec();
}

void MessageBoxNotifier::Beep() { QApplication::beep(); }

}  // namespace korvel
