#include "seed/day_file_scan.h"

#include <libmseed.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "platform/file_io.h"

namespace korvel {
namespace {

constexpr std::size_t kRecordsAtOnce = 256;

}  // namespace

std::int64_t DayFileScan::End() const {
  return last_start + std::llround(static_cast<double>(last_samples) * kMicroseconds / last_rate);
}

std::optional<DayFileScan> ScanDayFile(const std::filesystem::path& file, const SeedCodes& codes,
                                       std::optional<std::uint64_t> prefix) {
  std::uint64_t size = 0;
  const int fd = OpenFileForReading(file, size);
  if (fd < 0) return std::nullopt;
  std::optional<DayFileScan> scan(std::in_place);
  scan->records = size > 0 && size % kSeedRecordLength == 0;
  std::vector<char> buffer(kRecordsAtOnce * kSeedRecordLength);
  MSRecord* record = nullptr;
  std::uint64_t at = 0;
  while (scan) {
    std::size_t got = 0;
    while (got < buffer.size()) {
      const std::int64_t n = ReadSome(fd, buffer.data() + got, buffer.size() - got);
      if (n < 0) scan.reset();
      if (n <= 0) break;
      got += static_cast<std::size_t>(n);
    }
    if (!scan || got == 0) break;
    if (prefix && at < *prefix && at + got >= *prefix) {
      const auto before = static_cast<std::size_t>(*prefix - at);
      scan->hasher.Add(std::string_view(buffer.data(), before));
      scan->prefix_hash = scan->hasher.Hash();
      scan->hasher.Add(std::string_view(buffer.data() + before, got - before));
    } else {
      scan->hasher.Add(std::string_view(buffer.data(), got));
    }
    for (std::size_t r = 0; scan->records && r + kSeedRecordLength <= got; r += kSeedRecordLength) {
      if (msr_parse(buffer.data() + r, kSeedRecordLength, &record, kSeedRecordLength, 0, 0) !=
              MS_NOERROR ||
          record->reclen != kSeedRecordLength || codes.network != record->network ||
          codes.station != record->station || codes.location != record->location ||
          codes.channel != record->channel ||
          (record->encoding != DE_STEIM2 && record->encoding != DE_FLOAT32) ||
          !(record->samprate > 0.0)) {
        scan->records = false;
        break;
      }
      scan->last_start = record->starttime;
      scan->last_samples = record->samplecnt;
      scan->last_rate = record->samprate;
      scan->last_sequence = record->sequence_number;
    }
    if (got % kSeedRecordLength != 0) scan->records = false;
    at += got;
  }
  msr_free(&record);
  CloseFile(fd);
  if (scan) {
    scan->size = at;
    if (prefix && *prefix == 0) scan->prefix_hash = ContentHasher().Hash();
  }
  return scan;
}

}  // namespace korvel
