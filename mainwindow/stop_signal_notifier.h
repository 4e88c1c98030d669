#pragma once
// The window's messages once SIGINT or SIGTERM (on Windows a console's close
// or a logoff) asked it to end: no box may wait for an answer then, so they
// go to standard error instead.

#include "platform/notifier.h"

namespace korvel {

class StopSignalNotifier : public Notifier {
 public:
  explicit StopSignalNotifier(Notifier& shown_by) : m_shown_by(shown_by) {}
  void Message(const std::string& text, const std::string& caption, MessageIcon icon) override;
  void Beep() override;

 private:
  Notifier& m_shown_by;
  StderrNotifier m_printed;
};

}  // namespace korvel
