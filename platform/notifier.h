#pragma once
// How the engine and the catalogue speak to the operator: the window shows a
// message box, the command line prints, tests record.

#include <string>

namespace korvel {

enum class MessageIcon { None, Error, Warning, Information };

class Notifier {
 public:
  virtual ~Notifier() = default;
  // Text and caption are UTF-8.
  virtual void Message(const std::string& text, const std::string& caption, MessageIcon icon) = 0;
  virtual void Beep() = 0;
};

// Prints "caption: text" on standard error; a beep is the terminal bell when
// standard error is a terminal.
class StderrNotifier : public Notifier {
 public:
  void Message(const std::string& text, const std::string& caption, MessageIcon icon) override;
  void Beep() override;
};

}  // namespace korvel
