#pragma once
// The network sockets of the process, for ending a connection whose server
// no longer answers while another thread is blocked on it.

#include <vector>

namespace korvel {

// The descriptors of the sockets open now (POSIX). Windows gives none: a
// driver's socket cannot be told apart among the process's handles there.
std::vector<int> OpenSockets();

// Ends both directions of a socket: a read or write blocked on it returns at
// once, on any thread. The descriptor itself stays open for its owner.
void ShutDownSocket(int socket);

}  // namespace korvel
