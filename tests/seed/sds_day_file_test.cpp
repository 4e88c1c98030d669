// A day file's records, read by the test's own parser of the fixed header
// and the blockettes: each starts at its first sample's time to the
// microsecond, whatever the rate and the start, and holds the samples given.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>

#include "seed/sds_day_file.h"
#include "tests/support/mseed_records.h"
#include "tests/support/temp_dir.h"

namespace korvel {
namespace {

using test::MseedRecord;

constexpr std::int64_t kMarch1 = 1172707200LL * kMicroseconds;  // 2007-03-01 00:00:00
const SeedCodes kCodes{"XX", "KIR", "", "HHZ"};

std::vector<float> Ramp(std::size_t count, float step, float from = -1000.0f) {
  std::vector<float> samples(count);
  for (std::size_t i = 0; i < count; ++i)
    samples[i] = from + step * static_cast<float>(static_cast<int>(i % 4000));
  return samples;
}

std::vector<MseedRecord> Records(const std::string& bytes) {
  std::string error;
  const auto records = test::ParseMseedRecords(bytes, &error);
  EXPECT_TRUE(records) << error;
  return records.value_or(std::vector<MseedRecord>{});
}

TEST(SdsDayFileTest, EveryRecordStartsAtItsFirstSampleToTheMicrosecond) {
  const struct {
    const char* what;
    std::int64_t start;  // microseconds
    double rate;
    std::vector<float> samples;
    int encoding;
  } cases[] = {
      {"a sub-second start", kMarch1 + 123457, 1 / 0.003, Ramp(20000, 3.0f), 11},
      {"1 us before a second", kMarch1 + 41999999, 1 / 0.006, Ramp(20000, 5.0f), 11},
      {"1 us before midnight", kMarch1 - 1, 1 / 0.007, Ramp(20000, 7.0f), 11},
      {"128 sps", kMarch1 + 500001, 128.0, Ramp(20000, 1.0f), 11},
      {"3 sps", kMarch1 + 999999, 3.0, Ramp(8000, 700.0f), 11},
      {"fractions, float32", kMarch1 + 123457, 1 / 0.007, Ramp(5000, 0.25f), 4},
      {"counts beyond 2^24, float32", kMarch1 + 77, 1 / 0.003, Ramp(5000, 1024.0f, 16777216.0f), 4},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    // Two segments, a gap between them: the records number on over it.
    const std::int64_t later = c.start + 3600 * kMicroseconds + 3;
    const std::vector<SampleSegment> segments = {{c.start, c.rate, c.samples},
                                                 {later, c.rate, c.samples}};
    const std::vector<MseedRecord> records = Records(PackDayFile(kCodes, segments));
    ASSERT_GE(records.size(), 4u);        // two or more to a segment
    std::size_t segment = 0, before = 0;  // samples of the segment before the record
    for (std::size_t r = 0; r < records.size(); ++r) {
      const MseedRecord& record = records[r];
      SCOPED_TRACE(r);
      const std::string number = std::to_string(r + 1);
      EXPECT_EQ(record.sequence, std::string(6 - number.size(), '0') + number);
      EXPECT_EQ(record.quality, 'D');
      EXPECT_EQ(
          record.network + "." + record.station + "." + record.location + "." + record.channel,
          "XX.KIR..HHZ");
      EXPECT_EQ(record.encoding, c.encoding);
      EXPECT_EQ(record.length, kSeedRecordLength);
      EXPECT_TRUE(record.has_1001);
      EXPECT_NEAR(record.Rate(), c.rate, 1e-9 * c.rate);
      if (before == segments[segment].samples.size()) ++segment, before = 0;
      ASSERT_LT(segment, segments.size());
      const double time = static_cast<double>(segments[segment].start - kMarch1) +
                          static_cast<double>(before) * kMicroseconds / c.rate;
      EXPECT_LE(std::fabs(static_cast<double>(record.start - kMarch1) - time), 1.0)
          << record.start - kMarch1 << " for " << time;
      ASSERT_LE(before + record.samples.size(), segments[segment].samples.size());
      EXPECT_TRUE(std::equal(record.samples.begin(), record.samples.end(),
                             segments[segment].samples.begin() + static_cast<long>(before)));
      before += record.samples.size();
    }
    EXPECT_EQ(segment, 1u);
    EXPECT_EQ(before, c.samples.size());
  }
}

TEST(SdsDayFileTest, ReadBackEverySampleKeepsItsTimeToTheMicrosecond) {
  test::TempDir folder;
  const std::int64_t ends = kMarch1 + 123457 + 60 * kMicroseconds;  // 20 sps: 1200 samples
  const struct {
    const char* what;
    std::int64_t second_start;
    std::size_t segments;  // read back
  } cases[] = {
      {"contiguous", ends, 1},
      {"1 us late", ends + 1, 1},
      {"30 us late", ends + 30, 2},
      {"30 us early", ends - 30, 2},
      {"a sample late", ends + 50000, 2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const std::vector<SampleSegment> written = {{kMarch1 + 123457, 20.0, Ramp(1200, 9.0f)},
                                                {c.second_start, 20.0, Ramp(1200, 13.0f)}};
    const std::filesystem::path file = folder / "XX.KIR..HHZ.D.2007.060";
    { std::ofstream(file, std::ios::binary) << PackDayFile(kCodes, written); }
    const std::optional<std::vector<SampleSegment>> read = ReadDayFile(file, kCodes);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->size(), c.segments);
    std::vector<std::pair<std::int64_t, float>> expected, got;
    for (const std::vector<SampleSegment>* segments : {&written, &*read})
      for (const SampleSegment& s : *segments)
        for (std::size_t i = 0; i < s.samples.size(); ++i)
          (segments == &written ? expected : got).emplace_back(s.TimeOf(i), s.samples[i]);
    ASSERT_EQ(got.size(), expected.size());
    for (std::size_t i = 0; i < got.size(); ++i) {
      EXPECT_LE(std::llabs(got[i].first - expected[i].first), 1) << i;
      EXPECT_EQ(got[i].second, expected[i].second) << i;
    }
  }
}

}  // namespace
}  // namespace korvel
