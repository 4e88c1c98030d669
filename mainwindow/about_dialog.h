#pragma once
// The About box of the window menu.

#include <QDialog>

namespace korvel {

class CAboutDialog : public QDialog {
 public:
  explicit CAboutDialog(QWidget* parent = nullptr);
};

}  // namespace korvel
