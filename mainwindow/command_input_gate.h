#pragma once
// While a conversion runs on the window's thread, the window takes events
// between the engine's steps so that it can be stopped. The operator's other
// input to it meanwhile is dropped, not acted on later and not acted on
// midway: only Escape (and the close box, which is no input event) reaches
// the window, to ask whether to stop. Other windows, such as the question's
// box, get their input as ever.

#include <QObject>

class QWidget;

namespace korvel {

class CommandInputGate : public QObject {
 public:
  // Watches the whole application for as long as it lives.
  explicit CommandInputGate(QWidget& window);
  ~CommandInputGate() override;
  CommandInputGate(const CommandInputGate&) = delete;
  CommandInputGate& operator=(const CommandInputGate&) = delete;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  bool ForWindow(QObject* watched) const;
  QWidget& m_window;
};

}  // namespace korvel
