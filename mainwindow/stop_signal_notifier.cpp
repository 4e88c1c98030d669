#include "mainwindow/stop_signal_notifier.h"

#include "platform/stop_request.h"

namespace korvel {

void StopSignalNotifier::Message(const std::string& text, const std::string& caption,
                                 MessageIcon icon) {
  if (StopRequestSignal() != 0)
    m_printed.Message(text, caption, icon);
  else
    m_shown_by.Message(text, caption, icon);
}

void StopSignalNotifier::Beep() {
  if (StopRequestSignal() == 0) m_shown_by.Beep();
}

}  // namespace korvel
