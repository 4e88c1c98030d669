// Records made as the samples arrive: the same segment gives the same bytes
// in whatever pieces it comes, and the numbers go on from those given.
#include <gtest/gtest.h>

#include "seed/record_packer.h"
#include "tests/support/mseed_records.h"

namespace korvel {
namespace {

constexpr std::int64_t kStart = 1172707199999999LL;  // 1 us before 2007-03-01
const SeedCodes kCodes{"XX", "KIR", "", "HHZ"};

std::string Packed(const std::vector<float>& samples, double rate, std::size_t piece,
                   int last_sequence = 0) {
  std::string bytes;
  RecordPacker packer(
      kCodes,
      [&bytes](std::string_view record) {
        bytes.append(record);
        return true;
      },
      last_sequence);
  EXPECT_TRUE(packer.Begin(kStart, rate, AllExactIntegers(samples)));
  for (std::size_t at = 0; at < samples.size(); at += piece)
    EXPECT_TRUE(packer.Add(std::span(samples).subspan(at, std::min(piece, samples.size() - at))));
  EXPECT_TRUE(packer.End());
  return bytes;
}

TEST(RecordPackerTest, TheSamePiecesInAnyPartsGiveTheSameRecords) {
  std::vector<float> integers(300000), fractions(100000);
  for (std::size_t i = 0; i < integers.size(); ++i)
    integers[i] = static_cast<float>(static_cast<int>((i * 977) % 65536) - 32768);
  for (std::size_t i = 0; i < fractions.size(); ++i) fractions[i] = 0.25f * static_cast<float>(i);
  for (const auto& [what, samples, rate] :
       {std::tuple{"Steim-2 at 1/0.003 sps", &integers, 1 / 0.003},
        {"Steim-2 at 3 sps", &integers, 3.0},
        {"float32 at 128 sps", &fractions, 128.0}}) {
    SCOPED_TRACE(what);
    const std::string whole = Packed(*samples, rate, samples->size());
    for (const std::size_t piece : {1u, 7u, 4096u, 65535u, 65536u, 100000u})
      EXPECT_TRUE(Packed(*samples, rate, piece) == whole) << piece;
  }
}

TEST(RecordPackerTest, RecordsAreNumberedOnFromTheGivenNumber) {
  const std::vector<float> samples(20000, 5.0f);
  for (const auto& [last, first] : {std::pair{0, "000001"}, {41, "000042"}, {999999, "000001"}}) {
    const auto records = test::ParseMseedRecords(Packed(samples, 100.0, 1000, last));
    ASSERT_TRUE(records && !records->empty());
    EXPECT_EQ(records->front().sequence, first) << last;
  }
}

}  // namespace
}  // namespace korvel
