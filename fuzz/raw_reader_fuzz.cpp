// Feeds arbitrary bytes to the raw file reader as a file: the summary read and
// the header, channel table and per-channel decode that a conversion does.

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <string>
#include <vector>

#include "engine/raw_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const int fd = memfd_create("raw", 0);
  if (fd < 0) return 0;
  if (ftruncate(fd, 0) != 0 || pwrite(fd, data, size, 0) != static_cast<ssize_t>(size)) return 0;
  const std::string path = "/proc/self/fd/" + std::to_string(fd);

  const korvel::RawSummary summary = korvel::SummarizeRawFile(path);
  for (const korvel::RawSummaryRow& row : summary.rows)
    if (row.station.size() > 16 || row.channel.size() > 24) __builtin_trap();

  korvel::RawFileReader reader;
  korvel::ParsedRawFile parsed;
  const korvel::RawFileRefusal refusal = korvel::ParseRawFile(path, reader, parsed);
  // The summary refuses at least what the parser refuses, for the same reason.
  if (refusal != korvel::RawFileRefusal::kNone && summary.refusal != refusal) __builtin_trap();
  if (refusal != korvel::RawFileRefusal::kNone) return 0;
  const korvel::RawFileHeader& header = parsed.header;
  (void)korvel::RawStartTime(header);
  (void)korvel::RawDuration(header, parsed.size);
  const int n = header.channel_count;
  if (parsed.channels.size() != static_cast<std::size_t>(n)) __builtin_trap();
  for (const korvel::RawChannelRecord& record : parsed.channels)
    if (korvel::RawChannelName(record).size() > 24) __builtin_trap();
  const std::vector<unsigned char> block = reader.ReadRest();
  const int w = korvel::RawSampleWidth(header);
  if (n <= 0) return 0;
  std::vector<float> samples(block.size() / (static_cast<std::size_t>(n) * w));
  for (int c = 0; c < n; ++c)
    if (korvel::DecodeChannelSamples(block, n, w, c, samples) != samples.size()) __builtin_trap();
  return 0;
}
