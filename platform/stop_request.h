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

// For a thread that acts on a stop while the main one is blocked (in a
// server's reply, say): waits until a stop is requested, WakeStopWaiters is
// called or `milliseconds` pass, and says whether a stop was requested.
// CatchStopRequests comes first.
bool WaitForStopRequest(int milliseconds);
void WakeStopWaiters();

}  // namespace korvel
