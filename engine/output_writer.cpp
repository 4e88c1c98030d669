#include "engine/output_writer.h"

#include <algorithm>
#include <cmath>

#include "engine/tqf_file.h"
#include "platform/open_files.h"
#include "platform/text1251.h"

namespace korvel {
namespace {

// A new file is written under its name plus this and moved into place once
// its row is in the catalogue.
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

OutputWriter::OutputWriter(Catalogue& catalogue, Notifier& notifier)
    : m_catalogue(catalogue),
      m_notifier(notifier),
      // A quarter of what the process may open, so that raw files, the
      // catalogue's driver and new output files always find descriptors.
      m_kept_limit(std::clamp<std::size_t>(OpenFileLimit() / 4, 1, kMaxKeptFiles)) {}

OutputWriter::~OutputWriter() { CloseKeptFiles(); }

std::size_t OutputWriter::FindStation(const std::string& station) {
  std::size_t s = 0;
  while (s < m_stations.size() && m_stations[s].name != station) ++s;
  if (s == m_stations.size()) {
    StationBuffer fresh;
    fresh.name = station;
    fresh.file_name = UniqueFileName(station, m_stations);
    m_stations.push_back(std::move(fresh));
  }
  return s;
}

std::size_t OutputWriter::FindChannel(std::size_t s, const std::string& channel, double rate,
                                      double cal, double per) {
  std::vector<ChannelBuffer>& channels = m_stations[s].channels;
  std::size_t c = 0;
  while (c < channels.size() && !EqualNoCase1251(channels[c].name, channel)) ++c;
  if (c == channels.size()) {
    ChannelBuffer fresh;
    fresh.sampling_rate = rate;
    fresh.name = channel;
    fresh.file_name = UniqueFileName(channel, channels);
    fresh.calibration_value = cal;
    fresh.calibration_period = per;
    fresh.pending.reserve(kBlockSize);
    channels.push_back(std::move(fresh));
  }
  return c;
}

void OutputWriter::AppendBlock(const std::string& station, const std::string& channel,
                               double rate, double cal, double per, EpochSeconds t, int count,
                               const float* samples) {
  const std::size_t s = FindStation(station);
  const std::size_t c = FindChannel(s, channel, rate, cal, per);

  if (TakesOtherValues(m_stations[s].channels[c], rate, cal, per)) {
    FlushChannel(s, c);
    ChannelBuffer& buffer = m_stations[s].channels[c];
    CloseKeptFile(buffer);
    buffer.has_file = false;
    buffer.sampling_rate = rate;
    buffer.calibration_value = cal;
    buffer.calibration_period = per;
    MakePending(buffer, t, count / rate, count, samples);
    return;
  }

  ChannelBuffer& buffer = m_stations[s].channels[c];
  const double dt = 1.0 / rate;
  const double duration = count * dt;
  const int pending_count = static_cast<int>(buffer.pending.size());
  // Nothing pending never continues, whatever the block's start and interval.
  if (buffer.pending.empty() ||
      std::fabs(buffer.pending_start + buffer.pending_duration - t) > dt ||
      pending_count + count > kMergeLimit || buffer.sampling_rate <= 1.0) {
    FlushChannel(s, c);
    MakePending(m_stations[s].channels[c], t, duration, count, samples);
    return;
  }
  buffer.pending.insert(buffer.pending.end(), samples, samples + count);
  buffer.pending_duration += duration;
}

void OutputWriter::FlushChannel(std::size_t s, std::size_t c) {
  ++m_flushes;
  StationBuffer& station = m_stations[s];
  m_catalogue.DiskSpaceGuard(m_output_root, station.extra_space, station.name);
  ChannelBuffer& b = station.channels[c];
  if (b.pending.empty()) {
    ClearPending(b);
    return;
  }
  const bool continues =
      b.has_file &&
      std::fabs(b.file_start + b.file_duration - b.pending_start) <= 1.0 / b.sampling_rate;
  if (!continues) StartNewFile(station, b);
  const bool written = WritePending(station, b, continues);
  const double written_duration = b.pending_duration;
  const auto written_samples = static_cast<std::uint64_t>(b.pending.size());
  // The samples are on disk (or dropped) before the catalogue is asked, so a
  // catalogue error can never make them be written twice.
  ClearPending(b);
  if (!written) {
    ++m_output_failures;
    return;
  }
  b.file_samples += written_samples;
  if (continues)
    RecordExtension(station, b, written_duration);
  else
    RecordNewFile(station, b);
}

void OutputWriter::StartNewFile(const StationBuffer& station, ChannelBuffer& b) {
  CloseKeptFile(b);
  // A file that is not created keeps its place as the current file, so that
  // the next continuing flush tries it again and reports it.
  b.has_file = true;
  b.file_start = b.pending_start;
  b.file_duration = b.pending_duration;
  b.relative_path = TqfRelativePath(station.file_name, b.file_name, b.file_start);
  b.file_samples = 0;
  b.confirmed_samples = 0;
  b.confirmed_duration = 0.0;
}

bool OutputWriter::WritePending(const StationBuffer& station, ChannelBuffer& b, bool continues) {
  const std::string full = TqfFullPath(m_output_root, b.relative_path);
  if (!continues)
    return CreateTqfFile(m_output_root, b.relative_path,
                         BuildHeader(station.name, b.name, b.sampling_rate, b.file_start),
                         b.pending, m_notifier, kStagingSuffix);
  if (!m_coalesce) return ExtendTqfFile(full, b.pending, m_notifier);
  if (b.kept_path != b.relative_path) CloseKeptFile(b);
  if (b.kept_fd < 0) MakeRoomForKeptFile();
  const bool written = AppendTqfSamples(b.kept_fd, full, b.pending, m_notifier);
  b.kept_path = b.kept_fd >= 0 ? b.relative_path : std::string();
  b.kept_use = ++m_use_clock;
  return written;
}

void OutputWriter::RecordNewFile(const StationBuffer& station, ChannelBuffer& b) {
  // A file made again at the same path replaces the old one: an update
  // held back for the old file must not overwrite the new row later.
  std::erase_if(m_stale_rows, [&](const StaleRow& row) { return row.relative_path == b.relative_path; });
  const std::string full = TqfFullPath(m_output_root, b.relative_path);
  const std::string staged = full + kStagingSuffix;
  try {
    m_catalogue.RegisterNewFile(b.relative_path, station.name, b.name, b.file_start,
                                b.file_duration, b.sampling_rate, b.calibration_value,
                                b.calibration_period, 1, kDataTypeFloat);
  } catch (const CatalogueError&) {
    // No row, no file; and a file that an earlier row names is still whole,
    // since the new one never took its place.
    RemoveTqfFile(staged, m_notifier);
    b.has_file = false;
    throw;
  }
  if (!CommitTqfFile(staged, full, m_notifier)) {
    ++m_output_failures;
    b.has_file = false;
    return;
  }
  b.confirmed_samples = b.file_samples;
  b.confirmed_duration = b.file_duration;
}

void OutputWriter::RecordExtension(StationBuffer& station, ChannelBuffer& b,
                                   double written_duration) {
  b.file_duration += written_duration;
  const StaleRow latest{b.relative_path,     station.name,  b.name,
                        b.file_start,        b.file_duration, b.sampling_rate,
                        b.file_samples,      b.confirmed_samples, b.confirmed_duration};
  // Past the longest file the file is closed: the next flush begins another.
  if (b.file_duration > station.max_file_minutes * 60 - 1) {
    CloseKeptFile(b);
    b.has_file = false;
  }
  if (m_coalesce) {
    HoldBackRow(latest);
    return;
  }
  try {
    m_catalogue.UpdateFileRecord(latest.relative_path, latest.station, latest.channel,
                                 latest.start, latest.duration, latest.sampling_rate, 1,
                                 kDataTypeFloat);
  } catch (const CatalogueError&) {
    CutBackToRow(latest.relative_path, latest.confirmed_samples);
    throw;
  }
  b.confirmed_samples = latest.samples;
  b.confirmed_duration = latest.duration;
}

void OutputWriter::HoldBackRow(const StaleRow& latest) {
  for (StaleRow& row : m_stale_rows) {
    if (row.relative_path == latest.relative_path) {
      const std::uint64_t confirmed = row.confirmed_samples;
      const double confirmed_duration = row.confirmed_duration;
      row = latest;
      row.confirmed_samples = confirmed;
      row.confirmed_duration = confirmed_duration;
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
    CloseKeptFile(*owner);
    owner->has_file = false;
  }
  for (StationBuffer& station : m_stations)
    for (ChannelBuffer& channel : station.channels)
      if (channel.kept_path == relative_path) CloseKeptFile(channel);
  CutBackTqfFile(TqfFullPath(m_output_root, relative_path), confirmed_samples, m_notifier);
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

void OutputWriter::CloseKeptFile(ChannelBuffer& b) {
  if (b.kept_fd < 0) return;
  const std::string path = b.kept_path;
  b.kept_path.clear();
  if (CloseTqfFile(b.kept_fd, TqfFullPath(m_output_root, path), m_notifier)) return;
  // What reached the disk is unknown: back to what the row says.
  ++m_output_failures;
  const auto held = std::find_if(m_stale_rows.begin(), m_stale_rows.end(),
                                 [&](const StaleRow& row) { return row.relative_path == path; });
  if (held == m_stale_rows.end()) return;
  const std::uint64_t confirmed = held->confirmed_samples;
  m_stale_rows.erase(held);
  CutBackToRow(path, confirmed);
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
      if (ChannelBuffer* owner = CurrentFileOwner(row.relative_path)) {
        owner->confirmed_samples = row.samples;
        owner->confirmed_duration = row.duration;
      }
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

void OutputWriter::DiscardPending() {
  for (StationBuffer& station : m_stations)
    for (ChannelBuffer& channel : station.channels) ClearPending(channel);
}

void OutputWriter::FlushAll() {
  for (std::size_t s = 0; s < m_stations.size(); ++s)
    for (std::size_t c = 0; c < m_stations[s].channels.size(); ++c) FlushChannel(s, c);
}

}  // namespace korvel
