#pragma once
// One output file of a channel and the catalogue row that names it, with one
// owner: every change of either goes through this class, so that a file never
// holds less than its row says, and no more once its raw file is finished.
//
// A file is in one of these states:
//   kNotMade    its creation failed (reported once, with its reason): nothing
//               of it is on disk and no row names it, and it is never
//               extended; the next samples make a file of their own.
//   kConfirmed  on disk with exactly the samples its row says.
//   kAhead      extended since its row was sent: the row is owed. While the
//               file is kept open (coalescing), its latest samples may still
//               wait in memory, to be written in one call.
//   kLeft       no longer this writer's to extend: cut back to what its row
//               says after a refused row or a failed write, removed when it
//               never had a row, or changed by another program.
// A new file whose name an older file holds is staged beside it (NAME.part)
// with no row until it is finished in this run (its channel moved on, or the
// run ended without being cut short). Then its row replaces the older one's
// in one commit, and at once the file takes the name. The commit comes
// first, as it is the step that can be refused: until it, the older file and
// its row stay exactly as they were, and a stop, a kill or a refused
// statement leaves at most a staged file that no row names. Only a kill
// between the commit and the move leaves the new row at the older file, its
// bytes whole beside it in NAME.part.
//
// A file's rows wait in its raw file's rows (RawFileRows), sent together once
// the raw file is written: the file remembers both what its latest row says
// and what its committed row says. A failure before they are sent cuts it
// back to what the latest row says; rows refused cut it back to the
// committed row, or remove it when no committed row names it.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "engine/catalogue.h"
#include "engine/file_error.h"
#include "engine/raw_file_rows.h"
#include "engine/time_arithmetic.h"

namespace korvel {

// Samples a channel hands over at a time, and so the most a pending block holds.
inline constexpr int kBlockSize = 10000;
inline constexpr int kDataTypeFloat = 3;
// Samples a kept file gathers before they are written, in one call: each
// write also updates the file's times, so a few large writes cost less than
// many small ones.
inline constexpr std::size_t kKeptWriteSamples = 65536;

// Sample blocks used again: a channel's pending block moves into its file's
// gathered samples and an emptied one takes its place, so that no sample is
// copied twice.
class BlockPool {
 public:
  std::vector<float> Take();
  void Give(std::vector<float>&& block);

 private:
  std::vector<std::vector<float>> m_spare;
};

// What the files of one writer share.
struct OutputContext {
  Catalogue& catalogue;
  FileErrorSink& errors;  // every failure is reported here as it happens
  BlockPool blocks;
  std::uint64_t use_clock = 0;  // orders kept files by their last write
  bool durable = false;         // each file's bytes on the disk before its row is sent
  RawFileRows rows;             // the rows owed by the raw file being written
};

// What a file's row says of it besides its length.
struct FileDescription {
  std::string station;  // upper case, code page 1251
  std::string channel;
  double sampling_rate = 0.0;
  double calibration_value = 0.0;
  double calibration_period = 0.0;
};

class OutputFile {
 public:
  enum class State { kNotMade, kConfirmed, kAhead, kLeft };

  // A new file, not yet on disk; `relative_path` is below the output root,
  // with "/" (code page 1251).
  OutputFile(OutputContext& context, const std::string& output_root, std::string relative_path,
             EpochSeconds start, FileDescription description);
  // A file of an earlier run that holds exactly the `samples` its row says.
  static OutputFile Continued(OutputContext& context, const std::string& output_root,
                              std::string relative_path, EpochSeconds start, double duration,
                              std::uint64_t samples, FileDescription description);
  OutputFile(OutputFile&& other) noexcept;
  OutputFile& operator=(OutputFile&&) = delete;
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;
  // A file still ahead of its row is cut back to it: nothing left unsettled
  // may claim more than the catalogue says.
  ~OutputFile();

  // Writes the header and the first samples, then owes the file's row to the
  // raw file's rows. False when it could not be made (reported); nothing is
  // then on disk.
  bool Create(std::span<const float> samples, double duration);
  // Appends `samples`, the row owed until Confirm. `keep_open`: the file
  // stays open and the block joins the samples gathered for one write (the
  // caller's vector gets an empty one from the pool); else it is written at
  // once. False when the file cannot be extended (reported): a file not as
  // this writer left it is never touched, and a failed write leaves the file
  // as its row says.
  bool Extend(std::vector<float>& samples, double duration, bool keep_open);
  // Writes what is gathered and closes the file; a failure (reported) cuts
  // the file back to its row.
  bool Close();
  // Hands the row the file is owed to the raw file's rows, its bytes written
  // and closed first. A staged file's row waits until the file is finished.
  void Confirm();
  // The file is finished in this run: a staged one may now replace its
  // older file, with its next Confirm.
  void Finish() { m_finished = true; }
  // Back to what its latest row says: the file is closed, cut back (or
  // removed, when no row names it) and never extended again.
  void CutBackToConfirmed();
  // The raw file's rows that hold its latest row were committed: that row is
  // the committed one. A staged file then takes its name (TakeStagedName).
  void RowsCommitted();
  // After RowsCommitted: a failed move leaves the file without its row.
  void TakeStagedName();
  // The raw file's rows were refused: back to the committed row, or removed
  // when none names the file; never extended again.
  void RowsRolledBack();

  State CurrentState() const { return m_state; }
  bool Extendable() const { return m_state == State::kConfirmed || m_state == State::kAhead; }
  bool RowOwed() const { return m_state == State::kAhead; }
  // A row of it waits in the raw file's rows.
  bool AwaitsOutcome() const { return m_awaiting; }
  bool KeptOpen() const { return m_fd >= 0; }
  bool Staged() const { return m_staged; }
  std::uint64_t LastUse() const { return m_last_use; }
  const std::string& RelativePath() const { return m_relative_path; }
  const FileDescription& Description() const { return m_description; }
  EpochSeconds Start() const { return m_start; }
  double Duration() const { return m_duration; }
  std::uint64_t Samples() const { return m_samples; }

 private:
  bool Failed(FileResult result);
  // The file's row, with what it holds now, owed.
  void Register();
  // The row of `kind` with what the file holds now.
  RowChange Row(RowChange::Kind kind) const;
  bool WriteOut();
  void RecycleGathered();
  // The gathered samples given up and the file closed unwritten.
  void DropGathered();
  // The file is cut back to `samples`, or removed when no row names it.
  void CutBackTo(std::uint64_t samples, bool catalogued);
  // Where the bytes are: beside the name while staged.
  std::string WrittenPath() const;

  OutputContext* m_context;
  std::string m_output_root;
  std::string m_full_path;      // native separators
  std::string m_relative_path;  // the row's CPATH
  EpochSeconds m_start = 0.0;
  FileDescription m_description;
  State m_state = State::kNotMade;
  bool m_catalogued = false;  // a committed row names the file
  bool m_registered = false;  // a row names it, committed or waiting to be sent
  bool m_awaiting = false;    // a row of it waits in the raw file's rows
  bool m_staged = false;      // the bytes wait beside the name for the commit
  bool m_finished = false;    // nothing more of this run goes into it
  double m_duration = 0.0;
  std::uint64_t m_samples = 0;    // handed to the file, gathered ones included
  std::uint64_t m_sent = 0;       // what its latest row says
  std::uint64_t m_confirmed = 0;  // what its committed row says
  int m_fd = -1;                  // kept open between extensions
  std::vector<std::vector<float>> m_gathered;
  std::size_t m_gathered_samples = 0;
  std::uint64_t m_last_use = 0;
};

}  // namespace korvel
