#include "engine/output_file.h"

#include <utility>

#include "engine/tqf_file.h"
#include "engine/tqf_header.h"

namespace korvel {

std::vector<float> BlockPool::Take() {
  if (m_spare.empty()) {
    std::vector<float> fresh;
    fresh.reserve(kBlockSize);
    return fresh;
  }
  std::vector<float> spare = std::move(m_spare.back());
  m_spare.pop_back();
  return spare;
}

void BlockPool::Give(std::vector<float>&& block) {
  block.clear();
  m_spare.push_back(std::move(block));
}

OutputFile::OutputFile(OutputContext& context, const std::string& output_root,
                       std::string relative_path, EpochSeconds start, FileDescription description)
    : m_context(&context),
      m_output_root(output_root),
      m_full_path(TqfFullPath(output_root, relative_path)),
      m_relative_path(std::move(relative_path)),
      m_start(start),
      m_description(std::move(description)) {}

OutputFile OutputFile::Continued(OutputContext& context, const std::string& output_root,
                                 std::string relative_path, EpochSeconds start, double duration,
                                 std::uint64_t samples, FileDescription description) {
  OutputFile file(context, output_root, std::move(relative_path), start, std::move(description));
  file.m_state = State::kConfirmed;
  file.m_catalogued = true;
  file.m_registered = true;
  file.m_duration = duration;
  file.m_samples = samples;
  file.m_sent = samples;
  file.m_confirmed = samples;
  return file;
}

OutputFile::OutputFile(OutputFile&& other) noexcept
    : m_context(other.m_context),
      m_output_root(std::move(other.m_output_root)),
      m_full_path(std::move(other.m_full_path)),
      m_relative_path(std::move(other.m_relative_path)),
      m_start(other.m_start),
      m_description(std::move(other.m_description)),
      m_state(std::exchange(other.m_state, State::kLeft)),
      m_catalogued(other.m_catalogued),
      m_registered(other.m_registered),
      m_awaiting(std::exchange(other.m_awaiting, false)),
      m_staged(std::exchange(other.m_staged, false)),
      m_finished(other.m_finished),
      m_duration(other.m_duration),
      m_samples(other.m_samples),
      m_sent(other.m_sent),
      m_confirmed(other.m_confirmed),
      m_fd(std::exchange(other.m_fd, -1)),
      m_gathered(std::move(other.m_gathered)),
      m_gathered_samples(std::exchange(other.m_gathered_samples, 0)),
      m_last_use(other.m_last_use) {
  if (m_awaiting) m_context->rows.Moved(other, *this);
}

OutputFile::~OutputFile() {
  // Rows never sent are rows refused.
  if (m_awaiting) {
    m_context->rows.Leave(*this);
    RowsRolledBack();
  } else if (RowOwed())
    CutBackToConfirmed();
  else
    DropGathered();
}

std::string OutputFile::WrittenPath() const {
  return m_staged ? StagedTqfPath(m_relative_path) : m_relative_path;
}

bool OutputFile::Failed(FileResult result) {
  if (!result) return false;
  m_context->errors.FileFailed(*result);
  return true;
}

bool OutputFile::Create(std::span<const float> samples, double duration) {
  const FileDescription& d = m_description;
  m_duration = duration;
  bool staged = false;
  FileResult made =
      CreateTqfFile(m_output_root, m_relative_path,
                    BuildHeader(d.station, d.channel, d.sampling_rate, m_start), samples, &staged);
  if (!made && m_context->durable) {
    const std::string written = staged ? StagedTqfPath(m_relative_path) : m_relative_path;
    made = SyncTqfFile(m_output_root, written, /*new_name=*/true);
    if (made)
      (void)RemoveTqfFile(m_output_root, written);  // not surely on the disk: as if never made
  }
  if (Failed(std::move(made))) {
    // Told once, here: the writer drops a file that was not made, and the
    // next samples try a file of their own. A failed staging must never lead
    // to the older file of the name.
    m_state = staged ? State::kLeft : State::kNotMade;
    return false;
  }
  m_state = State::kAhead;
  m_samples = samples.size();
  m_staged = staged;
  // A staged file's row waits until the file is finished: the older file's
  // row stands until then.
  if (!m_staged) Register();
  return Extendable();
}

RowChange OutputFile::Row(RowChange::Kind kind) const {
  const FileDescription& d = m_description;
  return {kind,
          m_relative_path,
          d.station,
          d.channel,
          m_start,
          m_duration,
          d.sampling_rate,
          d.calibration_value,
          d.calibration_period,
          1,
          kDataTypeFloat};
}

void OutputFile::Register() {
  m_context->rows.Add(*this, Row(RowChange::Kind::kRegister));
  m_awaiting = true;
  m_registered = true;
  m_sent = m_samples;
  m_state = State::kConfirmed;
}

bool OutputFile::Extend(std::vector<float>& samples, double duration, bool keep_open) {
  if (!Extendable()) return false;
  FileResult result;
  if (!keep_open) {
    Close();
    result = ExtendTqfFile(m_output_root, WrittenPath(), samples, m_samples);
  } else if (m_fd < 0) {
    // Opened at once, so that a file not as this writer left it is reported
    // with this extension.
    result = AppendTqfSamples(m_fd, m_output_root, WrittenPath(), {}, m_samples);
  }
  if (result) {
    // Another program's change is left to it, untouched; after a failed
    // write the file goes back to its row.
    const bool elsewhere = result->changed_elsewhere;
    Failed(std::move(result));
    if (!elsewhere && RowOwed()) CutBackToConfirmed();
    m_state = State::kLeft;
    return false;
  }
  m_samples += samples.size();
  m_duration += duration;
  m_state = State::kAhead;
  if (!keep_open) return true;
  m_last_use = ++m_context->use_clock;
  m_gathered_samples += samples.size();
  m_gathered.push_back(std::exchange(samples, m_context->blocks.Take()));
  return m_gathered_samples < kKeptWriteSamples || WriteOut();
}

bool OutputFile::WriteOut() {
  if (m_gathered.empty()) return true;
  const FileResult result = AppendTqfSampleBlocks(m_fd, m_output_root, WrittenPath(), m_gathered);
  RecycleGathered();
  if (!Failed(result)) return true;
  // The failed write left the file as it was before it; the samples
  // gathered before are not there either.
  CutBackToConfirmed();
  return false;
}

bool OutputFile::Close() {
  if (m_fd < 0) return true;
  if (!WriteOut()) return false;
  // What reached the disk is unknown when the close fails: back to the row.
  if (!Failed(CloseTqfFile(m_fd, WrittenPath()))) return true;
  CutBackToConfirmed();
  return false;
}

void OutputFile::Confirm() {
  if (!RowOwed() || !Close()) return;
  if (m_staged && !m_finished) return;
  if (m_context->durable && Failed(SyncTqfFile(m_output_root, WrittenPath(), /*new_name=*/false))) {
    CutBackToConfirmed();
    return;
  }
  if (!m_registered) {
    Register();
    return;
  }
  m_context->rows.Add(*this, Row(RowChange::Kind::kUpdate));
  m_awaiting = true;
  m_sent = m_samples;
  m_state = State::kConfirmed;
}

void OutputFile::CutBackToConfirmed() {
  DropGathered();
  if (m_state == State::kNotMade) return;
  m_state = State::kLeft;
  CutBackTo(m_sent, m_registered);
}

void OutputFile::CutBackTo(std::uint64_t samples, bool catalogued) {
  if (catalogued) {
    m_samples = samples;
    Failed(CutBackTqfFile(m_output_root, WrittenPath(), samples));
    return;
  }
  // A new file without a row was removed when its row was refused; a staged
  // one goes now, and its older file stays as its row says.
  if (!m_staged) return;
  Failed(RemoveTqfFile(m_output_root, WrittenPath()));
  m_staged = false;
  m_samples = 0;
}

void OutputFile::RowsCommitted() {
  m_awaiting = false;
  m_catalogued = m_registered;
  m_confirmed = m_sent;
}

void OutputFile::TakeStagedName() {
  // Only once a committed row names it: an unfinished staged file has none.
  if (!m_staged || !m_catalogued) return;
  m_staged = false;
  if (!Failed(CommitTqfFile(m_output_root, m_relative_path))) {
    // The new name on the disk too, as the row already is.
    if (m_context->durable) Failed(SyncTqfFile(m_output_root, m_relative_path, /*new_name=*/true));
    return;
  }
  // The older file stayed (Windows will not replace a file another program
  // holds open) and the new one is gone: the row just made names neither.
  // The older file's own rows went with the registration; it is left
  // uncatalogued, as verify then reports it.
  DropGathered();
  m_state = State::kLeft;
  m_catalogued = m_registered = false;
  m_context->catalogue.ApplyRows({Row(RowChange::Kind::kForget)});
}

void OutputFile::RowsRolledBack() {
  if (!m_awaiting) return;
  m_awaiting = false;
  DropGathered();
  if (m_state == State::kNotMade) return;
  m_state = State::kLeft;
  m_sent = m_confirmed;
  m_registered = m_catalogued;
  if (m_catalogued) {
    CutBackTo(m_confirmed, true);
    return;
  }
  // Made in this raw file: no row names it any more.
  Failed(RemoveTqfFile(m_output_root, WrittenPath()));
  m_staged = false;
  m_samples = 0;
}

void OutputFile::RecycleGathered() {
  for (std::vector<float>& block : m_gathered) m_context->blocks.Give(std::move(block));
  m_gathered.clear();
  m_gathered_samples = 0;
}

void OutputFile::DropGathered() {
  RecycleGathered();
  if (m_fd >= 0) (void)CloseTqfFile(m_fd, {});
}

}  // namespace korvel
