// A TQF file of ours belongs to its own row whatever its rate and start, and
// the header still tells another station's, channel's, rate's or start's.
#include <gtest/gtest.h>

#include "engine/tqf_file.h"
#include "seed/tqf_header_guard.h"

namespace korvel {
namespace {

constexpr EpochSeconds kMarch1 = 1172707200.0;  // 2007-03-01 00:00:00

TEST(TqfHeaderGuardTest, TheHeaderOfTheRowsOwnFileFitsAndAnotherFileDoesNot) {
  const struct {
    const char* what;
    double header_rate;
    EpochSeconds header_start;
    const char* row_station;
    const char* row_channel;
    double row_rate;
    EpochSeconds row_start;
    bool fits;
  } cases[] = {
      {"333.333333 sps", 1 / 0.003, kMarch1, "KIR", "Z", 1 / 0.003, kMarch1, true},
      {"166.666667 sps", 1 / 0.006, kMarch1, "KIR", "Z", 1 / 0.006, kMarch1, true},
      {"142.857143 sps", 1 / 0.007, kMarch1, "KIR", "Z", 1 / 0.007, kMarch1, true},
      {"128 sps", 128.0, kMarch1, "KIR", "Z", 128.0, kMarch1, true},
      {"3 sps", 3.0, kMarch1, "KIR", "Z", 3.0, kMarch1, true},
      {"a sub-second start", 100.0, kMarch1 + 0.123457, "KIR", "Z", 100.0, kMarch1 + 0.123457,
       true},
      {"0.4 us before a second", 1 / 0.007, kMarch1 - 4e-7, "KIR", "Z", 1 / 0.007, kMarch1 - 4e-7,
       true},
      {"another station", 100.0, kMarch1, "KUDA", "Z", 100.0, kMarch1, false},
      {"another channel", 100.0, kMarch1, "KIR", "N-S", 100.0, kMarch1, false},
      {"another rate in the sixth decimal", 1 / 0.007, kMarch1, "KIR", "Z", 142.857142, kMarch1,
       false},
      {"another rate", 100.0, kMarch1, "KIR", "Z", 50.0, kMarch1, false},
      {"a second later", 100.0, kMarch1 + 1.0, "KIR", "Z", 100.0, kMarch1, false},
      {"an hour earlier", 100.0, kMarch1 - 3600.0, "KIR", "Z", 100.0, kMarch1, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const std::optional<TqfHeaderFields> header =
        ParseTqfHeader(BuildHeader("KIR", "Z", c.header_rate, c.header_start)).fields;
    ASSERT_TRUE(header);
    EXPECT_EQ(HeaderFitsRow(*header, c.row_station, c.row_channel, c.row_rate, c.row_start),
              c.fits);
  }
}

}  // namespace
}  // namespace korvel
