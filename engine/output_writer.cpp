#include "engine/output_writer.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <filesystem>
#include <utility>

#include "engine/tqf_file.h"
#include "engine/tqf_header.h"
#include "platform/native_path.h"
#include "platform/open_files.h"
#include "platform/text1251.h"

namespace korvel {
namespace {

bool SameNumber(double a, double b) { return a == b || (std::isnan(a) && std::isnan(b)); }

// A change of rate or calibration means a new file: a file holds one rate and
// its row one calibration.
bool TakesOtherValues(const ChannelBuffer& buffer, double rate, double cal, double per) {
  const double scale = std::max(std::fabs(buffer.sampling_rate), std::fabs(rate));
  const bool other_rate = std::fabs(buffer.sampling_rate - rate) > 1e-9 * scale;
  return other_rate || !SameNumber(buffer.calibration_value, cal) ||
         !SameNumber(buffer.calibration_period, per);
}

void MakePending(ChannelBuffer& buffer, EpochSeconds start, double duration, int count,
                 const float* samples) {
  buffer.pending.assign(samples, samples + count);
  buffer.pending_start = start;
  buffer.pending_duration = duration;
}

void ClearPending(ChannelBuffer& buffer) {
  buffer.pending.clear();
  buffer.pending_start = 0.0;
  buffer.pending_duration = 0.0;
}

}  // namespace

OutputWriter::OutputWriter(Catalogue& catalogue, FileErrorSink& errors)
    : m_errors(errors),
      m_failures(errors),
      m_context{catalogue, m_failures, {}, 0, false, {}},
      // A quarter of what the process may open, so that raw files, the
      // catalogue's driver and new output files always find descriptors.
      m_kept_limit(std::clamp<std::size_t>(OpenFileLimit() / 4, 1, kMaxKeptFiles)) {}

// The files' own destructors cut back whatever was never settled.
OutputWriter::~OutputWriter() { m_context.rows.Abandon(); }

template <typename Visit>
void OutputWriter::ForEachFile(Visit visit) {
  for (StationBuffer& station : m_stations)
    for (ChannelBuffer& channel : station.channels)
      if (channel.file) visit(*channel.file);
  for (OutputFile& file : m_ended) visit(file);
}

template <typename Step>
void OutputWriter::GivenUpOnError(Step step) {
  try {
    step();
  } catch (const CatalogueError&) {
    GiveUpRawFile();
    throw;
  }
}

void OutputWriter::SetOutputRoot(const std::string& root) {
  if (root == m_output_root) return;
  // Files are settled between raw files, so nothing is owed here.
  for (StationBuffer& station : m_stations)
    for (ChannelBuffer& channel : station.channels) channel.file.reset();
  m_ended.clear();
  m_latest_rows.clear();
  m_held_times.clear();
  m_output_root = root;
}

std::size_t OutputWriter::FindStation(const std::string& station) {
  std::size_t index = 0;
  while (index < m_stations.size() && m_stations[index].name != station) ++index;
  if (index == m_stations.size()) {
    StationBuffer fresh;
    fresh.name = station;
    m_stations.push_back(std::move(fresh));
  }
  return index;
}

std::size_t OutputWriter::FindChannel(std::size_t station, const std::string& channel, double rate,
                                      double cal, double per) {
  std::vector<ChannelBuffer>& channels = m_stations[station].channels;
  std::size_t index = 0;
  while (index < channels.size() && !EqualNoCase1251(channels[index].name, channel)) ++index;
  if (index == channels.size()) {
    ChannelBuffer fresh;
    fresh.sampling_rate = rate;
    fresh.name = channel;
    fresh.calibration_value = cal;
    fresh.calibration_period = per;
    fresh.pending.reserve(kBlockSize);
    channels.push_back(std::move(fresh));
  }
  return index;
}

void OutputWriter::AppendBlock(const std::string& station_name, const std::string& channel_name,
                               double rate, double cal, double per, EpochSeconds block_start,
                               int count, const float* samples) {
  GivenUpOnError([&] {
    if (!m_continue) {
      TakeBlock(station_name, channel_name, rate, cal, per, block_start, count, samples);
      return;
    }
    // Samples whose times the channel's own files hold are not written again:
    // the rest go on in runs, each at its own start.
    const double interval = 1.0 / rate;
    const std::vector<std::pair<int, int>> runs = UnheldRuns(
        block_start, interval, count,
        HeldSpans(station_name, channel_name, block_start, block_start + count * interval));
    int taken = 0;
    for (const auto& [first, last] : runs) {
      TakeBlock(station_name, channel_name, rate, cal, per, block_start + first * interval,
                last - first, samples + first);
      taken += last - first;
    }
    if (taken < count) NoteSkipped(station_name, channel_name, count - taken, interval);
  });
}

void OutputWriter::TakeBlock(const std::string& station_name, const std::string& channel_name,
                             double rate, double cal, double per, EpochSeconds block_start,
                             int count, const float* samples) {
  const std::size_t station = FindStation(station_name);
  const std::size_t channel = FindChannel(station, channel_name, rate, cal, per);

  if (TakesOtherValues(m_stations[station].channels[channel], rate, cal, per)) {
    FlushChannel(station, channel);
    ChannelBuffer& buffer = m_stations[station].channels[channel];
    EndCurrentFile(buffer);
    buffer.sampling_rate = rate;
    buffer.calibration_value = cal;
    buffer.calibration_period = per;
    MakePending(buffer, block_start, count / rate, count, samples);
    return;
  }

  ChannelBuffer& buffer = m_stations[station].channels[channel];
  const double interval = 1.0 / rate;
  const double duration = count * interval;
  const int pending_count = static_cast<int>(buffer.pending.size());
  // Nothing pending never continues, whatever the block's start and
  // interval. At one sample per second or slower blocks are never merged:
  // such a block already spans hours, and merging would only hold its
  // samples back.
  if (buffer.pending.empty() ||
      std::fabs(buffer.pending_start + buffer.pending_duration - block_start) > interval ||
      pending_count + count > kMergeLimit || buffer.sampling_rate <= 1.0) {
    FlushChannel(station, channel);
    MakePending(m_stations[station].channels[channel], block_start, duration, count, samples);
    return;
  }
  buffer.pending.insert(buffer.pending.end(), samples, samples + count);
  buffer.pending_duration += duration;
}

std::span<const HeldSpan> OutputWriter::HeldSpans(const std::string& station,
                                                  const std::string& channel, EpochSeconds from,
                                                  EpochSeconds to) {
  HeldTimes& held = m_held_times[std::make_pair(station, channel)];
  if (held.asked && from >= held.from && to <= held.to) return held.spans;
  held = {true, from, std::max(to, from + kHeldLookAhead), {}};
  for (const CataloguedFile& row :
       m_context.catalogue.OwnFilesNear(station, channel, held.from, held.to))
    if (std::isfinite(row.tbegin) && std::isfinite(row.tqty) && row.tqty > 0.0)
      held.spans.push_back({row.tbegin, row.tbegin + row.tqty});
  return held.spans;
}

void OutputWriter::NoteSkipped(const std::string& station, const std::string& channel, int count,
                               double interval) {
  auto known = std::find_if(m_skipped.begin(), m_skipped.end(), [&](const SkippedSamples& s) {
    return s.station == station && s.channel == channel;
  });
  if (known == m_skipped.end()) known = m_skipped.insert(m_skipped.end(), {station, channel});
  known->samples += static_cast<std::uint64_t>(count);
  known->seconds += count * interval;
}

std::vector<SkippedSamples> OutputWriter::TakeSkippedSamples() {
  return std::exchange(m_skipped, {});
}

// A flush chooses the file (the current one, when the pending samples
// continue it, or a new one), writes the samples and settles the row.
void OutputWriter::FlushChannel(std::size_t station_index, std::size_t channel_index) {
  ++m_flushes;
  StationBuffer& station = m_stations[station_index];
  m_context.catalogue.DiskSpaceGuard(
      m_output_root, station.extra_space, station.name,
      [this](const std::string& relative_path) { return InUseHere(relative_path); });
  ChannelBuffer& buffer = station.channels[channel_index];
  if (buffer.pending.empty()) {
    ClearPending(buffer);
    return;
  }
  if (ContinuesCurrentFile(buffer) || (m_continue && TakeUpEarlierFile(station, buffer)))
    ExtendCurrentFile(station, buffer);
  else
    StartNewFile(station, buffer);
  ClearPending(buffer);
}

void OutputWriter::FlushAll() {
  for (std::size_t station = 0; station < m_stations.size(); ++station)
    for (std::size_t channel = 0; channel < m_stations[station].channels.size(); ++channel)
      FlushChannel(station, channel);
}

void OutputWriter::FinishRawFile() {
  GivenUpOnError([&] {
    FlushAll();
    // Every byte down and every file closed before any row is sent.
    for (StationBuffer& station : m_stations)
      for (ChannelBuffer& channel : station.channels)
        if (channel.file) channel.file->Close();
    for (OutputFile* file : FilesOwingRows()) file->Confirm();
    // The raw file's rows in one commit, its bytes all written before.
    m_context.rows.Send(m_context.catalogue);
    for (const OutputFile& file : m_ended) NoteLatestRow(file);
    m_ended.clear();
    for (StationBuffer& station : m_stations)
      for (ChannelBuffer& channel : station.channels) {
        if (channel.file) NoteLatestRow(*channel.file);
        if (channel.file && !channel.file->Extendable()) channel.file.reset();
      }
  });
}

std::vector<std::string> OutputWriter::StagedStations() const {
  std::vector<std::string> stations;
  for (const StationBuffer& station : m_stations)
    if (std::any_of(station.channels.begin(), station.channels.end(),
                    [](const ChannelBuffer& c) { return c.file && c.file->Staged(); }))
      stations.push_back(station.name);
  return stations;
}

void OutputWriter::FinishStagedFiles(const std::string& station_name) {
  GivenUpOnError([&] {
    for (StationBuffer& station : m_stations)
      if (station.name == station_name)
        for (ChannelBuffer& channel : station.channels)
          if (channel.file && channel.file->Staged()) {
            channel.file->Finish();
            channel.file->Confirm();
          }
    m_context.rows.Send(m_context.catalogue);
    for (StationBuffer& station : m_stations)
      for (ChannelBuffer& channel : station.channels) {
        if (channel.file) NoteLatestRow(*channel.file);
        if (channel.file && !channel.file->Extendable()) channel.file.reset();
      }
  });
}

void OutputWriter::DropStagedFiles(const std::string& station_name) {
  for (StationBuffer& station : m_stations)
    if (station.name == station_name)
      for (ChannelBuffer& channel : station.channels)
        if (channel.file && channel.file->Staged()) {
          channel.file->CutBackToConfirmed();
          channel.file.reset();
        }
}

void OutputWriter::GiveUpRawFile() {
  m_held_times.clear();
  m_skipped.clear();
  for (StationBuffer& station : m_stations)
    for (ChannelBuffer& channel : station.channels) {
      ClearPending(channel);
      if (channel.file) channel.file->Close();
    }
  // Nothing of a raw file given up is sent, now or later: every file goes
  // back to its committed row, and the database that refused is not asked
  // again.
  m_context.rows.Abandon();
  for (OutputFile* file : FilesOwingRows()) file->CutBackToConfirmed();
  // A refused run replaces nothing: every staged file goes, finished or not,
  // and the older files keep their rows.
  ForEachFile([](OutputFile& file) {
    if (file.Staged()) file.CutBackToConfirmed();
  });
  m_ended.clear();
  for (StationBuffer& station : m_stations)
    for (ChannelBuffer& channel : station.channels)
      if (channel.file && !channel.file->Extendable()) channel.file.reset();
}

std::vector<OutputFile*> OutputWriter::FilesOwingRows() {
  std::vector<OutputFile*> files;
  for (OutputFile& file : m_ended)
    if (file.RowOwed()) files.push_back(&file);
  for (StationBuffer& station : m_stations)
    for (ChannelBuffer& channel : station.channels)
      if (channel.file && channel.file->RowOwed()) files.push_back(&*channel.file);
  return files;
}

std::size_t OutputWriter::RowsOwed() const {
  std::size_t owed = 0;
  for (const OutputFile& file : m_ended) owed += file.RowOwed();
  for (const StationBuffer& station : m_stations)
    for (const ChannelBuffer& channel : station.channels)
      owed += channel.file && channel.file->RowOwed();
  return owed;
}

bool OutputWriter::ContinuesCurrentFile(const ChannelBuffer& buffer) const {
  // Within one sample interval of the file's end counts as continuing: the
  // recorder's clock and the sum of block lengths drift by a fraction of it.
  return buffer.file && buffer.file->Extendable() &&
         std::fabs(buffer.file->Start() + buffer.file->Duration() - buffer.pending_start) <=
             1.0 / buffer.sampling_rate;
}

bool OutputWriter::InUseHere(const std::string& relative_path) const {
  for (const StationBuffer& station : m_stations)
    for (const ChannelBuffer& channel : station.channels)
      if (channel.file && channel.file->RelativePath() == relative_path) return true;
  return std::any_of(m_ended.begin(), m_ended.end(),
                     [&](const OutputFile& file) { return file.RelativePath() == relative_path; });
}

const CataloguedFile* OutputWriter::LatestOwnRow(const StationBuffer& station,
                                                 const ChannelBuffer& buffer) {
  const auto key = std::make_pair(station.name, buffer.name);
  auto known = m_latest_rows.find(key);
  if (known == m_latest_rows.end())
    known = m_latest_rows.emplace(key, m_context.catalogue.LatestOwnFile(station.name, buffer.name))
                .first;
  return known->second ? &*known->second : nullptr;
}

void OutputWriter::NoteLatestRow(const OutputFile& file) {
  if (file.CurrentState() != OutputFile::State::kConfirmed) return;
  const FileDescription& d = file.Description();
  // The times its committed row holds, where the channel's are known: a file
  // of one start is one span, however often its row grew or was replaced.
  if (const auto held = m_held_times.find(std::make_pair(d.station, d.channel));
      held != m_held_times.end()) {
    std::vector<HeldSpan>& spans = held->second.spans;
    const HeldSpan span{file.Start(), file.Start() + file.Duration()};
    const auto same = std::find_if(spans.begin(), spans.end(),
                                   [&](const HeldSpan& s) { return s.begin == span.begin; });
    if (same == spans.end())
      spans.push_back(span);
    else
      *same = span;
  }
  auto known = m_latest_rows.find(std::make_pair(d.station, d.channel));
  // A channel never looked up is looked up when it needs it.
  if (known == m_latest_rows.end()) return;
  if (known->second && known->second->tbegin > file.Start()) return;
  known->second = CataloguedFile{file.RelativePath(), file.Start(),        file.Duration(),
                                 d.sampling_rate,     d.calibration_value, d.calibration_period};
}

bool OutputWriter::TakeUpEarlierFile(const StationBuffer& station, ChannelBuffer& buffer) {
  const double longest = station.max_file_minutes * 60 - 1;
  const EpochSeconds start = buffer.pending_start;
  const CataloguedFile* latest = LatestOwnRow(station, buffer);
  // The tests of an in-process file, applied to the row: it ends where the
  // samples begin and was not yet closed, with their rate and calibration.
  if (latest != nullptr &&
      (!std::isfinite(latest->tbegin) || !std::isfinite(latest->tqty) || !(latest->sps > 0.0) ||
       !std::isfinite(latest->sps) || latest->tqty < 0.0 || latest->tqty > longest ||
       std::fabs(latest->tbegin + latest->tqty - start) > 1.0 / latest->sps || !latest->calib ||
       !latest->calper || TakesOtherValues(buffer, latest->sps, *latest->calib, *latest->calper)))
    latest = nullptr;
  if (latest == nullptr || latest->cpath.empty() || IsAbsoluteStoredPath(latest->cpath) ||
      ClimbsOutOfRoot(latest->cpath) || InUseHere(latest->cpath))
    return false;

  // The file must be exactly what the row says and what this writer would
  // have made of it; anything else (cut short, grown, another header) is
  // left alone.
  const double exact_samples = latest->tqty * latest->sps;
  if (exact_samples > 9.0e15) return false;
  const auto samples = static_cast<std::uint64_t>(std::llround(exact_samples));
  const std::optional<TqfFileHead> head =
      ReadTqfFileHead(NativePath(TqfFullPath(m_output_root, latest->cpath)));
  if (!head || !head->header || head->size != kTqfHeaderSize + 4 * samples ||
      *head->header != BuildHeader(station.name, buffer.name, latest->sps, latest->tbegin))
    return false;

  EndCurrentFile(buffer);
  buffer.sampling_rate = latest->sps;  // as the earlier run's buffer kept it
  buffer.file.emplace(OutputFile::Continued(m_context, m_output_root, latest->cpath, latest->tbegin,
                                            latest->tqty, samples,
                                            {station.name, buffer.name, buffer.sampling_rate,
                                             buffer.calibration_value, buffer.calibration_period}));
  return true;
}

void OutputWriter::EndCurrentFile(ChannelBuffer& buffer) {
  if (!buffer.file) return;
  buffer.file->Close();
  // The channel has moved on: a staged file replaces its older one with the
  // raw file's rows.
  buffer.file->Finish();
  // A file whose row waits stays until the rows are sent: a refusal cuts it back.
  if (buffer.file->RowOwed() || buffer.file->AwaitsOutcome())
    m_ended.push_back(std::move(*buffer.file));
  buffer.file.reset();
}

void OutputWriter::StartNewFile(const StationBuffer& station, ChannelBuffer& buffer) {
  EndCurrentFile(buffer);
  std::string path = TqfRelativePath(station.name, buffer.name, buffer.pending_start);
  // A file made again at its path (the same raw file converted twice in a
  // run) takes the place of the one this run made there: that one's row is
  // sent first, so that whatever becomes of the new file, the old one and
  // its row still agree, and its row can never overwrite the new one later.
  for (auto it = m_ended.begin(); it != m_ended.end();) {
    if (it->RelativePath() != path) {
      ++it;
      continue;
    }
    it->Confirm();
    m_context.rows.Send(m_context.catalogue);  // rare (a raw file converted twice): its own commit
    it = m_ended.erase(it);
  }
  buffer.file.emplace(m_context, m_output_root, std::move(path), buffer.pending_start,
                      FileDescription{station.name, buffer.name, buffer.sampling_rate,
                                      buffer.calibration_value, buffer.calibration_period});
  buffer.file->Create(buffer.pending, buffer.pending_duration);
  if (!buffer.file->Extendable()) EndCurrentFile(buffer);
}

void OutputWriter::ExtendCurrentFile(StationBuffer& station, ChannelBuffer& buffer) {
  OutputFile& file = *buffer.file;
  if (m_coalesce && !file.KeptOpen()) MakeRoomForKeptFile();
  if (file.Extend(buffer.pending, buffer.pending_duration, m_coalesce) && !m_coalesce)
    file.Confirm();
  // A file is closed once it holds more than an hour less one second, so
  // that a file which has reached a whole hour (36 blocks of 100 s) closes
  // at once instead of taking one block more; the next flush begins another.
  // A file this writer may no longer extend is given up at once.
  if (!file.Extendable() || file.Duration() > station.max_file_minutes * 60 - 1)
    EndCurrentFile(buffer);
}

void OutputWriter::MakeRoomForKeptFile() {
  OutputFile* oldest = nullptr;
  std::size_t kept = 0;
  for (StationBuffer& station : m_stations) {
    for (ChannelBuffer& channel : station.channels) {
      if (!channel.file || !channel.file->KeptOpen()) continue;
      ++kept;
      if (oldest == nullptr || channel.file->LastUse() < oldest->LastUse()) oldest = &*channel.file;
    }
  }
  if (kept >= m_kept_limit && oldest != nullptr) oldest->Close();
}

std::optional<StationLockRefusal> OutputWriter::LockStation(const std::string& station,
                                                            double wait_seconds,
                                                            const std::function<bool()>& stop) {
  if (HoldsStationLock(station)) return std::nullopt;
  // Without an output root there is no folder to lock, and nothing is written.
  if (m_output_root.empty()) return std::nullopt;
  const std::string lock_path = StationLockPath(m_output_root, station);
  StationLockRefusal refusal;
  refusal.lock_file = Cp1251ToUtf8(lock_path);
  // Reached and made as the station's files are, so that a link planted in
  // the folder's place is found before anything is written, and the lock
  // file is never made through one.
  const WalkedFolder folder = OutputFolder(m_output_root, FileNameForm(station), /*make=*/true);
  if (!folder.IsOpen()) {
    // A station folder that cannot even be made holds nothing to protect:
    // every write there fails, and says so.
    if (!folder.Failure().Refused()) return std::nullopt;
    m_failures.FileFailed(WalkFailed(FileOperation::kCreate, lock_path, folder.Failure()));
    refusal.reason = StationLockRefusal::Reason::kOutputRefused;
    return refusal;
  }
  FileLock lock;
  switch (lock.Acquire(folder, kStationLockFile, wait_seconds, stop)) {
    case FileLock::Result::kLocked:
      m_station_locks.emplace(station, std::move(lock));
      return std::nullopt;
    case FileLock::Result::kStopped:
      refusal.reason = StationLockRefusal::Reason::kStopped;
      break;
    case FileLock::Result::kUnavailable:
      refusal.system_error = lock.Error();
      // A link in the lock file's place is refused as one at an output name is.
      if (refusal.system_error == ELOOP) {
        m_failures.FileFailed({FileOperation::kCreate, refusal.lock_file, ELOOP});
        refusal.reason = StationLockRefusal::Reason::kOutputRefused;
        break;
      }
      refusal.reason = StationLockRefusal::Reason::kUnavailable;
      ++m_locked_out;
      break;
    case FileLock::Result::kHeldElsewhere:
      ++m_locked_out;
      break;
  }
  return refusal;
}

void OutputWriter::ReportRawDataLeft(const RawDataLeft& left) {
  const bool unreadable =
      left.what == RawDataLeft::What::kFolder || left.what == RawDataLeft::What::kFile;
  if (unreadable && !m_unreadable_this_command.emplace(left.what, left.path).second) return;
  ++m_raw_data_left;
  m_errors.RawDataWasLeft(left);
}

void OutputWriter::EndCommand() {
  m_unreadable_this_command.clear();
  m_errors.CommandEnded();
}

bool OutputWriter::HoldsStationLock(const std::string& station) const {
  return m_station_locks.contains(station);
}

void OutputWriter::UnlockStation(const std::string& station) {
  m_station_locks.erase(station);
  // Another converter may write the station's rows once the lock is gone.
  std::erase_if(m_latest_rows, [&](const auto& entry) { return entry.first.first == station; });
  std::erase_if(m_held_times, [&](const auto& entry) { return entry.first.first == station; });
}

}  // namespace korvel
