#include "seed/sds_export.h"

#include <libmseed.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <set>

#include "config/settings.h"
#include "engine/archive_check.h"
#include "engine/catalogue.h"
#include "engine/station_lock.h"
#include "engine/tqf_file.h"
#include "engine/tqf_header.h"
#include "platform/file_lock.h"
#include "platform/native_path.h"
#include "platform/text1251.h"
#include "seed/sds_day_file.h"
#include "seed/sds_day_writer.h"
#include "seed/seed_codes.h"
#include "seed/tqf_header_guard.h"

namespace korvel {
namespace {

constexpr std::int64_t kDay = 86400 * kMicroseconds;

std::string Utf8(const std::string& text1251) { return DisplayName(text1251); }

// A remark on a station or one of its channels (code page 1251).
SdsRemark Remark(SdsRemarkKind kind, const std::string& station, const std::string& channel = {}) {
  SdsRemark remark;
  remark.kind = kind;
  remark.station = Utf8(station);
  remark.channel = Utf8(channel);
  return remark;
}

SdsRemark FileRemark(SdsRemarkKind kind, const std::string& file) {
  SdsRemark remark;
  remark.kind = kind;
  remark.subject = file;
  return remark;
}

std::string TimeText(std::int64_t t) {
  char text[32];
  ms_hptime2isotimestr(t, text, 1);
  return text;
}

// One channel's export: its SEED codes and the spans of its TQF files.
struct ChannelExport {
  SeedCodes codes;
  std::vector<SourceSpan> spans;
};

class StationExport {
 public:
  StationExport(const SdsRequest& request, SdsReport& report, std::string network,
                std::string location)
      : m_request(request),
        m_report(report),
        m_network(std::move(network)),
        m_location(std::move(location)),
        m_tqf_root(ReadDataRoot()) {}

  void Run(const std::string& station,
           const std::function<std::vector<SdsRow>(const std::string&)>& rows) {
    if (!IsSeedCode(station, 1, kSeedStationLength)) {
      m_report.problems.push_back(Remark(SdsRemarkKind::kNotSeedStation, station));
      return;
    }
    FileLock lock;
    if (m_request.lock) {
      if (const auto refusal = LockStationFolder(lock, m_tqf_root, station, m_request.lock_wait)) {
        SdsRemark remark = Remark(SdsRemarkKind::kStationLocked, station);
        remark.value = StationLockRefusalText(station, *refusal);
        m_report.problems.push_back(std::move(remark));
        return;
      }
    }
    std::map<std::string, ChannelExport> channels;  // by SEED channel code
    for (const SdsRow& row : rows(station)) AddRow(station, row, channels);
    for (auto& [code, channel] : channels)
      if (!m_report.stopped) WriteChannel(channel);
  }

 private:
  bool Selected(const std::string& station, const std::string& channel) const {
    if (m_request.channels.empty()) return true;
    return std::find(m_request.channels.begin(), m_request.channels.end(),
                     std::make_pair(station, channel)) != m_request.channels.end();
  }

  std::optional<std::string> SeedChannel(const std::string& station, const std::string& channel,
                                         double rate) {
    const std::string mapped = ReadSeedChannel(station, channel);
    if (!mapped.empty()) {
      if (IsSeedCode(mapped, 3, 3)) return mapped;
      if (m_told.insert(station + '\n' + channel).second) {
        SdsRemark remark = Remark(SdsRemarkKind::kBadSeedChannel, station, channel);
        remark.value = Utf8(mapped);
        m_report.problems.push_back(std::move(remark));
      }
      return std::nullopt;
    }
    if (auto code = DefaultSeedChannel(channel, rate)) return code;
    if (m_told.insert(station + '\n' + channel).second)
      m_report.warnings.push_back(Remark(SdsRemarkKind::kNoSeedChannel, station, channel));
    return std::nullopt;
  }

  void AddRow(const std::string& station, const SdsRow& row,
              std::map<std::string, ChannelExport>& channels) {
    if (row.creator != kOwnCreator || !row.tbegin || !row.tqty || !row.sps || !(*row.sps > 0.0) ||
        !Selected(station, row.channel))
      return;
    if (m_request.window && (*row.tbegin >= m_request.window->end ||
                             *row.tbegin + *row.tqty <= m_request.window->start))
      return;
    const std::optional<std::string> code = SeedChannel(station, row.channel, *row.sps);
    if (!code) return;
    const std::optional<std::string> below = PathBelowRoot(m_tqf_root, row.cpath);
    if (!below) return;  // names no file of the archive
    std::optional<SourceSpan> span =
        SpanOf(NativePath(TqfFullPath(m_tqf_root, *below)), station, row);
    if (!span || span->first == span->last) return;
    ChannelExport& channel = channels[*code];
    channel.codes = {m_network, station, m_location, *code};
    channel.spans.push_back(std::move(*span));
  }

  // The file's samples inside the window, timed and paced by its row; the
  // header only has to be this row's file.
  std::optional<SourceSpan> SpanOf(const std::filesystem::path& file, const std::string& station,
                                   const SdsRow& row) {
    const std::string name = DisplayPath(file);
    const std::optional<TqfFileHead> head = ReadTqfFileHead(file);
    std::optional<TqfHeaderFields> fields;
    if (head && head->header) fields = ParseTqfHeader(*head->header).fields;
    if (!fields) {
      m_report.problems.push_back(FileRemark(SdsRemarkKind::kUnreadableTqf, name));
      return std::nullopt;
    }
    const double rate = *row.sps;
    if (!HeaderFitsRow(*fields, station, row.channel, rate, *row.tbegin)) {
      m_report.problems.push_back(FileRemark(SdsRemarkKind::kHeaderDisagrees, name));
      return std::nullopt;
    }
    SourceSpan span{file,
                    static_cast<std::uint64_t>(fields->data_offset),
                    std::llround(*row.tbegin * kMicroseconds),
                    rate,
                    0,
                    0};
    const std::uint64_t held =
        head->size > span.data_offset ? (head->size - span.data_offset) / 4 : 0;
    span.last = static_cast<std::size_t>(
        std::min<std::uint64_t>(held, static_cast<std::uint64_t>(std::llround(*row.tqty * rate))));
    if (m_request.window) {
      const std::size_t first = span.IndexAt(std::llround(m_request.window->start * kMicroseconds));
      span.last = span.IndexAt(std::llround(m_request.window->end * kMicroseconds));
      span.first = first;
    }
    return span;
  }

  // Day by day, so that a day's samples are all that is held at once.
  void WriteChannel(ChannelExport& channel) {
    std::vector<SourceSpan>& spans = channel.spans;
    const auto begins = [](const SourceSpan& s) { return s.TimeOf(s.first); };
    std::stable_sort(spans.begin(), spans.end(), [&](const SourceSpan& a, const SourceSpan& b) {
      return begins(a) < begins(b);
    });
    std::set<std::int64_t> days;
    for (std::size_t i = 0; i < spans.size(); ++i) {
      const SourceSpan& span = spans[i];
      for (std::int64_t day = DayOf(begins(span)); day <= DayOf(span.TimeOf(span.last - 1)); ++day)
        days.insert(day);
      if (i == 0) continue;
      const SourceSpan& before = spans[i - 1];
      const std::int64_t end = before.TimeOf(before.last);
      const auto half = static_cast<std::int64_t>(0.5 * kMicroseconds / before.rate);
      if (begins(span) < end - half) {
        SdsRemark overlap;
        overlap.kind = SdsRemarkKind::kOverlap;
        overlap.station = channel.codes.station;
        overlap.channel = channel.codes.channel;
        overlap.from = TimeText(begins(span));
        overlap.to = TimeText(std::min(end, span.TimeOf(span.last)));
        m_report.problems.push_back(std::move(overlap));
      }
    }
    for (const std::int64_t day : days) {
      std::vector<SourceSpan> pieces;
      for (const SourceSpan& span : spans) {
        SourceSpan piece = span;
        piece.first = span.IndexAt(day * kDay);
        piece.last = span.IndexAt((day + 1) * kDay);
        if (piece.first < piece.last) pieces.push_back(std::move(piece));
      }
      if (!WriteDay(channel.codes, day, pieces)) return;
    }
  }

  static std::int64_t DayOf(std::int64_t t) { return t / kDay - (t % kDay < 0 ? 1 : 0); }

  // False when a TQF file could not be read (the channel stops there), or
  // when the export is to stop.
  bool WriteDay(const SeedCodes& codes, std::int64_t day, const std::vector<SourceSpan>& pieces) {
    BTime time{};
    ms_hptime2btime(day * kDay, &time);
    char year[8], doy[8];
    std::snprintf(year, sizeof year, "%04u", static_cast<unsigned>(time.year));
    std::snprintf(doy, sizeof doy, "%03u", static_cast<unsigned>(time.day));
    const std::string folder =
        std::string(year) + "/" + codes.network + "/" + codes.station + "/" + codes.channel + ".D";
    const std::string name = codes.network + "." + codes.station + "." + codes.location + "." +
                             codes.channel + ".D." + year + "." + doy;
    const std::string relative = folder + "/" + name;
    if (m_request.go_on && !m_request.go_on(relative, m_report.day_files.size())) {
      m_report.stopped = true;
      return false;
    }
    // Counted by day, so that a stopped export counts only what it took.
    for (const SourceSpan& piece : pieces) m_report.samples += piece.last - piece.first;
    const std::filesystem::path directory = m_request.root / folder;
    std::error_code ec;
    std::filesystem::create_directories(directory, ec);
    const DayFileOutcome outcome = WriteDayFile(directory / name, relative, codes, pieces);
    m_report.day_files.emplace_back(relative, outcome.outcome);
    if (outcome.problem) m_report.problems.push_back(*outcome.problem);
    return !outcome.source_unreadable;
  }

  const SdsRequest& m_request;
  SdsReport& m_report;
  std::string m_network, m_location;
  std::string m_tqf_root;
  std::set<std::string> m_told;  // station and channel skipped and said so
};

}  // namespace

int SdsReport::Count(SdsOutcome outcome) const {
  return static_cast<int>(std::count_if(day_files.begin(), day_files.end(),
                                        [&](const auto& file) { return file.second == outcome; }));
}

SdsReport ExportToSds(const SdsRequest& request,
                      const std::function<std::vector<SdsRow>(const std::string& station)>& rows) {
  SdsReport report;
  const std::string network = ReadSeedNetwork();
  const std::string location = ReadSeedLocation();
  if (!IsSeedCode(network, 2, 2)) {
    report.no_network = true;
    return report;
  }
  if (!IsSeedCode(location, 0, 2)) {
    SdsRemark remark;
    remark.kind = SdsRemarkKind::kBadLocation;
    remark.value = Utf8(location);
    report.problems.push_back(std::move(remark));
    return report;
  }
  StationExport exporter(request, report, network, location);
  for (const std::string& station : request.stations)
    if (!report.stopped) exporter.Run(station, rows);
  return report;
}

}  // namespace korvel
