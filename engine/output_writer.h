#pragma once
// The single writer of TQF4.0 files. Per station and channel it keeps the
// samples not yet written and the file being filled, so that output files
// continue across raw files until they pass an hour.
//
// A file and its catalogue row always agree: each output file is an
// OutputFile, the one owner of the file and its row. A raw file ends with
// FinishRawFile, which writes every pending sample, closes the kept files and
// sends every row owed, all of them committed together once every byte is
// written (the raw file's rows, RawFileRows). A catalogue error that leaves
// the writer, from any call, leaves it settled: nothing pending, no file
// open, no file longer than its row, and nothing of the raw file sent.

#include <cstdint>
#include <functional>
#include <list>
#include <map>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "engine/catalogue.h"
#include "engine/file_error.h"
#include "engine/held_times.h"
#include "engine/output_file.h"
#include "engine/time_arithmetic.h"
#include "platform/file_lock.h"

namespace korvel {

inline constexpr int kMergeLimit = 9900;
inline constexpr int kMaxFileMinutes = 60;
// Extended files kept open at once while coalescing; fewer when the process
// may open few files.
inline constexpr std::size_t kMaxKeptFiles = 64;
// How far ahead of a block the times a channel's own files hold are asked
// for at once, while continuing across runs.
inline constexpr double kHeldLookAhead = 86400.0;

struct ChannelBuffer {
  double sampling_rate = 0.0;
  std::string name;  // upper case, code page 1251
  double calibration_value = 0.0;
  double calibration_period = 0.0;

  std::vector<float> pending;  // capacity kBlockSize; empty: nothing pending
  EpochSeconds pending_start = 0.0;
  double pending_duration = 0.0;

  // The file being filled (any start, 1970 included); none between files.
  std::optional<OutputFile> file;
};

struct StationBuffer {
  std::string name;  // upper case, code page 1251
  std::vector<ChannelBuffer> channels;
  int max_file_minutes = kMaxFileMinutes;
  std::uint64_t extra_space = 0;  // asked of the disk-space guard beyond its reserve
};

// Why a station's lock was not taken.
struct StationLockRefusal {
  enum class Reason {
    kHeldElsewhere,
    kUnavailable,
    kStopped,
    // A link in the place of the station's folder or its lock file: refused,
    // and reported as an output failure already.
    kOutputRefused,
  } reason = Reason::kHeldElsewhere;
  std::string lock_file;  // UTF-8, for the operator
  int system_error = 0;   // kUnavailable: errno
  // kUnavailable: a link in the station folder's place, not followed.
  std::optional<WalkFailure> refused_link = std::nullopt;
};

class OutputWriter {
 public:
  OutputWriter(Catalogue& catalogue, FileErrorSink& errors);
  OutputWriter(const OutputWriter&) = delete;
  OutputWriter& operator=(const OutputWriter&) = delete;
  ~OutputWriter();

  // Another root ends the files of the old one: a relative path names
  // another file there.
  void SetOutputRoot(const std::string& root);
  const std::string& OutputRoot() const { return m_output_root; }

  void AppendBlock(const std::string& station, const std::string& channel, double sampling_rate,
                   double calibration_value, double calibration_period, EpochSeconds block_start,
                   int count, const float* samples);
  // The end of a raw file, whichever way it ends: every pending sample
  // written, every kept file closed, every row brought up to date. A
  // catalogue error here (or from AppendBlock) leaves the writer settled:
  // the samples not yet written are dropped (none may reach a file later
  // under another raw file's name), no row of the raw file is sent, and its
  // files go back to their committed rows; the error goes on.
  void FinishRawFile();

  // A new file whose name an older file holds stays staged beside it, with
  // no row, until it is finished: when its channel moves on to another file,
  // or when the run ends without being cut short (FinishStagedFiles). It then
  // replaces the older file and row at once. A run cut short gives its
  // staged files up (DropStagedFiles), and a refused statement gives up
  // every one: the older files and rows stay exactly as they were.
  std::vector<std::string> StagedStations() const;
  // The station's staged files are finished: rows sent and committed, each
  // file moved over its older one. A catalogue error settles the writer and
  // goes on.
  void FinishStagedFiles(const std::string& station);
  void DropStagedFiles(const std::string& station);

  // With coalescing on (the programs turn it on; off, every flush owes its
  // update at once), an extended file owes one row, at FinishRawFile, and
  // the file stays open between flushes (at most KeptFileLimit() of them).
  // A new file owes its row at once either way; every row is sent at the
  // raw file's end. The guard runs at every flush.
  void SetCoalesceUpdates(bool on) { m_coalesce = on; }
  // Each file's bytes reach the disk itself (fdatasync) before a row naming
  // them is sent: a power cut never leaves a row longer than its file.
  void SetDurable(bool on) { m_context.durable = on; }
  // With continuing across runs on, samples that do not continue their
  // channel's current file may continue a file of an earlier run instead:
  // the latest of our catalogued files of the channel that ends where they
  // begin, with their rate and calibration, under an hour long, and whose
  // length and header on disk are exactly what its row and this writer say.
  // Only a channel's latest row can be continued, and it is asked for once
  // while the station is held (the lock keeps other converters' rows out).
  // It is then extended and its row updated as if that run had gone on.
  // Samples whose times the channel's own files already hold (our rows of
  // its station and channel, this run's included once their raw file is
  // done) are not written again, so that the same job run twice changes
  // nothing; the rest go on as if the held ones were not there.
  void SetContinueAcrossRuns(bool on) { m_continue = on; }
  bool ContinuesAcrossRuns() const { return m_continue; }
  // The samples left out so, per station and channel, since the last call.
  std::vector<SkippedSamples> TakeSkippedSamples();
  // Files extended past the row they owe, their row not yet handed to the
  // raw file's rows (with coalescing, until FinishRawFile).
  std::size_t RowsOwed() const;

  // The lock of a station's output folder (a file ".korvel2tqf.lock" in it),
  // held until UnlockStation: no other converter, on this machine or any
  // other that shares the folder, writes there meanwhile. Waits up to
  // `wait_seconds` for another holder, or until `stop` answers true; nothing
  // when it is held, else why not. A folder where no lock can be taken is
  // refused too: a lock that cannot be had protects nothing. (A station
  // folder that cannot be made at all is let be: nothing can be written.)
  // The folder is reached as the station's files are; a link there, or at
  // the lock file, that is not to be followed is an output failure.
  std::optional<StationLockRefusal> LockStation(const std::string& station, double wait_seconds,
                                                const std::function<bool()>& stop = {});
  bool HoldsStationLock(const std::string& station) const;
  void UnlockStation(const std::string& station);
  // Stations given up since the writer was made because their lock was held
  // by another converter or could not be taken.
  std::uint64_t StationsLockedOut() const { return m_locked_out; }

  // Files that could not be created, opened, written or closed so far.
  std::uint64_t OutputFailures() const { return m_failures.count; }
  // Selected raw data that did not reach the writer (a raw folder or file
  // that cannot be read whole, a channel name met twice): told to the
  // operator and counted. A folder or file that cannot be read at all is
  // told once in a command, however many stations' scans meet it.
  void ReportRawDataLeft(const RawDataLeft& left);
  std::uint64_t RawDataLeftCount() const { return m_raw_data_left; }
  // The end of a command: the reporter says what it held back.
  void EndCommand();
  std::uint64_t FlushCount() const { return m_flushes; }
  std::size_t KeptFileLimit() const { return m_kept_limit; }
  const std::vector<StationBuffer>& Stations() const { return m_stations; }

 private:
  // Counts every failure on its way to the operator.
  struct CountingSink : FileErrorSink {
    explicit CountingSink(FileErrorSink& to) : forward(to) {}
    void FileFailed(const FileError& error) override {
      ++count;
      forward.FileFailed(error);
    }
    FileErrorSink& forward;
    std::uint64_t count = 0;
  };

  // A block whose samples are all to be written.
  void TakeBlock(const std::string& station, const std::string& channel, double rate, double cal,
                 double per, EpochSeconds block_start, int count, const float* samples);
  // The times the channel's own files hold from `from` to `to` at least.
  std::span<const HeldSpan> HeldSpans(const std::string& station, const std::string& channel,
                                      EpochSeconds from, EpochSeconds to);
  void NoteSkipped(const std::string& station, const std::string& channel, int count,
                   double interval);
  std::size_t FindStation(const std::string& station);
  std::size_t FindChannel(std::size_t station, const std::string& channel, double rate, double cal,
                          double per);
  void FlushChannel(std::size_t station, std::size_t channel);
  void FlushAll();
  bool ContinuesCurrentFile(const ChannelBuffer& buffer) const;
  // Makes a file of an earlier run the channel's current file; false when
  // there is none to continue.
  bool TakeUpEarlierFile(const StationBuffer& station, ChannelBuffer& buffer);
  // The channel's latest own row: asked of the catalogue once while the
  // station is held, then kept up to date with the rows this writer sends.
  const CataloguedFile* LatestOwnRow(const StationBuffer& station, const ChannelBuffer& buffer);
  // A file's row is committed: the latest row and the held times know it.
  void NoteLatestRow(const OutputFile& file);
  // A file this process is filling or owes a row: its state here is newer
  // than its row, and it is not the guard's to take.
  bool InUseHere(const std::string& relative_path) const;
  void StartNewFile(const StationBuffer& station, ChannelBuffer& buffer);
  void ExtendCurrentFile(StationBuffer& station, ChannelBuffer& buffer);
  // The channel stops filling its file: closed, and kept only while it owes a row.
  void EndCurrentFile(ChannelBuffer& buffer);
  void MakeRoomForKeptFile();
  // Every file still owing a row, those ended first.
  std::vector<OutputFile*> FilesOwingRows();
  template <typename Visit>
  void ForEachFile(Visit visit);
  // After a catalogue error: nothing pending, no file open, no row of the
  // raw file sent, every file back to its committed row.
  void GiveUpRawFile();
  // Runs `step`; a catalogue error from it gives up the raw file and goes on.
  template <typename Step>
  void GivenUpOnError(Step step);

  FileErrorSink& m_errors;
  CountingSink m_failures;
  OutputContext m_context;
  std::string m_output_root;
  std::vector<StationBuffer> m_stations;
  // Files no channel fills any more whose rows are still owed.
  std::list<OutputFile> m_ended;
  bool m_coalesce = false;
  bool m_continue = false;
  std::uint64_t m_flushes = 0;
  std::size_t m_kept_limit = kMaxKeptFiles;
  std::map<std::string, FileLock> m_station_locks;  // by station name
  // By station and channel; nothing for a channel without own rows.
  std::map<std::pair<std::string, std::string>, std::optional<CataloguedFile>> m_latest_rows;
  std::uint64_t m_locked_out = 0;
  std::uint64_t m_raw_data_left = 0;
  std::set<std::pair<RawDataLeft::What, std::string>> m_unreadable_this_command;
  struct HeldTimes {
    bool asked = false;
    EpochSeconds from = 0.0, to = 0.0;
    std::vector<HeldSpan> spans;
  };
  // By station and channel, while continuing and the station is held (no
  // other converter adds rows meanwhile): asked of the catalogue once a day
  // of samples, and kept up to date with the rows this writer commits.
  std::map<std::pair<std::string, std::string>, HeldTimes> m_held_times;
  std::vector<SkippedSamples> m_skipped;
};

}  // namespace korvel
