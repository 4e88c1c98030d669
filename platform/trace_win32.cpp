#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/trace.h"
#include "platform/wide_text.h"

namespace korvel {
namespace {

bool ToStandardError() {
  static const bool enabled = [] {
    const char* value = std::getenv("KORVEL2TQF_TRACE");
    return value != nullptr && std::strcmp(value, "1") == 0;
  }();
  return enabled;
}

}  // namespace

bool TraceEnabled() { return true; }

void Trace(std::string_view line) {
  // The wide form, so that a debugger shows Cyrillic names whatever the
  // system's ANSI code page.
  OutputDebugStringW(WideFromUtf8(line).c_str());
  if (ToStandardError()) std::fwrite(line.data(), 1, line.size(), stderr);
}

}  // namespace korvel
