#pragma once
// The command line standing in for the window: the selection comes from the
// options or from SITECHAN, summaries go to standard output, messages that
// the window would show in a box go to standard error, and progress is shown
// on standard error when it is a terminal.

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "engine/conversion_host.h"

namespace korvel::cli {

// This process's resident memory in KiB, 0 when it cannot be read.
long ResidentKib();

// SIGINT and SIGTERM (on Windows Ctrl+C, Ctrl+Break and the console's
// close) ask the conversion to stop at its next safe point instead of
// killing the process; a second signal of the same kind kills.
void CatchStopSignals();
// The signal that asked to stop, 0 when none did.
int StopSignal();

// The window's message boxes on the command line: a summary (no icon) is the
// command's result, on standard output; a box under the program's own title
// is the program speaking, "korvel2tqf-cli: error: ..." (or warning, note)
// like every line of the command line's own; any other box keeps its caption.
class CliNotifier : public Notifier {
 public:
  void Message(const std::string& text, const std::string& caption, MessageIcon icon) override;
  void Beep() override {}
};

class CliHost : public ConversionHost {
 public:
  // With `measure_memory`, the resident memory is read after each raw file
  // (for --stats; it costs a read of /proc each time).
  CliHost(SelectionList selection, bool scan_subdirectories, bool measure_memory = false,
          std::optional<double> lock_wait = std::nullopt, bool no_lock = false);
  ~CliHost() override;

  const SelectionList& Selection() const override { return m_selection; }
  bool ScanSubdirectories() const override { return m_scan_subdirectories; }
  void SetStatusText(const std::string& text) override;
  void ExamineFile(const std::string& name, std::size_t position, std::size_t count) override;
  void DisableCommands() override {}
  void EnableCommands() override;
  Notifier& Operator() override { return m_notifier; }
  void SamplesSkipped(const std::filesystem::path& raw_file,
                      const std::vector<SkippedSamples>& skipped) override;
  void FileConverted(const std::filesystem::path& path, std::uint64_t bytes) override;
  // One line a cause on standard error, in English.
  void StationsScanned(const std::vector<StationScan>& scans) override;
  bool StopRequested() const override;
  double LockWaitSeconds() const override;
  bool UsesStationLocks() const override;

  // Resident memory (KiB) after each converted raw file, for --stats.
  const std::vector<long>& ResidentAfterEachFile() const { return m_resident_kib; }

 private:
  void ShowProgress();

  SelectionList m_selection;
  bool m_scan_subdirectories;
  CliNotifier m_notifier;
  bool m_progress;
  std::uint64_t m_examined = 0;
  std::uint64_t m_converted = 0;
  std::uint64_t m_bytes = 0;
  bool m_measure_memory;
  std::optional<double> m_lock_wait;
  bool m_no_lock;
  std::vector<long> m_resident_kib;
  std::chrono::steady_clock::time_point m_started = std::chrono::steady_clock::now();
};

}  // namespace korvel::cli
