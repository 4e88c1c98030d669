#include "seed/sds_day_writer.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <fstream>
#include <functional>
#include <optional>
#include <span>

#include "platform/file_io.h"
#include "platform/native_path.h"
#include "seed/day_file_scan.h"
#include "seed/record_packer.h"
#include "seed/sds_manifest.h"

namespace korvel {
namespace {

// Samples read from a TQF file at once.
constexpr std::size_t kReadSamples = 1 << 16;

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
  std::vector<const SourceSpan*> pieces;
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
      plan.push_back({{start, piece->rate, {}}, 0, {}});
    plan.back().count += piece->last - piece->first;
    plan.back().pieces.push_back(piece);
  }
  return plan;
}

std::string Unreadable(const SourceSpan& span) {
  return DisplayPath(span.file) + ": cannot be read; not exported";
}

class DayFile {
 public:
  DayFile(const std::filesystem::path& file, const std::string& relative, const SeedCodes& codes)
      : m_file(file), m_relative(relative), m_codes(codes), m_manifest(file.parent_path()) {}

  DayFileOutcome Write(const std::vector<SourceSpan>& pieces) {
    const std::vector<PlannedSegment> plan = Plan(pieces);
    std::error_code ec;
    if (!std::filesystem::exists(m_file, ec)) return Stream(plan, std::nullopt);
    const std::optional<std::uint64_t> from = m_manifest.UnfinishedFrom(m_file);
    std::optional<DayFileScan> scan = ScanDayFile(m_file, m_codes, from);
    SdsManifest::Claim claim = SdsManifest::Claim::kNone;
    if (scan)
      claim = m_manifest.ClaimOn(m_file, scan->size, scan->hasher.Hash(), scan->prefix_hash);
    if (claim == SdsManifest::Claim::kUnfinished) {
      // A write of ours that never finished: what it added goes.
      if (!ResizeFile(m_file, *from)) return Failed(m_relative + ": cannot be written: ");
      scan = ScanDayFile(m_file, m_codes);
      if (!scan) claim = SdsManifest::Claim::kNone;
    }
    if (claim == SdsManifest::Claim::kNone) return Left();
    m_hash_noted = claim == SdsManifest::Claim::kHash;
    if (!plan.empty() && scan->records && plan.front().at.start >= scan->End() - kJoinTolerance)
      return Stream(plan, std::move(scan));
    return Merge(pieces, *scan);
  }

 private:
  DayFileOutcome Left() const {
    return {SdsOutcome::kLeft,
            m_relative +
                ": written by another program, or changed since this one wrote it; left as it is",
            false};
  }
  DayFileOutcome Failed(const std::string& what) const {
    return {SdsOutcome::kLeft, what + std::strerror(errno), false};
  }

  // Records for the planned segments added to the file's end as the
  // samples are read (a new file: from its start). The list says first
  // where the file ended, so that a write cut short is cut back next time.
  DayFileOutcome Stream(const std::vector<PlannedSegment>& plan,
                        std::optional<DayFileScan> existing) {
    const std::uint64_t from = existing ? existing->size : 0;
    ContentHasher hasher = existing ? existing->hasher : ContentHasher();
    const std::string before = hasher.Hash();
    if (!m_manifest.NoteUnfinished(m_file, from, before))
      return Failed(m_relative + ": " + kSdsManifestName + " cannot be written: ");
    const int fd = existing ? OpenFileForExtending(m_file)
                            : CreateFileForWriting(m_file, CreateMode::kExclusive);
    if (fd < 0 || (existing && !SeekToEnd(fd))) {
      DayFileOutcome failed = Failed(m_relative + ": cannot be written: ");
      if (fd >= 0) CloseFile(fd);
      // Nothing written: a file that took the name meanwhile is not ours.
      if (existing)
        m_manifest.Note(m_file, before);
      else
        m_manifest.Forget(m_file);
      return failed;
    }
    int write_error = 0;
    RecordPacker packer(
        m_codes,
        [&](std::string_view record) {
          std::size_t done = 0;
          if (!WriteAll(fd, record.data(), record.size(), done)) {
            write_error = errno;
            return false;
          }
          hasher.Add(record);
          return true;
        },
        existing ? existing->last_sequence : 0);
    std::vector<float> buffer(kReadSamples);
    std::string problem;
    bool source_unreadable = false;
    for (const PlannedSegment& segment : plan) {
      // Steim-2 only when every sample of the segment is an integer that
      // float32 holds exactly: a first reading decides.
      bool integers = true;
      for (const SourceSpan* piece : segment.pieces) {
        if (!ForEachBuffer(*piece, buffer, [&](std::span<const float> samples) {
              integers = integers && AllExactIntegers(samples);
              return true;
            })) {
          problem = Unreadable(*piece);
          source_unreadable = true;
          break;
        }
      }
      if (!problem.empty() || !packer.Begin(segment.at.start, segment.at.rate, integers)) break;
      for (const SourceSpan* piece : segment.pieces) {
        if (!ForEachBuffer(*piece, buffer,
                           [&](std::span<const float> samples) { return packer.Add(samples); })) {
          if (!packer.Failed()) {
            problem = Unreadable(*piece);
            source_unreadable = true;
          }
          break;
        }
      }
      if (!problem.empty() || !packer.End()) break;
    }
    if (problem.empty() && packer.Failed())
      problem = write_error != 0
                    ? m_relative + ": cannot be written: " + std::strerror(write_error)
                    : m_relative + ": libmseed could not pack the records; not written";
    if (!problem.empty()) {
      ResizeOpenFile(fd, from);
      CloseFile(fd);
      Restore(existing.has_value(), before);
      return {SdsOutcome::kLeft, problem, source_unreadable};
    }
    if (!CloseFile(fd) || !m_manifest.Note(m_file, hasher.Hash()))
      return Failed(m_relative + ": cannot be written: ");
    return {SdsOutcome::kWritten, {}, false};
  }

  // After a write that failed: the file as it was (a new one of ours
  // gone), and its line.
  void Restore(bool existed, const std::string& hash) {
    if (existed) {
      m_manifest.Note(m_file, hash);
    } else {
      RemoveFile(m_file);
      m_manifest.Forget(m_file);
    }
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
    if (bytes.empty())
      return {SdsOutcome::kLeft, m_relative + ": libmseed could not pack the records; not written",
              false};
    if (bytes.size() == scan.size && bytes == ReadWhole(m_file)) return Unchanged(scan);
    if (!ReplaceFileContents(m_file, bytes) || !m_manifest.Note(m_file, ContentHash(bytes)))
      return Failed(m_relative + ": cannot be written: ");
    return {SdsOutcome::kWritten, {}, false};
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
              m_relative + ": its line in " + kSdsManifestName +
                  " cannot be written: " + std::strerror(errno),
              false};
    return {SdsOutcome::kUnchanged, {}, false};
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
