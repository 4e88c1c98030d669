// Gaps and overlaps of crafted file sets, the report's lines, and the
// picture's layout.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "engine/coverage.h"
#include "engine/coverage_chart.h"
#include "engine/coverage_svg.h"
#include "platform/number_text.h"

namespace korvel {
namespace {

constexpr EpochSeconds kT0 = 1172707200.0;  // 2007-03-01 00:00:00
constexpr TimeSpan kHour{kT0, kT0 + 3600.0};

// Files of KIR Z at 100 sps, as offsets in seconds from kT0.
std::vector<CoverageFile> Files(std::initializer_list<std::pair<double, double>> spans,
                                double rate = 100.0) {
  std::vector<CoverageFile> files;
  for (const auto& [from, to] : spans) files.push_back({"KIR", "Z", kT0 + from, to - from, rate});
  return files;
}

std::string Stretches(const ChannelCoverage& c) {
  std::string text;
  for (const CoverageStretch& s : c.stretches)
    text += std::string(s.kind == StretchKind::kGap ? "gap " : "overlap ") +
            FixedNumber(s.start - kT0, 3) + "-" + FixedNumber(s.end - kT0, 3) + ";";
  return text;
}

TEST(Coverage, GapsAndOverlapsLongerThanASampleIntervalAreReported) {
  const struct {
    const char* what;
    std::vector<CoverageFile> files;
    std::string stretches;
    double percent;
    int files_in_window;
  } cases[] = {
      {"whole", Files({{0, 1800}, {1800, 3600}}), "", 100.0, 2},
      {"a gap inside", Files({{0, 1000}, {1200, 3600}}), "gap 1000.000-1200.000;", 94.444, 2},
      {"gaps at both edges", Files({{100, 3500}}), "gap 0.000-100.000;gap 3500.000-3600.000;",
       94.444, 1},
      {"an overlap", Files({{0, 2000}, {1500, 3600}}), "overlap 1500.000-2000.000;", 100.0, 2},
      {"three files over each other", Files({{0, 2000}, {1000, 3000}, {1500, 3600}}),
       "overlap 1000.000-3000.000;", 100.0, 3},
      {"a file inside another", Files({{0, 3600}, {100, 200}}), "overlap 100.000-200.000;", 100.0,
       2},
      {"a gap under one interval", Files({{0, 1800}, {1800.009, 3600}}), "", 100.0, 2},
      {"a gap just over one interval", Files({{0, 1800}, {1800.011, 3600}}),
       "gap 1800.000-1800.011;", 99.9997, 2},
      {"an overlap under one interval", Files({{0, 1800.009}, {1800, 3600}}), "", 100.0, 2},
      {"an edge under one interval", Files({{0.005, 3599.995}}), "", 100.0, 1},
      {"at one sample per second", Files({{0, 1800}, {1800.5, 3600}}, 1.0), "", 100.0, 2},
      {"files beyond the window only", Files({{-600, 0}, {3600, 4000}}), "gap 0.000-3600.000;", 0.0,
       0},
  };
  for (const auto& c : cases) {
    const CoverageReport report = ComputeCoverage({"KIR"}, c.files, kHour);
    ASSERT_EQ(report.channels.size(), 1u) << c.what;
    const ChannelCoverage& z = report.channels[0];
    EXPECT_EQ(z.channel, "Z");
    EXPECT_EQ(Stretches(z), c.stretches) << c.what;
    EXPECT_NEAR(z.percent, c.percent, 0.001) << c.what;
    EXPECT_EQ(z.files, c.files_in_window) << c.what;
    EXPECT_EQ(report.HasProblems(), !c.stretches.empty()) << c.what;
  }
}

TEST(Coverage, StationsChannelsAndTheWholeTimeOfTheFiles) {
  std::vector<CoverageFile> files = {
      {"KIR", "Z", kT0 + 600, 600, 100}, {"KIR", "N-S", kT0, 1200, 100},
      {"KUDA", "Z", kT0 + 900, 100, 50}, {"OTHER", "Z", kT0 - 9999, 1, 100},
      {"KIR", "E-W", kT0, NAN, 100},  // no length: passed over
  };
  // Without a window: from the first start to the last end of the files given.
  const CoverageReport report = ComputeCoverage({"KIR", "KUDA", "EMPTY", "KIR"},
                                                {files.begin(), files.begin() + 3}, std::nullopt);
  EXPECT_EQ(report.window.start, kT0);
  EXPECT_EQ(report.window.end, kT0 + 1200);
  ASSERT_EQ(report.channels.size(), 4u);
  EXPECT_EQ(report.channels[0].channel, "N-S");  // by name within the station
  EXPECT_EQ(report.channels[1].channel, "Z");
  EXPECT_EQ(report.channels[2].station, "KUDA");
  EXPECT_EQ(report.channels[3].station, "EMPTY");
  EXPECT_EQ(report.channels[3].channel, "");

  EXPECT_EQ(FormatCoverageLines(report),
            "KIR\tN-S\tcoverage\t100.0\t1\n"
            "KIR\tZ\tgap\t2007-03-01T00:00:00.00\t2007-03-01T00:10:00.00\t600.00\n"
            "KIR\tZ\tcoverage\t50.0\t1\n"
            "KUDA\tZ\tgap\t2007-03-01T00:00:00.00\t2007-03-01T00:15:00.00\t900.00\n"
            "KUDA\tZ\tgap\t2007-03-01T00:16:40.00\t2007-03-01T00:20:00.00\t200.00\n"
            "KUDA\tZ\tcoverage\t8.3\t1\n"
            "EMPTY\t\tgap\t2007-03-01T00:00:00.00\t2007-03-01T00:20:00.00\t1200.00\n"
            "EMPTY\t\tcoverage\t0.0\t0\n");
  EXPECT_EQ(ComputeCoverage({"KIR"}, files, kHour).channels.size(), 2u);
  // Nothing at all: no window to measure, and the station is missing.
  const CoverageReport none = ComputeCoverage({"EMPTY"}, {}, std::nullopt);
  EXPECT_EQ(FormatCoverageLines(none), "EMPTY\t\tcoverage\t0.0\t0\n");
  EXPECT_TRUE(none.HasProblems());
}

TEST(Coverage, TimesAreRoundedToHundredthsAcrossEveryField) {
  EXPECT_EQ(FormatCoverageTime(kT0), "2007-03-01T00:00:00.00");
  EXPECT_EQ(FormatCoverageTime(kT0 + 0.125), "2007-03-01T00:00:00.13");
  EXPECT_EQ(FormatCoverageTime(kT0 - 0.004), "2007-03-01T00:00:00.00");
  EXPECT_EQ(FormatCoverageTime(kT0 - 0.006), "2007-02-28T23:59:59.99");
  EXPECT_EQ(FormatCoverageTime(kT0 + 86399.996), "2007-03-02T00:00:00.00");
  EXPECT_EQ(FormatCoverageTime(0.0), "1970-01-01T00:00:00.00");
  EXPECT_EQ(FixedNumber(-0.001, 2), "0.00");
  EXPECT_EQ(PercentText(99.99), "99.9");
  EXPECT_EQ(PercentText(12.3), "12.3");
  EXPECT_EQ(PercentText(100.0), "100.0");
  EXPECT_EQ(FixedNumber(2.5, 1), "2.5");
}

TEST(CoverageChart, TicksFallOnRoundTimesWithRoomForTheirLabels) {
  const struct {
    double seconds, pixels, step;
  } cases[] = {
      {60, 900, 10},    {3600, 900, 600}, {21600, 900, 3600},     {86400, 900, 10800},
      {3600, 90, 3600}, {3600, 10, 3600}, {2592000, 900, 432000}, {31536000, 900, 3196800},
  };
  for (const auto& c : cases)
    EXPECT_EQ(ChartTickStep(c.seconds, c.pixels), c.step) << c.seconds << " s in " << c.pixels;
}

TEST(CoverageChart, BarsGapsAndOverlapsLieWhereTheirTimesAre) {
  const CoverageReport report = ComputeCoverage({"KIR", "KUDA"},
                                                {{"KIR", "Z", kT0, 1800, 100},
                                                 {"KIR", "Z", kT0 + 1800.05, 1799.95, 100},
                                                 {"KIR", "N-S", kT0, 2000, 100},
                                                 {"KIR", "N-S", kT0 + 1000, 2600, 100}},
                                                kHour);
  const CoverageChart chart = LayOutCoverageChart(report, 1000);
  const auto of_ink = [&](ChartInk ink) {
    std::vector<ChartBox> boxes;
    std::copy_if(chart.boxes.begin(), chart.boxes.end(), std::back_inserter(boxes),
                 [&](const ChartBox& b) { return b.ink == ink; });
    return boxes;
  };
  const std::vector<ChartBox> gaps = of_ink(ChartInk::kGap);
  const std::vector<ChartBox> overlaps = of_ink(ChartInk::kOverlap);
  ASSERT_EQ(gaps.size(), 3u);  // the legend's, Z's 0.05 s and KUDA's whole hour
  ASSERT_EQ(overlaps.size(), 2u);
  const ChartBox& thin = gaps[1];
  const ChartBox& whole = gaps[2];
  EXPECT_EQ(thin.width, 2);                             // drawn though it is a fraction of a pixel
  EXPECT_NEAR(thin.x, whole.x + whole.width / 2, 1.0);  // half way through the hour
  EXPECT_EQ(thin.tip, "gap 2007-03-01 00:30:00.00 \u2013 2007-03-01 00:30:00.05 (0.05 s)");
  EXPECT_NEAR(overlaps[1].width, whole.width * 1000 / 3600, 0.01);
  EXPECT_LT(overlaps[1].y, thin.y);  // N-S comes before Z
  // Labels and percentages; ticks every ten minutes with the date once.
  std::vector<std::string> texts;
  for (const ChartText& t : chart.texts) texts.push_back(t.text);
  for (const char* expected : {"KIR  N-S", "KIR  Z", "KUDA", "no files", "100.0%", "99.9%", "0.0%",
                               "00:00", "00:10", "01:00", "01.03.2007"})
    EXPECT_EQ(std::count(texts.begin(), texts.end(), expected), 1) << expected;
}

TEST(CoverageSvg, IsAStandaloneDocumentWithItsTextsEscaped) {
  const CoverageReport report =
      ComputeCoverage({"A&B<C>\"D\""}, {{"A&B<C>\"D\"", "\x01Z", kT0, 100, 100}}, kHour);
  ChartWords words;
  words.title = "Покрытие";
  const std::string svg = CoverageChartSvg(LayOutCoverageChart(report, 800, words));
  EXPECT_EQ(
      svg.rfind(
          "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<svg xmlns=\"http://www.w3.org/2000/svg\"",
          0),
      0u);
  EXPECT_NE(svg.find("width=\"800.00\""), std::string::npos);
  EXPECT_NE(svg.find(">A&amp;B&lt;C&gt;&quot;D&quot;  ?Z</text>"), std::string::npos);
  EXPECT_NE(svg.find(">Покрытие  2007-03-01"), std::string::npos);
  EXPECT_NE(svg.find("fill=\"#D62728\"><title>gap 2007-03-01 00:01:40.00"), std::string::npos);
  EXPECT_EQ(svg.substr(svg.size() - 7), "</svg>\n");
}

}  // namespace
}  // namespace korvel
