#pragma once
// An operator's interrupt asks a long run to stop at its next safe point
// instead of killing the process; a second one of the same kind kills.
// POSIX: SIGINT and SIGTERM. Windows: Ctrl+C stands for SIGINT; Ctrl+Break
// and the console being closed, or the user logging off, or the system
// shutting down, for SIGTERM (the system ends the process a few seconds
// after a close, logoff or shutdown whatever the program does).

namespace korvel {

void CatchStopRequests();

// The POSIX number of the signal that asked to stop (SIGINT 2, SIGTERM 15),
// 0 when none did.
int StopRequestSignal();

}  // namespace korvel
