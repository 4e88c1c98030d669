#include "app/cli/cli_host.h"

#include <signal.h>
#include <unistd.h>

#include <cstdio>

namespace korvel::cli {
namespace {

volatile std::sig_atomic_t g_stop_signal = 0;

extern "C" void OnStopSignal(int signal_number) { g_stop_signal = signal_number; }

}  // namespace

void CatchStopSignals() {
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  // Calls in progress (a driver's socket read) go on undisturbed; a second
  // signal finds the default action again.
  action.sa_flags = SA_RESETHAND | SA_RESTART;
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
}

int StopSignal() { return g_stop_signal; }

void CliNotifier::Message(const std::string& text, const std::string& caption, MessageIcon icon) {
  // A summary without an icon is the command's result; anything else is a
  // message box of the window, printed with its caption.
  std::fflush(stderr);
  if (icon == MessageIcon::None) {
    std::printf("%s\n", text.c_str());
    std::fflush(stdout);
  } else {
    std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
  }
}

CliHost::CliHost(SelectionList selection, bool scan_subdirectories, bool measure_memory,
                 std::optional<double> lock_wait)
    : m_selection(std::move(selection)),
      m_scan_subdirectories(scan_subdirectories),
      m_progress(isatty(STDERR_FILENO) != 0),
      m_measure_memory(measure_memory),
      m_lock_wait(lock_wait) {}

CliHost::~CliHost() {
  if (m_progress && m_examined > 0) std::fputc('\n', stderr);
}

void CliHost::SetStatusText(const std::string&) {}

void CliHost::ExamineFile(const std::string&, std::size_t, std::size_t) {
  ++m_examined;
  ShowProgress();
}

bool CliHost::StopRequested() const { return StopSignal() != 0; }

double CliHost::LockWaitSeconds() const {
  return m_lock_wait ? *m_lock_wait : ConversionHost::LockWaitSeconds();
}

void CliHost::EnableCommands() { ShowProgress(); }

void CliHost::FileConverted(const std::filesystem::path&, std::uint64_t bytes) {
  ++m_converted;
  m_bytes += bytes;
  if (m_measure_memory) m_resident_kib.push_back(ResidentKib());
  ShowProgress();
}

long ResidentKib() {
  long pages = 0, resident = 0;
  std::FILE* statm = std::fopen("/proc/self/statm", "r");
  if (statm == nullptr) return 0;
  if (std::fscanf(statm, "%ld %ld", &pages, &resident) != 2) resident = 0;
  std::fclose(statm);
  return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

void CliHost::ShowProgress() {
  if (!m_progress) return;
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - m_started).count();
  std::fprintf(stderr, "\rexamined %llu, converted %llu, %.1f MB, %.1f s   ",
               static_cast<unsigned long long>(m_examined),
               static_cast<unsigned long long>(m_converted), m_bytes / 1e6, seconds);
}

}  // namespace korvel::cli
