#include "platform/open_files.h"

#include <sys/resource.h>

#include <limits>

namespace korvel {

std::size_t OpenFileLimit() {
  rlimit limit{};
  if (getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
    return std::numeric_limits<std::size_t>::max();
  return static_cast<std::size_t>(limit.rlim_cur);
}

}  // namespace korvel
