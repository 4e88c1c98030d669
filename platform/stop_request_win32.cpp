#include <windows.h>

#include <atomic>

#include "platform/stop_request.h"

namespace korvel {
namespace {

constexpr int kInterrupt = 2;   // SIGINT
constexpr int kTerminate = 15;  // SIGTERM

// The handler runs on a thread of its own.
std::atomic<int> g_stop_signal{0};
// Set by a request or WakeStopWaiters, for the thread in WaitForStopRequest.
HANDLE StopEvent() {
  static const HANDLE event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  return event;
}

BOOL WINAPI OnConsoleEvent(DWORD event) {
  const int signal_number = event == CTRL_C_EVENT ? kInterrupt : kTerminate;
  int none = 0;
  // A second request finds one already there: the system's default ends
  // the process.
  if (!g_stop_signal.compare_exchange_strong(none, signal_number)) return FALSE;
  SetEvent(StopEvent());
  if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT) return TRUE;
  // Close, logoff, shutdown: the process ends as soon as this returns, so
  // the handler waits while the run comes to its safe point and exits
  // (or the system's time runs out).
  Sleep(INFINITE);
  return TRUE;
}

}  // namespace

void CatchStopRequests() {
  StopEvent();
  SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

int StopRequestSignal() { return g_stop_signal.load(); }

bool WaitForStopRequest(int milliseconds) {
  if (g_stop_signal.load() != 0) return true;
  WaitForSingleObject(StopEvent(), static_cast<DWORD>(milliseconds));
  return g_stop_signal.load() != 0;
}

void WakeStopWaiters() { SetEvent(StopEvent()); }

}  // namespace korvel
