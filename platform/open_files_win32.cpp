#include "platform/open_files.h"

namespace korvel {

std::size_t OpenFileLimit() {
  // The C runtime's descriptor table, which every open file here takes a
  // place in, holds 2048; the system's own handles are not the limit.
  return 2048;
}

}  // namespace korvel
