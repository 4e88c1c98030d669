#include <unistd.h>

#include "platform/console.h"

namespace korvel {

bool StandardErrorIsTerminal() { return isatty(STDERR_FILENO) != 0; }

void UseUtf8Output() {}

std::vector<std::string> Utf8Arguments(int argc, char** argv) {
  return std::vector<std::string>(argv, argv + argc);
}

}  // namespace korvel
