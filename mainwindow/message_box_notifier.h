#pragma once
// The window's way of telling the operator: message boxes and the system beep.

#include <QWidget>

#include "platform/notifier.h"

namespace korvel {

class MessageBoxNotifier : public Notifier {
 public:
  explicit MessageBoxNotifier(QWidget* owner = nullptr) : m_owner(owner) {}
  void SetOwner(QWidget* owner) { m_owner = owner; }
  void Message(const std::string& text, const std::string& caption, MessageIcon icon) override;
  void Beep() override;

 private:
  QWidget* m_owner;
};

}  // namespace korvel
