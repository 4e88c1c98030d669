#pragma once
// What the engine needs of the window that runs it (or of the command line
// standing in for it): the ticked channels, the status line, the command
// buttons, the wait cursor and the operator's messages.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/held_times.h"
#include "platform/notifier.h"

namespace korvel {

struct SelectionEntry {
  std::string station;  // code page 1251, as listed
  std::string channel;  // code page 1251, as listed
};
using SelectionList = std::vector<SelectionEntry>;

struct StationScan;

class ConversionHost {
 public:
  virtual ~ConversionHost() = default;
  virtual const SelectionList& Selection() const = 0;
  virtual bool ScanSubdirectories() const = 0;
  // The status line; UTF-8.
  virtual void SetStatusText(const std::string& text) = 0;
  // A scan is examining a file: its name for display (UTF-8) and its place
  // among the files of the directory being listed (1-based).
  virtual void ExamineFile(const std::string& name, std::size_t /*position*/,
                           std::size_t /*count*/) {
    SetStatusText(name);
  }
  virtual void DisableCommands() = 0;
  virtual void EnableCommands() = 0;  // also clears the status line
  virtual void BeginWaitCursor() {}
  virtual void EndWaitCursor() {}
  virtual Notifier& Operator() = 0;
  // Samples of a raw file that were not written again, per channel, because
  // the channel's own files already hold their times (output continuing
  // across runs). The operator is told, under "KORVEL->TQF".
  virtual void SamplesSkipped(const std::filesystem::path& raw_file,
                              const std::vector<SkippedSamples>& skipped);
  // The end of a conversion of the selected stations (after EnableCommands):
  // what each station's scan met, so that the operator learns why a station
  // gave nothing, naming the folder looked in. The window shows it on its
  // status line, in Russian, until the next command.
  virtual void StationsScanned(const std::vector<StationScan>& scans);
  // Called once for every raw file that ConvertRawFile converted.
  virtual void FileConverted(const std::filesystem::path& /*path*/, std::uint64_t /*bytes*/) {}
  // True once the operator has asked the work to stop (an interrupt): the
  // engine finishes the flush in progress, brings files and rows into
  // agreement and returns without starting anything new.
  virtual bool StopRequested() const { return false; }
  // How long to wait for a station that another converter is writing:
  // korvel2tqf.ini SYSTEM/LOCKWAIT unless the host says otherwise.
  virtual double LockWaitSeconds() const;
  // Whether a station is converted only under its lock: korvel2tqf.ini
  // SYSTEM/LOCK unless the host says otherwise.
  virtual bool UsesStationLocks() const;
};

// The wait cursor for as long as it lives, whichever way the scope is left.
class WaitCursor {
 public:
  explicit WaitCursor(ConversionHost& host) : m_host(host) { m_host.BeginWaitCursor(); }
  ~WaitCursor() { m_host.EndWaitCursor(); }
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;

 private:
  ConversionHost& m_host;
};

}  // namespace korvel
