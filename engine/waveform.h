#pragma once
// A channel of a raw file at a glance: its samples over the file's duration
// as one minimum and maximum per column of a picture. The file is read in
// pieces, so a file of any size costs a few megabytes at most.

#include <cstddef>
#include <filesystem>
#include <stop_token>
#include <vector>

namespace korvel {

struct EnvelopeColumn {
  float min = 0.0f;
  float max = 0.0f;
};

inline constexpr std::size_t kEnvelopeChunkBytes = 1 << 20;

// Column c covers the frames from c x F / columns to (c + 1) x F / columns
// (F frames, at least one frame each, so a short file stretches over the
// columns). Empty when the file is not a usable raw file, has no such
// channel or no whole frame, or cannot be read to its end, and when `stop`
// is requested (checked before each piece).
std::vector<EnvelopeColumn> RawChannelEnvelope(const std::filesystem::path& path, int channel,
                                               int columns,
                                               std::size_t chunk_bytes = kEnvelopeChunkBytes,
                                               std::stop_token stop = {});

}  // namespace korvel
