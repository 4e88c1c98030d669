#include <signal.h>

#include <csignal>

#include "platform/stop_request.h"

namespace korvel {
namespace {

volatile std::sig_atomic_t g_stop_signal = 0;

extern "C" void OnStopSignal(int signal_number) { g_stop_signal = signal_number; }

}  // namespace

void CatchStopRequests() {
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  // Calls in progress (a driver's socket read) go on undisturbed; a second
  // signal finds the default action again.
  action.sa_flags = SA_RESETHAND | SA_RESTART;
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
}

int StopRequestSignal() { return g_stop_signal; }

}  // namespace korvel
