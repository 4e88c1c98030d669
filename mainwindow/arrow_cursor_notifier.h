#pragma once
// The window's messages under the normal arrow: while a command shows the
// wait cursor, a message box would otherwise show it too, as if the box
// could not be answered.

#include "platform/notifier.h"

namespace korvel {

class ArrowCursorNotifier : public Notifier {
 public:
  explicit ArrowCursorNotifier(Notifier& shown_by) : m_shown_by(shown_by) {}
  void Message(const std::string& text, const std::string& caption, MessageIcon icon) override;
  void Beep() override { m_shown_by.Beep(); }

 private:
  Notifier& m_shown_by;
};

}  // namespace korvel
