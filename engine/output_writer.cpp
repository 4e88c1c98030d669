#include "engine/output_writer.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "engine/tqf_file.h"
#include "engine/tqf_header.h"
#include "platform/native_path.h"
#include "platform/open_files.h"
#include "platform/text1251.h"

namespace korvel {
namespace {

// A new file whose name an older file holds is written under the name plus
// this, and moved over the older one once its row is in the catalogue: a
// refused row leaves the older file as its row says. A file of a new name is
// written in place, so that a crash between file and row leaves a file
// without a row, never a row without its file.
constexpr const char* kStagingSuffix = ".part";

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

// The name a station or channel takes in directory and file names: unsafe
// characters as "_", and where that gives the name of one met earlier ("SH Z"
// after "SH_Z"), "~2" after it, then "~3" and so on. Compared without regard
// to case, as a Windows disk would.
template <typename Buffers>
std::string UniqueFileName(const std::string& name, const Buffers& earlier) {
  const std::string safe = FileNameSafe(name, name.size());
  std::string candidate = safe;
  for (int n = 2;; ++n) {
    const bool taken = std::any_of(earlier.begin(), earlier.end(), [&](const auto& other) {
      return EqualNoCase1251(other.file_name, candidate);
    });
    if (!taken) return candidate;
    candidate = safe + "~" + std::to_string(n);
  }
}

}  // namespace

OutputWriter::OutputWriter(Catalogue& catalogue, FileErrorSink& errors)
    : m_catalogue(catalogue),
      m_errors(errors),
      // A quarter of what the process may open, so that raw files, the
      // catalogue's driver and new output files always find descriptors.
      m_kept_limit(std::clamp<std::size_t>(OpenFileLimit() / 4, 1, kMaxKeptFiles)) {}

OutputWriter::~OutputWriter() { CloseKeptFiles(); }

void OutputWriter::ReportFailure(const FileError& error) {
  ++m_output_failures;
  m_errors.FileFailed(error);
}

bool OutputWriter::Succeeded(FileResult result) {
  if (!result) return true;
  ReportFailure(*result);
  return false;
}

std::size_t OutputWriter::FindStation(const std::string& station) {
  std::size_t index = 0;
  while (index < m_stations.size() && m_stations[index].name != station) ++index;
  if (index == m_stations.size()) {
    StationBuffer fresh;
    fresh.name = station;
    fresh.file_name = UniqueFileName(station, m_stations);
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
    fresh.file_name = UniqueFileName(channel, channels);
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
  const std::size_t station = FindStation(station_name);
  const std::size_t channel = FindChannel(station, channel_name, rate, cal, per);

  if (TakesOtherValues(m_stations[station].channels[channel], rate, cal, per)) {
    FlushChannel(station, channel);
    ChannelBuffer& buffer = m_stations[station].channels[channel];
    CloseKeptFile(buffer);
    buffer.has_file = false;
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
  // Nothing pending never continues, whatever the block's start and interval.
  // At one sample per second or slower blocks are never merged: such a block
  // already spans hours, and merging would only hold its samples back.
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

// A flush in three steps: choose the file (the current one, when the pending
// samples continue it, or a new one), write the samples, record the row.
void OutputWriter::FlushChannel(std::size_t station_index, std::size_t channel_index) {
  ++m_flushes;
  StationBuffer& station = m_stations[station_index];
  m_catalogue.DiskSpaceGuard(m_output_root, station.extra_space, station.name);
  ChannelBuffer& buffer = station.channels[channel_index];
  if (buffer.pending.empty()) {
    ClearPending(buffer);
    return;
  }

  bool continues = ContinuesCurrentFile(buffer);
  if (!continues && m_continue) continues = TakeUpEarlierFile(station, buffer);
  if (!continues) StartNewFile(station, buffer);

  const double written_duration = buffer.pending_duration;
  const auto written_samples = static_cast<std::uint64_t>(buffer.pending.size());
  const bool written = WritePending(station, buffer, continues);
  // The samples are on disk (or dropped) before the catalogue is asked, so a
  // catalogue error can never make them be written twice.
  ClearPending(buffer);
  if (!written) return;

  buffer.file_samples += written_samples;
  if (continues)
    RecordExtension(station, buffer, written_duration);
  else
    RecordNewFile(station, buffer);
}

bool OutputWriter::ContinuesCurrentFile(const ChannelBuffer& buffer) const {
  // Within one sample interval of the file's end counts as continuing: the
  // recorder's clock and the sum of block lengths drift by a fraction of it.
  return buffer.has_file && std::fabs(buffer.file_start + buffer.file_duration -
                                      buffer.pending_start) <= 1.0 / buffer.sampling_rate;
}

bool OutputWriter::InUseHere(const std::string& relative_path) const {
  for (const StationBuffer& station : m_stations)
    for (const ChannelBuffer& channel : station.channels)
      if ((channel.has_file && channel.relative_path == relative_path) ||
          channel.kept_path == relative_path)
        return true;
  return std::any_of(m_stale_rows.begin(), m_stale_rows.end(),
                     [&](const StaleRow& row) { return row.relative_path == relative_path; });
}

bool OutputWriter::TakeUpEarlierFile(const StationBuffer& station, ChannelBuffer& buffer) {
  const double longest = station.max_file_minutes * 60 - 1;
  const double interval = 1.0 / buffer.sampling_rate;
  const EpochSeconds start = buffer.pending_start;
  // A file that these samples continue began at most its longest length and
  // an interval (or two, for a rate a hair apart) before them.
  const std::vector<CataloguedFile> rows = m_catalogue.OwnFilesStartingBetween(
      station.name, buffer.name, start - longest - 2 * interval, start);
  const CataloguedFile* latest = nullptr;
  for (const CataloguedFile& row : rows) {
    // The tests of an in-process file, applied to the row: it ends where
    // the samples begin and was not yet closed, with their rate and
    // calibration.
    if (!std::isfinite(row.tbegin) || !std::isfinite(row.tqty) || !(row.sps > 0.0) ||
        !std::isfinite(row.sps) || row.tqty < 0.0 || row.tqty > longest ||
        std::fabs(row.tbegin + row.tqty - start) > 1.0 / row.sps || !row.calib || !row.calper ||
        TakesOtherValues(buffer, row.sps, *row.calib, *row.calper))
      continue;
    if (latest == nullptr || row.tbegin > latest->tbegin) latest = &row;
  }
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

  CloseKeptFile(buffer);
  buffer.has_file = true;
  buffer.sampling_rate = latest->sps;  // as the earlier run's buffer kept it
  buffer.file_start = latest->tbegin;
  buffer.file_duration = latest->tqty;
  buffer.relative_path = latest->cpath;
  buffer.staged = false;
  buffer.file_samples = samples;
  buffer.confirmed_samples = samples;
  return true;
}

void OutputWriter::StartNewFile(const StationBuffer& station, ChannelBuffer& buffer) {
  CloseKeptFile(buffer);
  // A file that is not created keeps its place as the current file, so that
  // the next continuing flush tries it again and reports it.
  buffer.has_file = true;
  buffer.file_start = buffer.pending_start;
  buffer.file_duration = buffer.pending_duration;
  buffer.relative_path = TqfRelativePath(station.file_name, buffer.file_name, buffer.file_start);
  buffer.file_samples = 0;
  buffer.confirmed_samples = 0;
}

bool OutputWriter::WritePending(const StationBuffer& station, ChannelBuffer& buffer,
                                bool continues) {
  const std::string full = TqfFullPath(m_output_root, buffer.relative_path);
  if (!continues) {
    const FileResult created = CreateTqfFile(
        m_output_root, buffer.relative_path,
        BuildHeader(station.name, buffer.name, buffer.sampling_rate, buffer.file_start),
        buffer.pending, kStagingSuffix, &buffer.staged);
    // The name is an older file's: never to be extended as if it were this one.
    if (created && buffer.staged) buffer.has_file = false;
    return Succeeded(created);
  }
  if (!m_coalesce)
    return Extended(buffer, ExtendTqfFile(full, buffer.pending, buffer.file_samples));
  return AppendToKeptFile(buffer, full);
}

bool OutputWriter::Extended(ChannelBuffer& buffer, FileResult result) {
  // A file another program changed is left to it; the samples that follow
  // begin a file of their own.
  if (result && result->changed_elsewhere) buffer.has_file = false;
  return Succeeded(std::move(result));
}

bool OutputWriter::AppendToKeptFile(ChannelBuffer& buffer, const std::string& full_path) {
  if (buffer.kept_path != buffer.relative_path) CloseKeptFile(buffer);
  if (buffer.kept_fd < 0) {
    MakeRoomForKeptFile();
    // Opened at once, so that a missing file is reported with this flush.
    if (!Extended(buffer, AppendTqfSamples(buffer.kept_fd, full_path, {}, buffer.file_samples)))
      return false;
    buffer.kept_path = buffer.relative_path;
  }
  buffer.kept_use = ++m_use_clock;
  // The pending block itself joins the file's unwritten ones; pending gets a
  // spare, so no sample is copied twice.
  buffer.kept_samples += buffer.pending.size();
  buffer.kept_blocks.push_back(std::exchange(buffer.pending, SpareBlock()));
  return buffer.kept_samples < kKeptWriteSamples || WriteOutKeptFile(buffer);
}

std::vector<float> OutputWriter::SpareBlock() {
  if (m_spare_blocks.empty()) {
    std::vector<float> fresh;
    fresh.reserve(kBlockSize);
    return fresh;
  }
  std::vector<float> spare = std::move(m_spare_blocks.back());
  m_spare_blocks.pop_back();
  return spare;
}

void OutputWriter::RecycleKeptBlocks(ChannelBuffer& buffer) {
  for (std::vector<float>& block : buffer.kept_blocks) {
    block.clear();
    m_spare_blocks.push_back(std::move(block));
  }
  buffer.kept_blocks.clear();
  buffer.kept_samples = 0;
}

void OutputWriter::RecordNewFile(const StationBuffer& station, ChannelBuffer& buffer) {
  // A file made again at the same path replaces the old one: an update
  // held back for the old file must not overwrite the new row later.
  std::erase_if(m_stale_rows,
                [&](const StaleRow& row) { return row.relative_path == buffer.relative_path; });
  const std::string full = TqfFullPath(m_output_root, buffer.relative_path);
  const std::string staged = full + kStagingSuffix;
  try {
    m_catalogue.RegisterNewFile(buffer.relative_path, station.name, buffer.name, buffer.file_start,
                                buffer.file_duration, buffer.sampling_rate,
                                buffer.calibration_value, buffer.calibration_period, 1,
                                kDataTypeFloat);
  } catch (const CatalogueError&) {
    // No row, no file; and a file that an earlier row names is still whole,
    // since the new one never took its place.
    Succeeded(RemoveTqfFile(buffer.staged ? staged : full));
    buffer.has_file = false;
    throw;
  }
  if (buffer.staged && !Succeeded(CommitTqfFile(staged, full))) {
    // The older file stayed (Windows will not replace a file another program
    // holds open) and the new one is gone: the row just made names neither.
    // The older file's own rows went with the registration; it is left
    // uncatalogued, as verify then reports it.
    buffer.has_file = false;
    m_catalogue.ForgetOwnFile(buffer.relative_path);
    return;
  }
  buffer.confirmed_samples = buffer.file_samples;
}

void OutputWriter::RecordExtension(StationBuffer& station, ChannelBuffer& buffer,
                                   double written_duration) {
  buffer.file_duration += written_duration;
  const StaleRow latest{
      buffer.relative_path, station.name,         buffer.name,         buffer.file_start,
      buffer.file_duration, buffer.sampling_rate, buffer.file_samples, buffer.confirmed_samples};
  // A file is closed once it holds more than an hour less one second, so
  // that a file which has reached a whole hour (36 blocks of 100 s) closes
  // at once instead of taking one block more; the next flush begins another.
  const bool full = buffer.file_duration > station.max_file_minutes * 60 - 1;
  if (m_coalesce) {
    // Held back first: closing writes out the gathered samples, and a
    // failure there must find the row to cut the file back to.
    HoldBackRow(latest);
    if (full) {
      CloseKeptFile(buffer);
      buffer.has_file = false;
    }
    return;
  }
  if (full) buffer.has_file = false;
  try {
    m_catalogue.UpdateFileRecord(latest.relative_path, latest.station, latest.channel, latest.start,
                                 latest.duration, latest.sampling_rate, 1, kDataTypeFloat);
  } catch (const CatalogueError&) {
    CutBackToRow(latest.relative_path, latest.confirmed_samples);
    throw;
  }
  buffer.confirmed_samples = latest.samples;
}

void OutputWriter::HoldBackRow(const StaleRow& latest) {
  for (StaleRow& row : m_stale_rows) {
    if (row.relative_path == latest.relative_path) {
      // The row sent last is still what the catalogue says.
      const std::uint64_t confirmed = row.confirmed_samples;
      row = latest;
      row.confirmed_samples = confirmed;
      return;
    }
  }
  m_stale_rows.push_back(latest);
}

ChannelBuffer* OutputWriter::CurrentFileOwner(const std::string& relative_path) {
  for (StationBuffer& station : m_stations)
    for (ChannelBuffer& channel : station.channels)
      if (channel.has_file && channel.relative_path == relative_path) return &channel;
  return nullptr;
}

void OutputWriter::CutBackToRow(const std::string& relative_path, std::uint64_t confirmed_samples) {
  if (ChannelBuffer* owner = CurrentFileOwner(relative_path)) {
    DropKeptFile(*owner);
    owner->has_file = false;
  }
  for (StationBuffer& station : m_stations)
    for (ChannelBuffer& channel : station.channels)
      if (channel.kept_path == relative_path) DropKeptFile(channel);
  Succeeded(CutBackTqfFile(TqfFullPath(m_output_root, relative_path), confirmed_samples));
}

void OutputWriter::MakeRoomForKeptFile() {
  ChannelBuffer* oldest = nullptr;
  std::size_t kept = 0;
  for (StationBuffer& station : m_stations) {
    for (ChannelBuffer& channel : station.channels) {
      if (channel.kept_fd < 0) continue;
      ++kept;
      if (oldest == nullptr || channel.kept_use < oldest->kept_use) oldest = &channel;
    }
  }
  if (kept >= m_kept_limit && oldest != nullptr) CloseKeptFile(*oldest);
}

bool OutputWriter::WriteOutKeptFile(ChannelBuffer& buffer) {
  if (buffer.kept_blocks.empty()) return true;
  const FileResult result = AppendTqfSampleBlocks(
      buffer.kept_fd, TqfFullPath(m_output_root, buffer.kept_path), buffer.kept_blocks);
  RecycleKeptBlocks(buffer);
  if (Succeeded(result)) return true;
  // The failed write left the file as it was before it and closed it; the
  // row held back for it counted samples that are not there.
  const std::string path = buffer.kept_path;
  buffer.kept_path.clear();
  CutBackHeldRow(path);
  return false;
}

void OutputWriter::CloseKeptFile(ChannelBuffer& buffer) {
  if (buffer.kept_fd < 0) return;
  if (!WriteOutKeptFile(buffer)) return;
  const std::string path = buffer.kept_path;
  buffer.kept_path.clear();
  // What reached the disk is unknown when the close fails: back to what the row says.
  if (!Succeeded(CloseTqfFile(buffer.kept_fd, TqfFullPath(m_output_root, path))))
    CutBackHeldRow(path);
}

void OutputWriter::DropKeptFile(ChannelBuffer& buffer) {
  RecycleKeptBlocks(buffer);
  buffer.kept_path.clear();
  if (buffer.kept_fd >= 0) (void)CloseTqfFile(buffer.kept_fd, {});
}

void OutputWriter::CutBackHeldRow(const std::string& relative_path) {
  const auto held =
      std::find_if(m_stale_rows.begin(), m_stale_rows.end(),
                   [&](const StaleRow& row) { return row.relative_path == relative_path; });
  if (held == m_stale_rows.end()) return;
  const std::uint64_t confirmed = held->confirmed_samples;
  m_stale_rows.erase(held);
  CutBackToRow(relative_path, confirmed);
}

void OutputWriter::CloseKeptFiles() {
  for (StationBuffer& station : m_stations)
    for (ChannelBuffer& channel : station.channels) CloseKeptFile(channel);
}

void OutputWriter::BringRowsUpToDate() {
  std::size_t sent = 0;
  try {
    for (; sent < m_stale_rows.size(); ++sent) {
      const StaleRow& row = m_stale_rows[sent];
      m_catalogue.UpdateFileRecord(row.relative_path, row.station, row.channel, row.start,
                                   row.duration, row.sampling_rate, 1, kDataTypeFloat);
      if (ChannelBuffer* owner = CurrentFileOwner(row.relative_path))
        owner->confirmed_samples = row.samples;
    }
  } catch (const CatalogueError&) {
    const std::vector<StaleRow> unsent(m_stale_rows.begin() + static_cast<std::ptrdiff_t>(sent),
                                       m_stale_rows.end());
    m_stale_rows.clear();
    for (const StaleRow& row : unsent) CutBackToRow(row.relative_path, row.confirmed_samples);
    throw;
  }
  m_stale_rows.clear();
}

void OutputWriter::SettleAfterCatalogueError() {
  for (StationBuffer& station : m_stations)
    for (ChannelBuffer& channel : station.channels) ClearPending(channel);
  CloseKeptFiles();
  try {
    BringRowsUpToDate();
  } catch (const CatalogueError&) {
  }
}

bool OutputWriter::LockStation(const std::string& station_name, double wait_seconds) {
  if (HoldsStationLock(station_name)) return true;
  // Without an output root there is no folder to lock, and nothing is written.
  if (m_output_root.empty()) return true;
  const StationBuffer& station = m_stations[FindStation(station_name)];
  const std::filesystem::path folder = NativePath(TqfFullPath(m_output_root, station.file_name));
  std::error_code ignored;
  std::filesystem::create_directory(folder, ignored);  // the root itself must be there
  FileLock lock;
  switch (lock.Acquire(folder / kStationLockFile, wait_seconds)) {
    case FileLock::Result::kLocked:
      m_station_locks.emplace(station_name, std::move(lock));
      return true;
    case FileLock::Result::kUnavailable:
      return true;
    case FileLock::Result::kHeldElsewhere:
      break;
  }
  ++m_locked_out;
  return false;
}

bool OutputWriter::HoldsStationLock(const std::string& station) const {
  return m_station_locks.contains(station);
}

void OutputWriter::UnlockStations() { m_station_locks.clear(); }

void OutputWriter::FlushAll() {
  for (std::size_t station = 0; station < m_stations.size(); ++station)
    for (std::size_t channel = 0; channel < m_stations[station].channels.size(); ++channel)
      FlushChannel(station, channel);
}

}  // namespace korvel
