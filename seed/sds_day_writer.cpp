#include "seed/sds_day_writer.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <fstream>
#include <functional>
#include <optional>
#include <span>

#include <libmseed.h>

#include "platform/file_io.h"
#include "platform/native_path.h"
#include "seed/day_file_scan.h"
#include "seed/record_packer.h"
#include "seed/sds_manifest.h"

namespace korvel {
namespace {

// Samples read from a TQF file at once, and bytes of records written at once.
constexpr std::size_t kReadSamples = 1 << 16;
constexpr std::size_t kWriteBytes = 1 << 20;

std::string ReadWhole(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The span's samples a buffer at a time; false when the file cannot be
// read or `visit` says stop.
bool ForEachBuffer(const SourceSpan& span, std::vector<float>& buffer,
                   const std::function<bool(std::span<const float>)>& visit) {
  std::ifstream in(span.file, std::ios::binary);
  in.seekg(static_cast<std::streamoff>(span.data_offset + 4 * span.first));
  for (std::size_t i = span.first; i < span.last;) {
    const std::size_t n = std::min(buffer.size(), span.last - i);
    in.read(reinterpret_cast<char*>(buffer.data()), static_cast<std::streamsize>(4 * n));
    if (!in || !visit(std::span<const float>(buffer.data(), n))) return false;
    i += n;
  }
  return static_cast<bool>(in);
}

// The day's pieces as the segments they make: those that continue each
// other are one, as JoinSegments joins them.
struct PlannedSegment {
  SampleSegment at;  // its start and rate; no samples
  std::size_t count = 0;
  std::vector<SourceSpan> pieces;
  std::size_t held = 0;  // its first samples, in the day file already

  // The pieces without the samples held.
  std::vector<SourceSpan> Rest() const {
    std::vector<SourceSpan> rest;
    std::size_t skip = held;
    for (SourceSpan piece : pieces) {
      const std::size_t n = std::min(skip, piece.last - piece.first);
      piece.first += n;
      skip -= n;
      if (piece.first < piece.last) rest.push_back(std::move(piece));
    }
    return rest;
  }
};

std::vector<PlannedSegment> Plan(const std::vector<SourceSpan>& pieces) {
  std::vector<const SourceSpan*> order;
  for (const SourceSpan& piece : pieces)
    if (piece.first < piece.last) order.push_back(&piece);
  std::stable_sort(order.begin(), order.end(), [](const SourceSpan* a, const SourceSpan* b) {
    return a->TimeOf(a->first) < b->TimeOf(b->first);
  });
  std::vector<PlannedSegment> plan;
  for (const SourceSpan* piece : order) {
    const std::int64_t start = piece->TimeOf(piece->first);
    if (plan.empty() || !Continues(plan.back().at, plan.back().count, start, piece->rate))
      plan.push_back({{start, piece->rate, {}}, 0, {}, 0});
    plan.back().count += piece->last - piece->first;
    plan.back().pieces.push_back(*piece);
  }
  return plan;
}

SdsRemark Unreadable(const SourceSpan& span) {
  SdsRemark remark;
  remark.kind = SdsRemarkKind::kSourceUnreadable;
  remark.subject = DisplayPath(span.file);
  return remark;
}

class DayFile {
 public:
  DayFile(const std::filesystem::path& file, const std::string& relative, const SeedCodes& codes)
      : m_file(file), m_relative(relative), m_codes(codes), m_manifest(file.parent_path()) {}

  DayFileOutcome Write(const std::vector<SourceSpan>& pieces) {
    std::vector<PlannedSegment> plan = Plan(pieces);
    std::error_code ec;
    if (!std::filesystem::exists(m_file, ec)) return *Stream(plan, nullptr);
    const std::optional<std::uint64_t> from = m_manifest.UnfinishedFrom(m_file);
    std::optional<DayFileScan> scan = ScanDayFile(m_file, m_codes, from);
    SdsManifest::Claim claim = SdsManifest::Claim::kNone;
    if (scan)
      claim = m_manifest.ClaimOn(m_file, scan->size, scan->hasher.Hash(), scan->prefix_hash);
    if (claim == SdsManifest::Claim::kUnfinished) {
      // A write of ours that never finished: what it added goes, what it
      // wrote over comes back.
      if (!PutBack(*from, m_manifest.WrittenOver(m_file)))
        return Failed(SdsRemarkKind::kCannotWrite);
      scan = ScanDayFile(m_file, m_codes);
      if (!scan) claim = SdsManifest::Claim::kNone;
    }
    if (claim == SdsManifest::Claim::kNone) return Left();
    m_hash_noted = claim == SdsManifest::Claim::kHash;
    if (!plan.empty() && scan->records && FindHeld(plan, *scan)) {
      if (std::all_of(plan.begin(), plan.end(),
                      [](const PlannedSegment& s) { return s.held == s.count; }))
        return Unchanged(*scan);
      if (std::optional<DayFileOutcome> added = Stream(plan, &*scan)) return *added;
    }
    return Merge(pieces, *scan);
  }

 private:
  SdsRemark Remark(SdsRemarkKind kind, std::string reason = {}) const {
    SdsRemark remark;
    remark.kind = kind;
    remark.subject = m_relative;
    remark.value = std::move(reason);
    return remark;
  }
  DayFileOutcome Left() const {
    return {SdsOutcome::kLeft, Remark(SdsRemarkKind::kLeftAsItIs), false};
  }
  // With the system's reason for the call that failed.
  DayFileOutcome Failed(SdsRemarkKind kind) const {
    return {SdsOutcome::kLeft, Remark(kind, std::strerror(errno)), false};
  }

  // Whether the file holds every new sample that is not after its end, at
  // the same time with the same value; if so, how many of each segment's
  // first samples it holds. Only then can the rest be added to its end: a
  // merge would give what the file holds and the rest after it.
  bool FindHeld(std::vector<PlannedSegment>& plan, const DayFileScan& scan) const {
    const std::int64_t end = scan.End();
    if (plan.front().at.start >= end - kJoinTolerance) return true;  // all after it
    DayFileSamples older(m_file, m_codes);
    std::int64_t older_time = 0;
    float older_value = 0.0f;
    bool have = older.Next(older_time, older_value);
    bool after = false;  // the samples after the file's end have begun
    std::vector<float> buffer(kReadSamples);
    for (PlannedSegment& segment : plan) {
      const auto half = static_cast<std::int64_t>(0.5 * kMicroseconds / segment.at.rate);
      std::size_t k = 0;
      for (const SourceSpan& piece : segment.pieces) {
        const bool read = ForEachBuffer(piece, buffer, [&](std::span<const float> samples) {
          for (const float value : samples) {
            const std::int64_t t = segment.at.TimeOf(k);
            if (!after && t < end - half) {
              while (have && older_time < t) {
                const std::int64_t was = older_time;
                have = older.Next(older_time, older_value);
                if (have && older_time < was) return false;  // not in time order
              }
              if (!have || older_time != t || older_value != value || segment.held != k)
                return false;
              segment.held = k + 1;
            } else if (t < end - kJoinTolerance) {
              return false;  // between the file's last sample and its end
            } else {
              after = true;
            }
            ++k;
          }
          return true;
        });
        if (!read) return false;
      }
    }
    return !older.Failed();
  }

  // Records for the planned segments added to the file's end as the
  // samples are read (a new file: from its start), the very records one
  // export of everything would make: where the new samples continue the
  // file's last run of records, its last record is packed again with them.
  // The list says first where the writing begins and what it writes over,
  // so that a write cut short is undone next time. Nothing when only a
  // merge can give those records (Steim-2 records that float32 samples
  // would continue).
  std::optional<DayFileOutcome> Stream(const std::vector<PlannedSegment>& plan,
                                       const DayFileScan* existing) {
    std::vector<float> buffer(kReadSamples);
    // Steim-2 only where every sample to pack is an integer that float32
    // holds exactly: a first reading decides.
    std::vector<std::vector<SourceSpan>> rests;
    std::vector<char> integers;
    for (const PlannedSegment& segment : plan) {
      rests.push_back(segment.Rest());
      bool all = true;
      for (const SourceSpan& piece : rests.back()) {
        if (!ForEachBuffer(piece, buffer, [&](std::span<const float> samples) {
              all = all && AllExactIntegers(samples);
              return true;
            }))
          return DayFileOutcome{SdsOutcome::kLeft, Unreadable(piece), true};
      }
      integers.push_back(all);
    }
    const auto first = static_cast<std::size_t>(
        std::find_if(rests.begin(), rests.end(), [](const auto& r) { return !r.empty(); }) -
        rests.begin());
    const bool again =
        existing && first < plan.size() &&
        (plan[first].held > 0 ||
         Continues(existing->run,
                   existing->run_before_last + static_cast<std::size_t>(existing->last_samples),
                   plan[first].at.start, plan[first].at.rate));
    if (again && existing->last_steim2 && !integers[first]) return std::nullopt;
    std::vector<float> last;
    if (again && !DecodeLast(*existing, last)) return std::nullopt;

    const std::uint64_t from = existing ? existing->size - (again ? existing->last.size() : 0) : 0;
    ContentHasher hasher = !existing ? ContentHasher()
                           : again   ? existing->before_last
                                     : existing->hasher;
    const std::string over = again ? existing->last : std::string();
    if (!m_manifest.NoteUnfinished(m_file, from, hasher.Hash(), over))
      return Failed(SdsRemarkKind::kListCannotWrite);
    const int fd = existing ? OpenFileForExtending(m_file)
                            : CreateFileForWriting(m_file, CreateMode::kExclusive);
    if (fd < 0 || (existing && (!ResizeOpenFile(fd, from) || !SeekToEnd(fd)))) {
      DayFileOutcome failed = Failed(SdsRemarkKind::kCannotWrite);
      if (fd >= 0) CloseFile(fd);
      // Nothing written (a file that took the name meanwhile is not ours).
      if (existing) {
        PutBack(from, over);
        m_manifest.Note(m_file, existing->hasher.Hash());
      } else {
        m_manifest.Forget(m_file);
      }
      return failed;
    }
    // Records go out a few hundred at a time.
    int write_error = 0;
    std::string pending;
    const auto write_pending = [&] {
      std::size_t done = 0;
      if (!pending.empty() && !WriteAll(fd, pending.data(), pending.size(), done)) {
        write_error = errno;
        return false;
      }
      pending.clear();
      return true;
    };
    RecordPacker packer(
        m_codes,
        [&](std::string_view record) {
          hasher.Add(record);
          pending.append(record);
          return pending.size() < kWriteBytes || write_pending();
        },
        !existing ? 0
        : again   ? existing->last_sequence - 1
                  : existing->last_sequence);
    if (existing && again && existing->records_before_last)
      packer.Follow(existing->steim2_before_last);
    if (existing && !again) packer.Follow(existing->steim2_with_last);
    std::optional<SdsRemark> problem;
    bool source_unreadable = false;
    for (std::size_t s = first; s < plan.size() && !problem; ++s) {
      if (rests[s].empty()) continue;
      const bool started =
          again && s == first
              ? packer.Begin(existing->run.start, existing->run.rate, existing->last_steim2,
                             existing->run_before_last) &&
                    packer.Add(last)
              : packer.Begin(plan[s].at.start, plan[s].at.rate, integers[s], plan[s].held);
      if (!started) break;
      for (const SourceSpan& piece : rests[s]) {
        if (!ForEachBuffer(piece, buffer,
                           [&](std::span<const float> samples) { return packer.Add(samples); })) {
          if (!packer.Failed()) {
            problem = Unreadable(piece);
            source_unreadable = true;
          }
          break;
        }
      }
      if (!problem) packer.End();
    }
    const bool written = !problem && !packer.Failed() && write_pending();
    if (!problem && !written)
      problem = write_error != 0 ? Remark(SdsRemarkKind::kCannotWrite, std::strerror(write_error))
                                 : Remark(SdsRemarkKind::kNotPacked);
    if (problem) {
      CloseFile(fd);
      if (existing) {
        PutBack(from, over);
        m_manifest.Note(m_file, existing->hasher.Hash());
      } else {
        RemoveFile(m_file);
        m_manifest.Forget(m_file);
      }
      return DayFileOutcome{SdsOutcome::kLeft, problem, source_unreadable};
    }
    if (!CloseFile(fd) || !m_manifest.Note(m_file, hasher.Hash()))
      return Failed(SdsRemarkKind::kCannotWrite);
    return DayFileOutcome{SdsOutcome::kWritten, std::nullopt, false};
  }

  // The file cut back to `length` and `over` written after it.
  bool PutBack(std::uint64_t length, const std::string& over) {
    if (!ResizeFile(m_file, length)) return false;
    if (over.empty()) return true;
    const int fd = OpenFileForExtending(m_file);
    std::size_t done = 0;
    const bool ok = fd >= 0 && SeekToEnd(fd) && WriteAll(fd, over.data(), over.size(), done);
    return (fd < 0 || CloseFile(fd)) && ok;
  }

  static bool DecodeLast(const DayFileScan& scan, std::vector<float>& samples) {
    std::string bytes = scan.last;
    MSRecord* record = nullptr;
    const bool ok = msr_parse(bytes.data(), static_cast<int>(bytes.size()), &record,
                              static_cast<int>(bytes.size()), 1, 0) == MS_NOERROR &&
                    (record->sampletype == 'i' || record->sampletype == 'f');
    for (std::int64_t i = 0; ok && i < record->numsamples; ++i)
      samples.push_back(record->sampletype == 'i'
                            ? static_cast<float>(static_cast<std::int32_t*>(record->datasamples)[i])
                            : static_cast<float*>(record->datasamples)[i]);
    msr_free(&record);
    return ok;
  }

  // The day read, merged by time with the pieces and written anew in one
  // step; left alone when that changes no sample and no time.
  DayFileOutcome Merge(const std::vector<SourceSpan>& pieces, const DayFileScan& scan) {
    std::optional<std::vector<SampleSegment>> older = ReadDayFile(m_file, m_codes);
    if (!older) return Left();
    std::vector<SampleSegment> newer;
    for (const SourceSpan& piece : pieces) {
      SampleSegment segment{piece.TimeOf(piece.first), piece.rate,
                            std::vector<float>(piece.last - piece.first)};
      std::ifstream in(piece.file, std::ios::binary);
      in.seekg(static_cast<std::streamoff>(piece.data_offset + 4 * piece.first));
      in.read(reinterpret_cast<char*>(segment.samples.data()),
              static_cast<std::streamsize>(4 * segment.samples.size()));
      if (!in) return {SdsOutcome::kLeft, Unreadable(piece), true};
      newer.push_back(std::move(segment));
    }
    const std::vector<SampleSegment> merged = MergeByTime(*older, std::move(newer));
    if (SameContent(merged, *older)) return Unchanged(scan);
    const std::string bytes = PackDayFile(m_codes, merged);
    if (bytes.empty()) return {SdsOutcome::kLeft, Remark(SdsRemarkKind::kNotPacked), false};
    if (bytes.size() == scan.size && bytes == ReadWhole(m_file)) return Unchanged(scan);
    if (!ReplaceFileContents(m_file, bytes) || !m_manifest.Note(m_file, ContentHash(bytes)))
      return Failed(SdsRemarkKind::kCannotWrite);
    return {SdsOutcome::kWritten, std::nullopt, false};
  }

  static bool SameContent(const std::vector<SampleSegment>& a,
                          const std::vector<SampleSegment>& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](const SampleSegment& x, const SampleSegment& y) {
                        return x.start == y.start && std::fabs(x.rate - y.rate) <= 1e-9 * x.rate &&
                               x.samples == y.samples;
                      });
  }

  // An older list's line, which a copy of the tree would lose, and one of a
  // write cut back, get the hash of what is there.
  DayFileOutcome Unchanged(const DayFileScan& scan) {
    if (!m_hash_noted && !m_manifest.Note(m_file, scan.hasher.Hash()))
      return {SdsOutcome::kUnchanged,
              Remark(SdsRemarkKind::kListLineCannotWrite, std::strerror(errno)), false};
    return {SdsOutcome::kUnchanged, std::nullopt, false};
  }

  const std::filesystem::path& m_file;
  const std::string& m_relative;
  const SeedCodes& m_codes;
  SdsManifest m_manifest;
  bool m_hash_noted = false;  // the list holds the file's hash as it is
};

}  // namespace

std::int64_t SourceSpan::TimeOf(std::size_t i) const {
  return start + std::llround(static_cast<double>(i) * kMicroseconds / rate);
}

std::size_t SourceSpan::IndexAt(std::int64_t t) const {
  const double estimate = std::ceil(static_cast<double>(t - start) * rate / kMicroseconds);
  auto i = static_cast<std::size_t>(
      std::clamp(estimate, static_cast<double>(first), static_cast<double>(last)));
  while (i > first && TimeOf(i - 1) >= t) --i;
  while (i < last && TimeOf(i) < t) ++i;
  return i;
}

DayFileOutcome WriteDayFile(const std::filesystem::path& file, const std::string& relative,
                            const SeedCodes& codes, const std::vector<SourceSpan>& pieces) {
  return DayFile(file, relative, codes).Write(pieces);
}

}  // namespace korvel
