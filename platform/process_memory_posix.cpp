#include <unistd.h>

#include <cstdio>

#include "platform/process_memory.h"

namespace korvel {

long ResidentMemoryKib() {
  long pages = 0, resident = 0;
  std::FILE* statm = std::fopen("/proc/self/statm", "r");
  if (statm == nullptr) return 0;
  if (std::fscanf(statm, "%ld %ld", &pages, &resident) != 2) resident = 0;
  std::fclose(statm);
  return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

}  // namespace korvel
