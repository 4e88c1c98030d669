#include "seed/sds_export.h"

#include <libmseed.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <fstream>
#include <locale>
#include <map>
#include <set>
#include <sstream>

#include "config/settings.h"
#include "engine/archive_check.h"
#include "engine/catalogue.h"
#include "engine/station_lock.h"
#include "engine/tqf_file.h"
#include "engine/tqf_header.h"
#include "platform/file_io.h"
#include "platform/file_lock.h"
#include "platform/native_path.h"
#include "platform/text1251.h"
#include "seed/sds_day_file.h"
#include "seed/seed_codes.h"

namespace korvel {
namespace {

constexpr std::int64_t kDay = 86400 * kMicroseconds;

std::string Utf8(const std::string& text1251) { return DisplayName(text1251); }

std::string TimeText(std::int64_t t) {
  char text[32];
  ms_hptime2isotimestr(t, text, 1);
  return text;
}

// What this program wrote into one folder of the tree: name, size, time of
// change (nanoseconds).
class Manifest {
 public:
  explicit Manifest(std::filesystem::path folder) : m_file(std::move(folder) / kSdsManifestName) {
    std::ifstream in(m_file);
    in.imbue(std::locale::classic());  // numbers never grouped by a global locale
    std::string name;
    std::uintmax_t size;
    long long changed;
    while (in >> name >> size >> changed) m_entries[name] = {size, changed};
  }
  // The file is as this program left it.
  bool Wrote(const std::filesystem::path& file) const {
    const auto entry = m_entries.find(file.filename().string());
    return entry != m_entries.end() && entry->second == Stamp(file);
  }
  bool Note(const std::filesystem::path& file) {
    m_entries[file.filename().string()] = Stamp(file);
    std::ostringstream out;
    out.imbue(std::locale::classic());
    for (const auto& [name, stamp] : m_entries)
      out << name << '\t' << stamp.first << '\t' << stamp.second << '\n';
    return ReplaceFileContents(m_file, out.str());
  }

 private:
  static std::pair<std::uintmax_t, long long> Stamp(const std::filesystem::path& file) {
    std::error_code ec;
    const std::uintmax_t size = std::filesystem::file_size(file, ec);
    const auto changed = std::filesystem::last_write_time(file, ec);
    return {ec ? 0 : size, ec ? 0 : static_cast<long long>(changed.time_since_epoch().count())};
  }
  std::filesystem::path m_file;
  std::map<std::string, std::pair<std::uintmax_t, long long>> m_entries;
};

std::string ReadWhole(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The part of one TQF file that the export takes: samples [first, last) of
// the file, sample i at start + i/rate (microseconds, as libmseed counts).
struct SourceSpan {
  std::filesystem::path file;
  std::uint64_t data_offset = 0;
  std::int64_t start = 0;
  double rate = 0.0;
  std::size_t first = 0, last = 0;

  std::int64_t TimeOf(std::size_t i) const {
    return start + std::llround(static_cast<double>(i) * kMicroseconds / rate);
  }
  // The first sample in [first, last] at or after `t`.
  std::size_t IndexAt(std::int64_t t) const {
    const double estimate = std::ceil(static_cast<double>(t - start) * rate / kMicroseconds);
    auto i = static_cast<std::size_t>(
        std::clamp(estimate, static_cast<double>(first), static_cast<double>(last)));
    while (i > first && TimeOf(i - 1) >= t) --i;
    while (i < last && TimeOf(i) < t) ++i;
    return i;
  }
};

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
      m_report.problems.push_back(
          "station " + Utf8(station) +
          ": not a SEED station code (1 to 5 upper-case Latin letters and digits); not exported");
      return;
    }
    FileLock lock;
    if (m_request.lock) {
      if (const auto refusal = LockStationFolder(lock, m_tqf_root, station, m_request.lock_wait)) {
        m_report.problems.push_back(StationLockRefusalText(station, *refusal) + "; not exported");
        return;
      }
    }
    std::map<std::string, ChannelExport> channels;  // by SEED channel code
    for (const SdsRow& row : rows(station)) AddRow(station, row, channels);
    for (auto& [code, channel] : channels) WriteChannel(channel);
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
    const std::string name = Utf8(station) + " " + Utf8(channel);
    if (!mapped.empty()) {
      if (IsSeedCode(mapped, 3, 3)) return mapped;
      if (m_told.insert(station + '\n' + channel).second)
        m_report.problems.push_back(name + ": [SEED." + Utf8(station) + "] " + Utf8(channel) + "=" +
                                    Utf8(mapped) +
                                    " is not a SEED channel code (3 upper-case Latin letters and "
                                    "digits); not exported");
      return std::nullopt;
    }
    if (auto code = DefaultSeedChannel(channel, rate)) return code;
    if (m_told.insert(station + '\n' + channel).second)
      m_report.warnings.push_back(name + ": no SEED channel code; add [SEED." + Utf8(station) +
                                  "] " + Utf8(channel) + "=CODE to korvel2tqf.ini; skipped");
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

  // The file's samples inside the window, timed by its row; the header must
  // agree (it holds whole seconds only, so the row's start is the exact one).
  std::optional<SourceSpan> SpanOf(const std::filesystem::path& file, const std::string& station,
                                   const SdsRow& row) {
    const std::string name = DisplayPath(file);
    const std::optional<TqfFileHead> head = ReadTqfFileHead(file);
    std::optional<TqfHeaderFields> fields;
    if (head && head->header) fields = ParseTqfHeader(*head->header).fields;
    if (!fields) {
      m_report.problems.push_back(name + ": not a readable TQF file; not exported");
      return std::nullopt;
    }
    const double rate = fields->sampling_rate;
    if (fields->station != station || fields->channel != row.channel ||
        std::fabs(rate - *row.sps) > 1e-9 * rate || std::floor(*row.tbegin) != fields->start) {
      m_report.problems.push_back(name +
                                  ": its header and its catalogue row disagree (verify "
                                  "tells how); not exported");
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

  // Samples [a, b) of the span's file.
  std::optional<SampleSegment> ReadPart(const SourceSpan& span, std::size_t a, std::size_t b) {
    SampleSegment segment{span.TimeOf(a), span.rate, std::vector<float>(b - a)};
    std::ifstream in(span.file, std::ios::binary);
    in.seekg(static_cast<std::streamoff>(span.data_offset + 4 * a));
    in.read(reinterpret_cast<char*>(segment.samples.data()),
            static_cast<std::streamsize>(4 * segment.samples.size()));
    if (!in) {
      m_report.problems.push_back(DisplayPath(span.file) + ": cannot be read; not exported");
      return std::nullopt;
    }
    return segment;
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
      m_report.samples += span.last - span.first;
      for (std::int64_t day = DayOf(begins(span)); day <= DayOf(span.TimeOf(span.last - 1)); ++day)
        days.insert(day);
      if (i == 0) continue;
      const SourceSpan& before = spans[i - 1];
      const std::int64_t end = before.TimeOf(before.last);
      const auto half = static_cast<std::int64_t>(0.5 * kMicroseconds / before.rate);
      if (begins(span) < end - half)
        m_report.problems.push_back("overlap\t" + channel.codes.station + "\t" +
                                    channel.codes.channel + "\t" + TimeText(begins(span)) + "\t" +
                                    TimeText(std::min(end, span.TimeOf(span.last))) +
                                    "\tboth kept");
    }
    for (const std::int64_t day : days) {
      std::vector<SampleSegment> pieces;
      for (const SourceSpan& span : spans) {
        const std::size_t a = span.IndexAt(day * kDay), b = span.IndexAt((day + 1) * kDay);
        if (a == b) continue;
        std::optional<SampleSegment> piece = ReadPart(span, a, b);
        if (!piece) return;
        pieces.push_back(std::move(*piece));
      }
      WriteDay(channel.codes, day, std::move(pieces));
    }
  }

  static std::int64_t DayOf(std::int64_t t) { return t / kDay - (t % kDay < 0 ? 1 : 0); }

  void WriteDay(const SeedCodes& codes, std::int64_t day, std::vector<SampleSegment> pieces) {
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
    const std::filesystem::path directory = m_request.root / folder;
    const std::filesystem::path file = directory / name;
    std::error_code ec;
    std::filesystem::create_directories(directory, ec);
    Manifest manifest(directory);
    std::vector<SampleSegment> older;
    std::string before;
    if (std::filesystem::exists(file, ec)) {
      std::optional<std::vector<SampleSegment>> held;
      if (manifest.Wrote(file)) held = ReadDayFile(file, codes);
      if (!held) {
        m_report.day_files.emplace_back(relative, SdsOutcome::kLeft);
        m_report.problems.push_back(relative +
                                    ": written by another program, or changed since this one "
                                    "wrote it; left as it is");
        return;
      }
      older = std::move(*held);
      before = ReadWhole(file);
    }
    const std::string bytes = PackDayFile(codes, MergeByTime(older, std::move(pieces)));
    if (bytes.empty()) {
      m_report.day_files.emplace_back(relative, SdsOutcome::kLeft);
      m_report.problems.push_back(relative + ": libmseed could not pack the records; not written");
      return;
    }
    if (bytes == before) {
      m_report.day_files.emplace_back(relative, SdsOutcome::kUnchanged);
      return;
    }
    if (!ReplaceFileContents(file, bytes) || !manifest.Note(file)) {
      m_report.day_files.emplace_back(relative, SdsOutcome::kLeft);
      m_report.problems.push_back(relative + ": cannot be written: " + std::strerror(errno));
      return;
    }
    m_report.day_files.emplace_back(relative, SdsOutcome::kWritten);
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
    report.problems.push_back("[SEED] LOC=" + Utf8(location) +
                              " is not a SEED location code (empty, or 1 or 2 upper-case Latin "
                              "letters and digits); nothing exported");
    return report;
  }
  StationExport exporter(request, report, network, location);
  for (const std::string& station : request.stations) exporter.Run(station, rows);
  return report;
}

}  // namespace korvel
