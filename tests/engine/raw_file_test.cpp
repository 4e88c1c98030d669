#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "engine/raw_file.h"
#include "tests/support/raw_file_builder.h"
#include "tests/support/temp_dir.h"

namespace korvel {
namespace {

using test::RawFileBuilder;
using test::TempDir;

RawFileHeader HeaderOf(const RawFileBuilder& builder) {
  const auto bytes = builder.Build();
  return DecodeRawHeader(
      std::span<const unsigned char, kRawHeaderSize>(bytes.data(), kRawHeaderSize));
}

TEST(RawFile, DecodesEveryHeaderFieldFromItsBytes) {
  RawFileBuilder b;
  b.Station("KIR").Date(7, 3, 7).TimeOfDay(22320.5).SampleInterval(0.01).SampleFormat(32);
  b.AddChannel({"SH Z", 1.25, 20.0}).AddChannel({"N-S", 2.0, 0.5});
  const auto bytes = b.Build();
  const RawFileHeader h = HeaderOf(b);
  EXPECT_EQ(h.channel_count, 2);
  EXPECT_EQ(h.day, 7);
  EXPECT_EQ(h.month, 3);
  EXPECT_EQ(h.year, 7);
  EXPECT_EQ(h.sample_format, 32);
  EXPECT_EQ(h.sample_interval, 0.01);
  EXPECT_EQ(h.time_of_day, 22320.5);
  EXPECT_EQ(RawStationName(h), "KIR");
  EXPECT_EQ(RawAdjustedYear(h), 2007);
  EXPECT_EQ(RawStartTime(h), 1173247920.5);
  EXPECT_EQ(RawSampleWidth(h), 4);

  const RawChannelRecord r = DecodeRawChannelRecord(
      std::span<const unsigned char, kRawChannelRecordSize>(bytes.data() + 120 + 72, 72));
  EXPECT_EQ(RawChannelName(r), "N-S");
  EXPECT_EQ(r.calibration, 2.0);
  EXPECT_EQ(r.calibration_frequency, 0.5);

  // The little-endian layout byte for byte: channel_count at 0, month at 8.
  EXPECT_EQ(bytes[0], 2);
  EXPECT_EQ(bytes[1], 0);
  EXPECT_EQ(bytes[8], 3);
  EXPECT_EQ(bytes[18], 32);
  EXPECT_EQ(std::memcmp(bytes.data() + 32, "KIR             ", 16), 0);
}

TEST(RawFile, NamesWidthsAndYears) {
  auto station = [](const std::string& field) {
    RawFileBuilder b;
    b.StationField(field);
    return RawStationName(HeaderOf(b));
  };
  EXPECT_EQ(station("KIV.DAT         "), "KIV");
  EXPECT_EQ(station("ABC.01          "), "ABC");
  EXPECT_EQ(station("AB CD           "), "AB");
  EXPECT_EQ(station("ABCDEFGHIJKLMNOP"), "ABCDEFGHIJKLMNOP");
  EXPECT_EQ(station(std::string("KI\0R            ", 16)), "KI");

  char channel[24];
  std::memset(channel, ' ', sizeof channel);
  std::memcpy(channel, "SH Z", 4);
  TrimTrailingSpaces(channel, sizeof channel);
  EXPECT_STREQ(channel, "SH Z");
  char all_spaces[4] = {' ', ' ', ' ', ' '};
  TrimTrailingSpaces(all_spaces, 4);
  EXPECT_EQ(all_spaces[0], '\0');

  for (int format : {16, 0})
    EXPECT_EQ(RawSampleWidth(HeaderOf(RawFileBuilder().SampleFormat(format))), 2);
  for (int format : {24, 32, -1})
    EXPECT_EQ(RawSampleWidth(HeaderOf(RawFileBuilder().SampleFormat(format))), 4);
  EXPECT_EQ(RawAdjustedYear(HeaderOf(RawFileBuilder().Date(1, 1, 1999))), 1999);
  EXPECT_EQ(RawAdjustedYear(HeaderOf(RawFileBuilder().Date(1, 1, 99))), 2099);
}

TEST(RawFile, FramesDurationAndDecodedSamples) {
  RawFileBuilder b;
  b.Channels({"Z", "N-S", "E-W"})
      .SampleFormat(16)
      .SampleInterval(0.01)
      .Frames(100)
      .ExtraDataBytes(4);
  b.Samples([](int c, std::int64_t k) { return static_cast<std::int32_t>(k * 300 - 30000 + c); });
  const auto bytes = b.Build();
  const RawFileHeader h = HeaderOf(b);
  EXPECT_DOUBLE_EQ(RawDuration(h, bytes.size()), (100.0 + 4.0 / 6.0) * 0.01);

  const std::span<const unsigned char> block(bytes.data() + 120 + 3 * 72,
                                             bytes.size() - 120 - 3 * 72);
  std::vector<float> out(block.size() / 6);
  ASSERT_EQ(DecodeChannelSamples(block, 3, 2, 1, out), 100u);
  for (int k = 0; k < 100; ++k) ASSERT_EQ(out[k], static_cast<float>(k * 300 - 30000 + 1));

  // 32-bit samples keep their sign and their magnitude, rounded to float only.
  RawFileBuilder w;
  w.Channels({"Z", "N-S"}).SampleFormat(32).Frames(4);
  const std::int32_t values[] = {std::numeric_limits<std::int32_t>::min(), -1, 16777217,
                                 2147483647};
  w.Samples([&](int c, std::int64_t k) { return c == 0 ? values[k] : values[3 - k]; });
  const auto wide = w.Build();
  std::vector<float> z(4);
  ASSERT_EQ(DecodeChannelSamples({wide.data() + 120 + 144, wide.size() - 264}, 2, 4, 0, z), 4u);
  for (int k = 0; k < 4; ++k) EXPECT_EQ(z[k], static_cast<float>(values[k]));
  EXPECT_EQ(DecodeChannelSamples({wide.data(), wide.size()}, 2, 4, 2, z), 0u);  // no such channel
}

TEST(RawFile, SummaryOfAGoodFile) {
  TempDir dir;
  RawFileBuilder b;
  b.Station("KIR.01").Date(7, 3, 7).TimeOfDay(22320.5).SampleInterval(0.01);
  b.Channels({"SH Z", "n-s"}).Frames(180000);
  b.WriteTo(dir / "a.raw");
  const auto rows = ReadRawSummary(dir / "a.raw");
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].station, "KIR");
  EXPECT_EQ(rows[0].channel, "SH Z");
  EXPECT_EQ(rows[1].channel, "n-s");  // shown as stored, not upper-cased
  EXPECT_EQ(rows[1].rate, "100.000");
  EXPECT_EQ(rows[1].start, "06:12:0.50 07.03.2007");
  EXPECT_EQ(rows[1].duration, "00:30:0.00");
}

// Every refusal with its reason: the parser's, which every reader shares, and
// the summary's own, which the conversion does not make.
TEST(RawFile, RefusalsNameTheirReason) {
  using R = RawFileRefusal;
  TempDir dir;
  const auto good = [] { return RawFileBuilder().Channels({"Z", "N-S"}).Frames(10); };
  const double nan = std::nan(""), inf = std::numeric_limits<double>::infinity();
  const struct {
    const char* what;
    RawFileBuilder file;
    R parse;    // what ParseRawFile says
    R summary;  // what the file-open dialog's summary says
  } cases[] = {
      {"good", good(), R::kNone, R::kNone},
      {"start at 1.5 s", good().Date(1, 1, 1970).TimeOfDay(1.5), R::kNone, R::kNone},
      {"empty", good().TruncateTo(0), R::kHeaderCut, R::kHeaderCut},
      {"header cut", good().TruncateTo(119), R::kHeaderCut, R::kHeaderCut},
      {"table cut", good().TruncateTo(120 + 72 + 10), R::kChannelTableCut, R::kChannelTableCut},
      {"month 0", good().Date(1, 0, 7), R::kNoStartDate, R::kNoStartDate},
      {"month 13", good().Date(1, 13, 7), R::kNoStartDate, R::kNoStartDate},
      {"day 0", good().Date(0, 3, 7), R::kNoStartDate, R::kNoStartDate},
      {"day 32", good().Date(32, 3, 7), R::kNoStartDate, R::kNoStartDate},
      {"interval 0", good().SampleInterval(0.0), R::kNoSampleInterval, R::kNoSampleInterval},
      {"interval < 0", good().SampleInterval(-0.01), R::kNoSampleInterval, R::kNoSampleInterval},
      {"interval NaN", good().SampleInterval(nan), R::kNoSampleInterval, R::kNoSampleInterval},
      {"interval inf", good().SampleInterval(inf), R::kNoSampleInterval, R::kNoSampleInterval},
      {"time inf", good().TimeOfDay(inf), R::kNoTimeOfDay, R::kNoTimeOfDay},
      {"time NaN", good().TimeOfDay(nan), R::kNoTimeOfDay, R::kNoTimeOfDay},
      {"channels -3", good().ChannelCountField(-3), R::kNegativeChannels, R::kNegativeChannels},
      {"channels 0", good().ChannelCountField(0), R::kNone, R::kSummaryChannelCount},
      {"channels 100", good().ChannelCountField(100).Channels(std::vector<std::string>(100, "Z")),
       R::kNone, R::kSummaryChannelCount},
      {"start at 1.0 s", good().Date(1, 1, 1970).TimeOfDay(1.0), R::kNone, R::kSummaryEarlyStart},
  };
  for (const auto& c : cases) {
    c.file.WriteTo(dir / "x.raw");
    RawFileReader reader;
    ParsedRawFile parsed;
    EXPECT_EQ(ParseRawFile(dir / "x.raw", reader, parsed), c.parse) << c.what;
    const RawSummary summary = SummarizeRawFile(dir / "x.raw");
    EXPECT_EQ(summary.refusal, c.summary) << c.what << ": " << RawFileRefusalText(summary.refusal);
    EXPECT_EQ(summary.rows.empty(), c.summary != R::kNone) << c.what;
  }
  EXPECT_EQ(SummarizeRawFile(dir / "missing.raw").refusal, R::kCannotOpen);
  EXPECT_EQ(SummarizeRawFile(dir.path()).refusal, R::kCannotOpen);  // a folder is no file
}

TEST(RawFile, ReaderNeverReadsPastTheEnd) {
  TempDir dir;
  RawFileBuilder().Channels({"Z"}).Frames(5).TruncateTo(150).WriteTo(dir / "short.raw");
  RawFileReader reader;
  ASSERT_TRUE(reader.Open(dir / "short.raw"));
  EXPECT_EQ(reader.Size(), 150u);
  RawFileHeader h;
  EXPECT_EQ(reader.ReadRawHeader(h), 120u);
  RawChannelRecord r;
  EXPECT_FALSE(reader.ReadChannelRecord(r));  // 30 bytes left of 72
  EXPECT_TRUE(reader.ReadRest().empty());

  RawFileBuilder().Channels({"Z"}).TruncateTo(50).WriteTo(dir / "tiny.raw");
  ASSERT_TRUE(reader.Open(dir / "tiny.raw"));
  EXPECT_EQ(reader.ReadRawHeader(h), 50u);
  EXPECT_FALSE(reader.Open(dir / "none.raw"));
}

}  // namespace
}  // namespace korvel
