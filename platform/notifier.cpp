#include "platform/notifier.h"

#include <cstdio>

#include "platform/console.h"

namespace korvel {

void StderrNotifier::Message(const std::string& text, const std::string& caption,
                             MessageIcon icon) {
  const char* kind = icon == MessageIcon::Error     ? "error: "
                     : icon == MessageIcon::Warning ? "warning: "
                                                    : "";
  std::fprintf(stderr, "%s: %s%s\n", caption.c_str(), kind, text.c_str());
}

void StderrNotifier::Beep() {
  if (StandardErrorIsTerminal()) std::fputc('\a', stderr);
}

}  // namespace korvel
