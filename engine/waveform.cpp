#include "engine/waveform.h"

#include <algorithm>
#include <cstdint>
#include <limits>

#include "engine/raw_file.h"

namespace korvel {

std::vector<EnvelopeColumn> RawChannelEnvelope(const std::filesystem::path& path, int channel,
                                               int columns, std::size_t chunk_bytes,
                                               std::stop_token stop) {
  RawFileReader reader;
  ParsedRawFile parsed;
  if (columns <= 0 || ParseRawFile(path, reader, parsed) != RawFileRefusal::kNone) return {};
  const int n = parsed.header.channel_count;
  if (channel < 0 || channel >= n) return {};
  const int width = RawSampleWidth(parsed.header);
  const std::size_t frame_bytes = static_cast<std::size_t>(n) * static_cast<std::size_t>(width);
  const std::uint64_t frames = reader.Remaining() / frame_bytes;
  if (frames == 0) return {};

  const auto w = static_cast<std::uint64_t>(columns);
  std::vector<EnvelopeColumn> envelope(
      static_cast<std::size_t>(columns),
      {std::numeric_limits<float>::infinity(), -std::numeric_limits<float>::infinity()});
  // Whole frames per piece, at least one.
  const std::size_t piece_frames = std::max<std::size_t>(1, chunk_bytes / frame_bytes);
  std::vector<unsigned char> piece(piece_frames * frame_bytes);
  std::vector<float> samples(piece_frames);
  for (std::uint64_t first = 0; first < frames;) {
    if (stop.stop_requested()) return {};
    const std::size_t count =
        static_cast<std::size_t>(std::min<std::uint64_t>(piece_frames, frames - first));
    const std::span<unsigned char> got =
        reader.ReadRestInto(std::span<unsigned char>(piece).first(count * frame_bytes));
    if (got.size() != count * frame_bytes) return {};  // cut short while read: damaged
    DecodeChannelSamples(got, n, width, channel, samples);
    for (std::size_t i = 0; i < count; ++i) {
      const std::uint64_t k = first + i;
      // The columns whose frames include k: from k x W / F down, up to
      // (k + 1) x W / F rounded up, less one.
      const std::uint64_t low = k * w / frames;
      const std::uint64_t high = std::min(w - 1, ((k + 1) * w + frames - 1) / frames - 1);
      for (std::uint64_t c = low; c <= high; ++c) {
        EnvelopeColumn& column = envelope[static_cast<std::size_t>(c)];
        column.min = std::min(column.min, samples[i]);
        column.max = std::max(column.max, samples[i]);
      }
    }
    first += count;
  }
  return envelope;
}

}  // namespace korvel
