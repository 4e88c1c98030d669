#include "platform/open_sockets.h"

namespace korvel {

std::vector<int> OpenSockets() { return {}; }

void ShutDownSocket(int) {}

}  // namespace korvel
