#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <mutex>

#include "platform/stop_request.h"

namespace korvel {
namespace {

volatile std::sig_atomic_t g_stop_signal = 0;
// A byte written here wakes the waiting thread; write() is safe in a handler.
int g_wake[2] = {-1, -1};

void Wake() {
  if (g_wake[1] < 0) return;
  const char byte = 1;
  [[maybe_unused]] const ssize_t written = write(g_wake[1], &byte, 1);  // a full pipe wakes too
}

extern "C" void OnStopSignal(int signal_number) {
  const int saved = errno;
  g_stop_signal = signal_number;
  Wake();
  errno = saved;
}

void MakeWakePipe() {
  static std::once_flag made;
  std::call_once(made, [] {
    int ends[2];
    if (pipe(ends) != 0) return;
    for (const int fd : ends) {
      fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
      fcntl(fd, F_SETFD, FD_CLOEXEC);
    }
    g_wake[0] = ends[0];
    g_wake[1] = ends[1];
  });
}

}  // namespace

void CatchStopRequests() {
  MakeWakePipe();
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

bool WaitForStopRequest(int milliseconds) {
  MakeWakePipe();
  if (g_stop_signal != 0) return true;
  pollfd wake{g_wake[0], POLLIN, 0};
  if (poll(&wake, g_wake[0] < 0 ? 0 : 1, milliseconds) > 0) {
    char drained[64];
    while (read(g_wake[0], drained, sizeof drained) > 0) {
    }
  }
  return g_stop_signal != 0;
}

void WakeStopWaiters() {
  MakeWakePipe();
  Wake();
}

}  // namespace korvel
