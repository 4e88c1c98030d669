#include "platform/trace.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace korvel {

bool TraceEnabled() {
  static const bool enabled = [] {
    const char* value = std::getenv("KORVEL2TQF_TRACE");
    return value != nullptr && std::strcmp(value, "1") == 0;
  }();
  return enabled;
}

void Trace(std::string_view line) {
  if (!TraceEnabled()) return;
  std::fwrite(line.data(), 1, line.size(), stderr);
}

}  // namespace korvel
