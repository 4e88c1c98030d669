#pragma once
// A Notifier that keeps every message and beep for a test to read.

#include <string>
#include <vector>

#include "platform/notifier.h"

namespace korvel::test {

struct RecordedMessage {
  std::string text;
  std::string caption;
  MessageIcon icon;
};

class RecordingNotifier : public Notifier {
 public:
  void Message(const std::string& text, const std::string& caption, MessageIcon icon) override {
    messages.push_back({text, caption, icon});
  }
  void Beep() override { ++beeps; }

  std::vector<RecordedMessage> messages;
  int beeps = 0;
};

}  // namespace korvel::test
