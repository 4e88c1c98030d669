// SEED names from sample rates and orientations, and the merge of a day
// file's segments by time.
#include <gtest/gtest.h>

#include "seed/sds_day_file.h"
#include "seed/seed_codes.h"

namespace korvel {
namespace {

TEST(SeedCodesTest, BandAndChannelCodesFollowTheSeedTable) {
  const struct {
    double rate;
    const char* z;  // what Z becomes; empty: no code
  } cases[] = {{2000.0, "FHZ"}, {500.0, "CHZ"}, {200.0, "HHZ"}, {100.0, "HHZ"}, {80.0, "HHZ"},
               {50.0, "BHZ"},   {20.0, "BHZ"},  {10.0, "BHZ"},  {5.0, "MHZ"},   {1.0, "LHZ"},
               {0.1, "VHZ"},    {0.01, "UHZ"},  {0.001, "RHZ"}, {6000.0, ""},   {0.00001, ""}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.rate);
    EXPECT_EQ(DefaultSeedChannel("Z", c.rate).value_or(""), c.z);
  }
  EXPECT_EQ(DefaultSeedChannel("N-S", 100.0), "HHN");
  EXPECT_EQ(DefaultSeedChannel("E-W", 20.0), "BHE");
  EXPECT_FALSE(DefaultSeedChannel("SH Z", 100.0));
  for (const auto& [code, ok] : {std::pair{"KIR", true},
                                 {"ABCDE", true},
                                 {"ABCDEF", false},
                                 {"kir", false},
                                 {"K R", false},
                                 {"", false},
                                 {"\xCA\xC8\xD0", false}})
    EXPECT_EQ(IsSeedCode(code, 1, kSeedStationLength), ok) << code;
}

TEST(SeedCodesTest, NewerSegmentsReplaceWhatTheyCoverAndContiguousOnesJoin) {
  const std::int64_t s = kMicroseconds;  // at 1 sps, one sample a second
  const std::vector<SampleSegment> older = {{0, 1.0, {1, 2, 3, 4, 5}}, {10 * s, 1.0, {6, 7}}};
  const std::vector<SampleSegment> newer = {{2 * s, 1.0, {30, 40}}, {5 * s, 1.0, {50, 60}}};
  const std::vector<SampleSegment> merged = MergeByTime(older, newer);
  ASSERT_EQ(merged.size(), 2u);
  EXPECT_EQ(merged[0].start, 0);
  EXPECT_EQ(merged[0].samples, (std::vector<float>{1, 2, 30, 40, 5, 50, 60}));
  EXPECT_EQ(merged[1].start, 10 * s);
  EXPECT_EQ(merged[1].samples, (std::vector<float>{6, 7}));
  // Exported again, the same content.
  EXPECT_EQ(MergeByTime(merged, newer)[0].samples, merged[0].samples);
}

}  // namespace
}  // namespace korvel
