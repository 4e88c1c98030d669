#include <windows.h>
// After windows.h, which it needs.
#include <psapi.h>

#include "platform/process_memory.h"

namespace korvel {

long ResidentMemoryKib() {
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof counters;
  if (!GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters)) return 0;
  return static_cast<long>(counters.WorkingSetSize / 1024);
}

}  // namespace korvel
