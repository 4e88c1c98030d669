#pragma once
// The single writer of TQF4.0 files. Per station and channel it keeps the
// samples not yet written and the file being filled, so that output files
// continue across raw files until they pass an hour.
//
// A file and its catalogue row always agree: the samples reach the disk
// before the catalogue is told, and when the catalogue refuses a row the file
// is cut back to what its row says (or removed, when it has no row).

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "engine/catalogue.h"
#include "engine/file_error.h"
#include "engine/time_arithmetic.h"
#include "platform/file_lock.h"

namespace korvel {

inline constexpr int kBlockSize = 10000;
inline constexpr int kMergeLimit = 9900;
inline constexpr int kMaxFileMinutes = 60;
inline constexpr int kDataTypeFloat = 3;
// Extended files kept open at once while coalescing; fewer when the process
// may open few files.
inline constexpr std::size_t kMaxKeptFiles = 64;
// Samples a kept file gathers before they are written, in one call: each
// write also updates the file's times, so a few large writes cost less than
// many small ones. Rows are held back until the kept files are closed, so no
// row is sent before its samples are on disk.
inline constexpr std::size_t kKeptWriteSamples = 65536;
// In a station's output folder: locked by the converter writing there.
inline constexpr const char* kStationLockFile = ".korvel2tqf.lock";

struct ChannelBuffer {
  double sampling_rate = 0.0;
  std::string name;       // upper case, code page 1251
  std::string file_name;  // in its file names: safe, and no other channel of the station's
  double calibration_value = 0.0;
  double calibration_period = 0.0;

  std::vector<float> pending;  // capacity kBlockSize; empty: nothing pending
  EpochSeconds pending_start = 0.0;
  double pending_duration = 0.0;

  bool has_file = false;  // a current file is being filled (any start, 1970 included)
  EpochSeconds file_start = 0.0;
  double file_duration = 0.0;
  std::string relative_path;            // below the output root, "/" between parts
  bool staged = false;                  // new, waiting beside an older file of its name
  std::uint64_t file_samples = 0;       // on disk in the current file
  std::uint64_t confirmed_samples = 0;  // what its catalogue row says

  int kept_fd = -1;            // the file kept open for extending, when coalescing
  std::string kept_path;       // its path below the output root
  std::uint64_t kept_use = 0;  // when it was last written: the least recent is closed first
  std::vector<std::vector<float>> kept_blocks;  // its samples not yet written, block by block
  std::size_t kept_samples = 0;                 // how many that is
};

struct StationBuffer {
  std::string name;       // upper case, code page 1251
  std::string file_name;  // in directory and file names: safe, and no other station's
  std::vector<ChannelBuffer> channels;
  int max_file_minutes = kMaxFileMinutes;
  std::uint64_t extra_space = 0;  // asked of the disk-space guard beyond its reserve
};

// The latest state of a catalogued file whose row has not been sent yet, and
// what the row already sent says.
struct StaleRow {
  std::string relative_path;
  std::string station;
  std::string channel;
  EpochSeconds start = 0.0;
  double duration = 0.0;
  double sampling_rate = 0.0;
  std::uint64_t samples = 0;
  std::uint64_t confirmed_samples = 0;
};

class OutputWriter {
 public:
  OutputWriter(Catalogue& catalogue, FileErrorSink& errors);
  OutputWriter(const OutputWriter&) = delete;
  OutputWriter& operator=(const OutputWriter&) = delete;
  ~OutputWriter();

  void SetOutputRoot(const std::string& root) { m_output_root = root; }
  const std::string& OutputRoot() const { return m_output_root; }

  void AppendBlock(const std::string& station, const std::string& channel, double sampling_rate,
                   double calibration_value, double calibration_period, EpochSeconds block_start,
                   int count, const float* samples);
  void FlushChannel(std::size_t station, std::size_t channel);
  void FlushAll();

  // With coalescing on (the programs turn it on; off, every flush sends its
  // update at once), the row updates of an extended file
  // are held back and only the latest is sent, by BringRowsUpToDate. A new
  // file is registered at once either way, and the guard runs at every flush.
  void SetCoalesceUpdates(bool on) { m_coalesce = on; }
  // With continuing across runs on, samples that do not continue their
  // channel's current file may continue a file of an earlier run instead:
  // the latest of our catalogued files of the channel that ends where they
  // begin, with their rate and calibration, under an hour long, and whose
  // length and header on disk are exactly what its row and this writer say.
  // It is then extended and its row updated as if that run had gone on.
  void SetContinueAcrossRuns(bool on) { m_continue = on; }
  bool ContinuesAcrossRuns() const { return m_continue; }
  // While coalescing, an extended file also stays open between flushes (at
  // most KeptFileLimit() of them); this closes every kept file. A file whose
  // close fails is reported and cut back to what its row says.
  void CloseKeptFiles();
  // Sends the held-back updates in the order their files were first
  // extended. On a catalogue error every file whose update was not sent is
  // cut back to what its row says, nothing stays held back, and the error
  // goes on to the caller.
  void BringRowsUpToDate();
  const std::vector<StaleRow>& StaleRows() const { return m_stale_rows; }

  // After a catalogue error part-way through a raw file: the samples not yet
  // written are dropped (none may reach a file later under another raw
  // file's name), the kept files closed, and the held-back rows sent if the
  // database still answers, else their files cut back. A second catalogue
  // error here is not passed on: the first one is what the operator sees.
  void SettleAfterCatalogueError();

  // The lock of a station's output folder (a file ".korvel2tqf.lock" in it),
  // held until UnlockStations: no other converter, on this machine or any
  // other that shares the folder, writes there meanwhile. Waits up to
  // `wait_seconds` for another holder; false when it still holds it then. A
  // folder that cannot hold a lock file is not waited for: writing there
  // fails anyway, and says so.
  bool LockStation(const std::string& station, double wait_seconds);
  bool HoldsStationLock(const std::string& station) const;
  void UnlockStations();
  // Stations given up since the writer was made because another converter held them.
  std::uint64_t StationsLockedOut() const { return m_locked_out; }

  // Files that could not be created, opened, written or closed so far.
  std::uint64_t OutputFailures() const { return m_output_failures; }
  // A failure met outside the writer on the way to it (a raw file that
  // cannot be read whole): counted and reported like the writer's own.
  void ReportFailure(const FileError& error);
  std::uint64_t FlushCount() const { return m_flushes; }
  std::size_t KeptFileLimit() const { return m_kept_limit; }
  const std::vector<StationBuffer>& Stations() const { return m_stations; }

 private:
  std::size_t FindStation(const std::string& station);
  std::size_t FindChannel(std::size_t station, const std::string& channel, double rate, double cal,
                          double per);
  bool ContinuesCurrentFile(const ChannelBuffer& buffer) const;
  // Makes a file of an earlier run the channel's current file; false when
  // there is none to continue.
  bool TakeUpEarlierFile(const StationBuffer& station, ChannelBuffer& buffer);
  // A file this process is filling, keeps open or owes a row: its state
  // here is newer than its row.
  bool InUseHere(const std::string& relative_path) const;
  void StartNewFile(const StationBuffer& station, ChannelBuffer& buffer);
  bool WritePending(const StationBuffer& station, ChannelBuffer& buffer, bool continues);
  // True when the operation succeeded; a failure is counted and reported.
  bool Succeeded(FileResult result);
  // The same for an extension of the channel's file.
  bool Extended(ChannelBuffer& buffer, FileResult result);
  void RecordNewFile(const StationBuffer& station, ChannelBuffer& buffer);
  void RecordExtension(StationBuffer& station, ChannelBuffer& buffer, double written_duration);
  void HoldBackRow(const StaleRow& latest);
  bool AppendToKeptFile(ChannelBuffer& buffer, const std::string& full_path);
  void MakeRoomForKeptFile();
  // Writes what a kept file gathered; a failure sends the file back to what
  // its row says and closes it.
  bool WriteOutKeptFile(ChannelBuffer& buffer);
  void CloseKeptFile(ChannelBuffer& buffer);
  // Closes a kept file whose unwritten samples are no longer wanted.
  void DropKeptFile(ChannelBuffer& buffer);
  void CutBackHeldRow(const std::string& relative_path);
  void RecycleKeptBlocks(ChannelBuffer& buffer);
  std::vector<float> SpareBlock();
  // The file of a row that the catalogue did not take goes back to what its
  // row says; its channel then starts a new file.
  void CutBackToRow(const std::string& relative_path, std::uint64_t confirmed_samples);
  ChannelBuffer* CurrentFileOwner(const std::string& relative_path);

  Catalogue& m_catalogue;
  FileErrorSink& m_errors;
  std::string m_output_root;
  std::vector<StationBuffer> m_stations;
  bool m_coalesce = false;
  bool m_continue = false;
  std::vector<StaleRow> m_stale_rows;
  std::uint64_t m_flushes = 0;
  std::uint64_t m_output_failures = 0;
  std::size_t m_kept_limit = kMaxKeptFiles;
  std::uint64_t m_use_clock = 0;
  // Blocks written out, kept for the next pending samples: a block moves to
  // its kept file and back instead of being copied.
  std::vector<std::vector<float>> m_spare_blocks;
  std::map<std::string, FileLock> m_station_locks;  // by station name
  std::uint64_t m_locked_out = 0;
};

}  // namespace korvel
