#include "app/cli/cli_host.h"

#include <cstdio>

#include "app/cli/cli_messages.h"
#include "app/cli/station_scan_lines.h"
#include "engine/operator_texts.h"
#include "platform/console.h"
#include "platform/native_path.h"
#include "platform/number_text.h"
#include "platform/process_memory.h"
#include "platform/stop_request.h"
#include "platform/text1251.h"

namespace korvel::cli {

void CatchStopSignals() { CatchStopRequests(); }

int StopSignal() { return StopRequestSignal(); }

void CliNotifier::Message(const std::string& text, const std::string& caption, MessageIcon icon) {
  std::fflush(stderr);
  if (caption == kErrorCaption) {
    if (icon == MessageIcon::Warning)
      SayWarning(text);
    else if (icon == MessageIcon::Information)
      SayNote(text);
    else
      SayError(text);
  } else if (icon == MessageIcon::None) {
    std::printf("%s\n", text.c_str());
    std::fflush(stdout);
  } else {
    std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
  }
}

CliHost::CliHost(SelectionList selection, bool scan_subdirectories, bool measure_memory,
                 std::optional<double> lock_wait, bool no_lock)
    : m_selection(std::move(selection)),
      m_scan_subdirectories(scan_subdirectories),
      m_progress(StandardErrorIsTerminal()),
      m_measure_memory(measure_memory),
      m_lock_wait(lock_wait),
      m_no_lock(no_lock) {}

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

bool CliHost::UsesStationLocks() const { return !m_no_lock && ConversionHost::UsesStationLocks(); }

void CliHost::EnableCommands() { ShowProgress(); }

void CliHost::FileConverted(const std::filesystem::path&, std::uint64_t bytes) {
  ++m_converted;
  m_bytes += bytes;
  if (m_measure_memory) m_resident_kib.push_back(ResidentKib());
  ShowProgress();
}

void CliHost::SamplesSkipped(const std::filesystem::path& raw_file,
                             const std::vector<SkippedSamples>& skipped) {
  std::string text = DisplayPath(raw_file) + ": already in the archive, not written again:";
  for (const SkippedSamples& s : skipped)
    text += (&s == &skipped.front() ? " " : ", ") + Cp1251ToUtf8(s.station + " " + s.channel) +
            " " + std::to_string(s.samples) + " samples (" + FixedNumber(s.seconds, 2) + " s)";
  std::fflush(stdout);
  std::fprintf(stderr, "%skorvel2tqf-cli: %s\n", m_progress ? "\n" : "", text.c_str());
  ShowProgress();
}

void CliHost::StationsScanned(const std::vector<StationScan>& scans) {
  const std::vector<ScanLine> lines = StationScanLines(scans);
  if (lines.empty()) return;
  if (m_progress && m_examined > 0) std::fputc('\n', stderr);  // the progress line stays whole
  for (const ScanLine& line : lines) (line.error ? SayError : SayWarning)(line.text);
  ShowProgress();
}

long ResidentKib() { return ResidentMemoryKib(); }

void CliHost::ShowProgress() {
  if (!m_progress) return;
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - m_started).count();
  std::fprintf(stderr, "\rexamined %llu, converted %llu, %s MB, %s s   ",
               static_cast<unsigned long long>(m_examined),
               static_cast<unsigned long long>(m_converted), FixedNumber(m_bytes / 1e6, 1).c_str(),
               FixedNumber(seconds, 1).c_str());
}

}  // namespace korvel::cli
