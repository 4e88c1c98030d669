#include "engine/output_file.h"

#include <cerrno>
#include <utility>

#include "engine/tqf_file.h"
#include "engine/tqf_header.h"
#include "platform/text1251.h"

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
  file.m_duration = duration;
  file.m_samples = samples;
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
      m_duration(other.m_duration),
      m_samples(other.m_samples),
      m_confirmed(other.m_confirmed),
      m_fd(std::exchange(other.m_fd, -1)),
      m_gathered(std::move(other.m_gathered)),
      m_gathered_samples(std::exchange(other.m_gathered_samples, 0)),
      m_last_use(other.m_last_use) {}

OutputFile::~OutputFile() {
  if (RowOwed())
    CutBackToConfirmed();
  else
    DropGathered();
}

bool OutputFile::Failed(FileResult result) {
  if (!result) return false;
  m_context->errors.FileFailed(*result);
  return true;
}

bool OutputFile::Create(std::span<const float> samples, double duration) {
  const FileDescription& d = m_description;
  // The span is the file's from here, made or not: a continuing flush after
  // a failed creation is an extension of this file, and reports it missing.
  m_duration = duration;
  bool staged = false;
  if (Failed(CreateTqfFile(m_output_root, m_relative_path,
                           BuildHeader(d.station, d.channel, d.sampling_rate, m_start), samples,
                           &staged))) {
    // A failed new name stays this channel's file, as the next extension
    // reports; a failed staging must never lead to the older file of the name.
    m_state = staged ? State::kLeft : State::kNotMade;
    return false;
  }
  m_state = State::kAhead;
  m_samples = samples.size();
  try {
    m_context->catalogue.RegisterNewFile(m_relative_path, d.station, d.channel, m_start, duration,
                                         d.sampling_rate, d.calibration_value, d.calibration_period,
                                         1, kDataTypeFloat);
  } catch (const CatalogueError&) {
    // No row, no file; an older file of the name is still whole, since the
    // new one never took its place.
    Failed(RemoveTqfFile(staged ? StagedTqfPath(m_full_path) : m_full_path));
    m_state = State::kLeft;
    throw;
  }
  m_catalogued = true;
  if (staged && Failed(CommitTqfFile(m_full_path))) {
    // The older file stayed (Windows will not replace a file another program
    // holds open) and the new one is gone: the row just made names neither.
    // The older file's own rows went with the registration; it is left
    // uncatalogued, as verify then reports it.
    m_state = State::kLeft;
    m_catalogued = false;
    m_context->catalogue.ForgetOwnFile(m_relative_path);
    return false;
  }
  m_confirmed = m_samples;
  m_state = State::kConfirmed;
  return true;
}

bool OutputFile::Extend(std::vector<float>& samples, double duration, bool keep_open) {
  if (m_state == State::kNotMade) {
    m_context->errors.FileFailed({FileOperation::kOpen, Cp1251ToUtf8(m_full_path), ENOENT});
    return false;
  }
  if (m_state == State::kLeft) return false;
  FileResult result;
  if (!keep_open) {
    Close();
    result = ExtendTqfFile(m_full_path, samples, m_samples);
  } else if (m_fd < 0) {
    // Opened at once, so that a file not as this writer left it is reported
    // with this extension.
    result = AppendTqfSamples(m_fd, m_full_path, {}, m_samples);
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
  const FileResult result = AppendTqfSampleBlocks(m_fd, m_full_path, m_gathered);
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
  if (!Failed(CloseTqfFile(m_fd, m_full_path))) return true;
  CutBackToConfirmed();
  return false;
}

void OutputFile::Confirm() {
  if (!RowOwed() || !Close()) return;
  const FileDescription& d = m_description;
  try {
    m_context->catalogue.UpdateFileRecord(m_relative_path, d.station, d.channel, m_start,
                                          m_duration, d.sampling_rate, 1, kDataTypeFloat);
  } catch (const CatalogueError&) {
    CutBackToConfirmed();
    throw;
  }
  m_confirmed = m_samples;
  m_state = State::kConfirmed;
}

void OutputFile::CutBackToConfirmed() {
  DropGathered();
  if (m_state == State::kNotMade) return;
  m_state = State::kLeft;
  if (!m_catalogued) return;
  m_samples = m_confirmed;
  Failed(CutBackTqfFile(m_full_path, m_confirmed));
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
