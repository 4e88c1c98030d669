// A channel's min/max envelope read in pieces: the same columns whatever the
// piece size, a short file stretched, and nothing for a damaged file.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "engine/waveform.h"
#include "tests/support/raw_file_builder.h"
#include "tests/support/temp_dir.h"

namespace korvel {
namespace {

using test::RawFileBuilder;
using test::TempDir;

// Channel 0 a sine of amplitude 1000, channel 1 dead, channel 2 a sine
// clipped at +-500, channel 3 a single spike at frame 777.
std::int32_t Sample(int channel, std::int64_t k) {
  const double sine = 1000.0 * std::sin(2.0 * std::numbers::pi * static_cast<double>(k) / 200.0);
  switch (channel) {
    case 0:
      return static_cast<std::int32_t>(std::lround(sine));
    case 1:
      return 0;
    case 2:
      return static_cast<std::int32_t>(std::lround(std::clamp(sine, -500.0, 500.0)));
    default:
      return k == 777 ? 30000 : 0;
  }
}

// The envelope worked out from every sample at once.
std::vector<EnvelopeColumn> Expected(int channel, std::int64_t frames, int columns) {
  std::vector<EnvelopeColumn> out;
  for (int c = 0; c < columns; ++c) {
    const std::int64_t from = c * frames / columns;
    const std::int64_t to = ((c + 1) * frames + columns - 1) / columns;
    EnvelopeColumn column{1e30f, -1e30f};
    for (std::int64_t k = from; k < to; ++k) {
      column.min = std::min(column.min, static_cast<float>(Sample(channel, k)));
      column.max = std::max(column.max, static_cast<float>(Sample(channel, k)));
    }
    out.push_back(column);
  }
  return out;
}

bool Same(const std::vector<EnvelopeColumn>& a, const std::vector<EnvelopeColumn>& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (a[i].min != b[i].min || a[i].max != b[i].max) return false;
  return true;
}

TEST(Waveform, EveryColumnHoldsTheMinimumAndMaximumOfItsFrames) {
  TempDir dir;
  const auto path = dir / "four.raw";
  RawFileBuilder()
      .Channels({"SIN", "DEAD", "CLIP", "SPIKE"})
      .Frames(10007)
      .ExtraDataBytes(5)  // a trailing partial frame is not a sample
      .Samples(Sample)
      .WriteTo(path);
  for (const int columns : {1, 300, 10007, 20000}) {
    for (const std::size_t piece : {kEnvelopeChunkBytes, std::size_t{7 * 8}, std::size_t{1}}) {
      for (int channel = 0; channel < 4; ++channel)
        EXPECT_TRUE(Same(RawChannelEnvelope(path, channel, columns, piece),
                         Expected(channel, 10007, columns)))
            << "channel " << channel << ", " << columns << " columns, pieces of " << piece;
    }
  }
  const auto clipped = RawChannelEnvelope(path, 2, 10);  // five periods a column
  EXPECT_EQ(clipped[0].max, 500.0f);
  EXPECT_EQ(clipped[0].min, -500.0f);
  const auto spike = RawChannelEnvelope(path, 3, 100);
  EXPECT_EQ(spike[777 * 100 / 10007].max, 30000.0f);
}

TEST(Waveform, ADamagedOrUnreadableFileOrAStoppedReadDrawsNothing) {
  TempDir dir;
  const RawFileBuilder good = RawFileBuilder().Channels({"Z", "N"}).Frames(100);
  good.WriteTo(dir / "good.raw");
  RawFileBuilder(good).TruncateTo(150).WriteTo(dir / "table-cut.raw");
  RawFileBuilder(good).TruncateTo(120 + 2 * 72 + 3).WriteTo(dir / "no-frame.raw");
  RawFileBuilder(good).SampleInterval(0.0).WriteTo(dir / "no-rate.raw");
  EXPECT_EQ(RawChannelEnvelope(dir / "good.raw", 1, 10).size(), 10u);
  EXPECT_TRUE(RawChannelEnvelope(dir / "good.raw", 2, 10).empty());  // no such channel
  EXPECT_TRUE(RawChannelEnvelope(dir / "good.raw", -1, 10).empty());
  EXPECT_TRUE(RawChannelEnvelope(dir / "good.raw", 0, 0).empty());
  std::stop_source closed;  // the dialog that asked was closed
  closed.request_stop();
  EXPECT_TRUE(RawChannelEnvelope(dir / "good.raw", 1, 10, 64, closed.get_token()).empty());
  for (const char* name : {"table-cut.raw", "no-frame.raw", "no-rate.raw", "missing.raw"})
    EXPECT_TRUE(RawChannelEnvelope(dir / name, 0, 10).empty()) << name;
  EXPECT_TRUE(RawChannelEnvelope(dir.path(), 0, 10).empty());  // a folder
}

}  // namespace
}  // namespace korvel
