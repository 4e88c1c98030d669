#include "seed/day_file_scan.h"

#include <libmseed.h>

#include <cmath>
#include <vector>

#include "platform/file_io.h"

namespace korvel {
namespace {

constexpr std::size_t kRecordsAtOnce = 256;

std::uint32_t BigEndian(const char* at, int bytes) {
  std::uint32_t value = 0;
  for (int i = 0; i < bytes; ++i) value = value << 8 | static_cast<unsigned char>(at[i]);
  return value;
}

// One record's header into the scan; false when it is none of ours.
bool Take(DayFileScan& scan, char* bytes, const SeedCodes& codes, MSRecord*& record) {
  if (msr_parse(bytes, kSeedRecordLength, &record, kSeedRecordLength, 0, 0) != MS_NOERROR ||
      record->reclen != kSeedRecordLength || codes.network != record->network ||
      codes.station != record->station || codes.location != record->location ||
      codes.channel != record->channel ||
      (record->encoding != DE_STEIM2 && record->encoding != DE_FLOAT32) ||
      !(record->samprate > 0.0))
    return false;
  if (!scan.last.empty()) {
    scan.records_before_last = true;
    scan.steim2_before_last = scan.steim2_with_last;
    scan.run_before_last += static_cast<std::size_t>(scan.last_samples);
  }
  if (scan.last.empty() ||
      !Continues(scan.run, scan.run_before_last, record->starttime, record->samprate)) {
    scan.run = {record->starttime, record->samprate, {}};
    scan.run_before_last = 0;
  }
  scan.last.assign(bytes, kSeedRecordLength);
  scan.last_start = record->starttime;
  scan.last_samples = record->samplecnt;
  scan.last_rate = record->samprate;
  scan.last_sequence = record->sequence_number;
  scan.last_steim2 = record->encoding == DE_STEIM2;
  // A Steim-2 record's last sample is its frame 0's third word.
  const std::uint32_t data = BigEndian(bytes + 44, 2);
  if (scan.last_steim2 && record->samplecnt > 0 && data + 12 <= kSeedRecordLength)
    scan.steim2_with_last = static_cast<std::int32_t>(BigEndian(bytes + data + 8, 4));
  return true;
}

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
  scan->records = true;
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
    scan->records = scan->records && got % kSeedRecordLength == 0;
    for (std::size_t r = 0; r < got; r += kSeedRecordLength) {
      const std::size_t n = std::min<std::size_t>(kSeedRecordLength, got - r);
      const std::string_view bytes(buffer.data() + r, n);
      scan->before_last = scan->hasher;
      if (prefix && at + r < *prefix && at + r + n >= *prefix) {
        const auto part = static_cast<std::size_t>(*prefix - at - r);
        scan->hasher.Add(bytes.substr(0, part));
        scan->prefix_hash = scan->hasher.Hash();
        scan->hasher.Add(bytes.substr(part));
      } else {
        scan->hasher.Add(bytes);
      }
      if (scan->records && n == kSeedRecordLength)
        scan->records = Take(*scan, buffer.data() + r, codes, record);
    }
    at += got;
    if (got < buffer.size()) break;
  }
  msr_free(&record);
  CloseFile(fd);
  if (!scan) return scan;
  scan->size = at;
  scan->records = scan->records && at > 0;
  if (prefix && *prefix == 0) scan->prefix_hash = ContentHasher().Hash();
  return scan;
}

}  // namespace korvel
