// The operator's time window as text: the forms the command line takes, to
// the second, and every near miss refused.
#include <gtest/gtest.h>

#include <optional>

#include "engine/time_window.h"

namespace korvel {
namespace {

TEST(TimeWindow, AStartIsExactlyADateThatExists) {
  const struct {
    const char* text;
    std::optional<EpochSeconds> start;
  } cases[] = {
      {"00:00:00 01/03/2007", 1172707200.0},
      {"23:59:59 31/12/2007", 1199145599.0},
      {"00:00:00 29/02/2008", 1204243200.0},
      {"00:00:00 29/02/2000", 951782400.0},
      {"00:00:00 01/01/1970", 0.0},
      {"00:00:00 29/02/2007", std::nullopt},
      {"00:00:00 29/02/2100", std::nullopt},
      {"00:00:00 31/04/2007", std::nullopt},
      {"00:00:00 00/01/2007", std::nullopt},
      {"00:00:00 01/13/2007", std::nullopt},
      {"00:00:00 31/12/1969", std::nullopt},
      {"24:00:00 01/01/2007", std::nullopt},
      {"00:60:00 01/01/2007", std::nullopt},
      {"00:00:60 01/01/2007", std::nullopt},
      {"00:00:00 01/03/2007x", std::nullopt},
      {" 00:00:00 01/03/2007", std::nullopt},
      {"00:00:00  01/03/2007", std::nullopt},
      {"00-00-00 01/03/2007", std::nullopt},
      {"00:00:00 01.03.2007", std::nullopt},
      {"0:0:0 1/3/2007", std::nullopt},
      {"00:00:00 01/03/07", std::nullopt},
      {"+0:00:00 01/03/2007", std::nullopt},
      {"", std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(ParseWindowStart(c.text), c.start) << c.text;
}

TEST(TimeWindow, ALengthIsExactlyHoursMinutesAndSeconds) {
  const struct {
    const char* text;
    std::optional<double> length;
  } cases[] = {
      {"00:30:00", 1800.0},        {"00:00:00", 0.0},           {"99:59:59", 359999.0},
      {"24:00:01", 86401.0},       {"99:99:99", std::nullopt},  {"00:60:00", std::nullopt},
      {"00:00:60", std::nullopt},  {"-01:00:00", std::nullopt}, {"1h", std::nullopt},
      {"1 hour", std::nullopt},    {"5", std::nullopt},         {"1:00:00", std::nullopt},
      {"100:00:00", std::nullopt}, {"01:00:00 ", std::nullopt}, {"01 00 00", std::nullopt},
      {"", std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(ParseWindowLength(c.text), c.length) << c.text;
}

// The window's length edit takes any two digits in each place, as its mask
// does, and nothing that would read as a length of 0 without being one.
TEST(TimeWindow, TheWindowsLengthEditKeepsItsMaskedForm) {
  for (const char* text : {"00:30:00", "99:99:99", "00:00:00"})
    EXPECT_TRUE(HasLengthForm(text)) << text;
  for (const char* text : {"0::30:00", "abc", "", "00:30:0", "00:30:000", "00 30 00", "__:__:__"})
    EXPECT_FALSE(HasLengthForm(text)) << text;
  EXPECT_EQ(WindowLengthSeconds("99:99:99"), 362439.0);
  EXPECT_EQ(WindowLengthSeconds("0::30:00"), 0.0);
}

}  // namespace
}  // namespace korvel
