#include "engine/output_writer.h"

#include <cmath>

#include "engine/tqf_file.h"
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

}  // namespace

void OutputWriter::AppendBlock(const std::string& station, const std::string& channel,
                               double rate, double cal, double per, EpochSeconds t, int count,
                               const float* samples) {
  std::size_t s = 0;
  while (s < m_stations.size() && m_stations[s].name != station) ++s;
  if (s == m_stations.size()) m_stations.push_back({station, {}, kMaxFileMinutes, 0});

  std::vector<ChannelBuffer>& channels = m_stations[s].channels;
  std::size_t c = 0;
  while (c < channels.size() && !EqualNoCase1251(channels[c].name, channel)) ++c;
  if (c == channels.size()) {
    ChannelBuffer fresh;
    fresh.sampling_rate = rate;
    fresh.name = channel;
    fresh.calibration_value = cal;
    fresh.calibration_period = per;
    fresh.pending.reserve(kBlockSize);
    channels.push_back(std::move(fresh));
  }

  if (TakesOtherValues(channels[c], rate, cal, per)) {
    FlushChannel(s, c);
    ChannelBuffer& buffer = m_stations[s].channels[c];
    buffer.file_start = 0.0;
    buffer.file_duration = 0.0;
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
  if (std::fabs(buffer.pending_start + buffer.pending_duration - t) > dt ||
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
    b.pending_start = 0.0;
    b.pending_duration = 0.0;
    return;
  }
  const bool continues =
      std::fabs(b.file_start + b.file_duration - b.pending_start) <= 1.0 / b.sampling_rate;
  if (!continues) {
    CloseKeptFile(b);
    b.file_start = b.pending_start;
    b.file_duration = b.pending_duration;
    b.relative_path = TqfRelativePath(station.name, b.name, b.file_start);
  }
  bool written = false;
  if (continues && m_coalesce) {
    if (b.kept_path != b.relative_path) CloseKeptFile(b);
    written = AppendTqfSamples(b.kept_fd, TqfFullPath(m_output_root, b.relative_path), b.pending, m_notifier);
    b.kept_path = b.kept_fd >= 0 ? b.relative_path : std::string();
  } else {
    written = continues
                  ? ExtendTqfFile(TqfFullPath(m_output_root, b.relative_path), b.pending, m_notifier)
                  : CreateTqfFile(m_output_root, b.relative_path,
                                  BuildHeader(station.name, b.name, b.sampling_rate, b.file_start),
                                  b.pending, m_notifier);
  }
  const double written_duration = b.pending_duration;
  // The samples are on disk (or dropped) before the catalogue is asked, so a
  // catalogue error can never make them be written twice.
  b.pending.clear();
  b.pending_start = 0.0;
  b.pending_duration = 0.0;
  if (!written) return;

  if (!continues) {
    // A file made again at the same path replaces the old one: an update
    // held back for the old file must not overwrite the new row later.
    std::erase_if(m_stale_rows, [&](const StaleRow& row) { return row.relative_path == b.relative_path; });
    m_catalogue.RegisterNewFile(b.relative_path, station.name, b.name, b.file_start,
                                b.file_duration, b.sampling_rate, b.calibration_value,
                                b.calibration_period, 1, kDataTypeFloat);
    return;
  }
  b.file_duration += written_duration;
  const std::string path = b.relative_path;
  const EpochSeconds start = b.file_start;
  const double duration = b.file_duration;
  if (b.file_duration > station.max_file_minutes * 60 - 1) {
    b.file_start = 0.0;
    b.file_duration = 0.0;
  }
  if (!m_coalesce) {
    m_catalogue.UpdateFileRecord(path, station.name, b.name, start, duration, b.sampling_rate, 1,
                                 kDataTypeFloat);
    return;
  }
  const StaleRow latest{path, station.name, b.name, start, duration, b.sampling_rate};
  for (StaleRow& row : m_stale_rows) {
    if (row.relative_path == path) {
      row = latest;
      return;
    }
  }
  m_stale_rows.push_back(latest);
}

OutputWriter::~OutputWriter() { CloseKeptFiles(); }

void OutputWriter::CloseKeptFile(ChannelBuffer& b) {
  if (b.kept_fd < 0) return;
  const std::string path = b.kept_path;
  b.kept_path.clear();
  if (CloseTqfFile(b.kept_fd, TqfFullPath(m_output_root, path), m_notifier)) return;
  std::erase_if(m_stale_rows, [&](const StaleRow& row) { return row.relative_path == path; });
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
    }
  } catch (...) {
    m_stale_rows.erase(m_stale_rows.begin(), m_stale_rows.begin() + static_cast<std::ptrdiff_t>(sent));
    throw;
  }
  m_stale_rows.clear();
}

void OutputWriter::FlushAll() {
  for (std::size_t s = 0; s < m_stations.size(); ++s)
    for (std::size_t c = 0; c < m_stations[s].channels.size(); ++c) FlushChannel(s, c);
}

}  // namespace korvel
