#include "engine/coverage_chart.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "platform/text1251.h"
#include "platform/number_text.h"

namespace korvel {
namespace {

constexpr double kFontSize = 12;
constexpr double kCharWidth = 7.6;  // about a capital of a 12-pixel sans-serif face
constexpr double kMargin = 10;
constexpr double kRowHeight = 24;
constexpr double kBarHeight = 14;
constexpr double kRowsTop = 62;
constexpr double kPercentWidth = 56;
constexpr double kLabelPixels = 90;  // room for one axis label
constexpr double kThinnest = 2;      // a gap or overlap is never drawn thinner

struct Clock {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};

Clock Split(EpochSeconds t) {
  Clock c;
  float seconds = 0.0f;
  SplitEpochSeconds(std::floor(t + 0.5), c.year, c.month, c.day, c.hour, c.minute, seconds);
  c.second = static_cast<int>(seconds);
  return c;
}

std::string Date(const Clock& c, const ChartWords& words) {
  char text[32];
  std::snprintf(text, sizeof text, words.window_times ? "%02d/%02d/%04d" : "%02d.%02d.%04d", c.day,
                c.month, c.year);
  return text;
}

std::string TimeOfDay(const Clock& c, bool seconds) {
  char text[32];
  if (seconds)
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", c.hour, c.minute, c.second);
  else
    std::snprintf(text, sizeof text, "%02d:%02d", c.hour, c.minute);
  return text;
}

std::string Moment(EpochSeconds t, const ChartWords& words) {
  if (words.window_times) {
    const Clock c = Split(t);
    return TimeOfDay(c, true) + " " + Date(c, words);
  }
  std::string text = FormatCoverageTime(t);
  std::replace(text.begin(), text.end(), 'T', ' ');
  return text;
}

std::string Label(const ChannelCoverage& c) {
  return Cp1251ToUtf8(c.station) + (c.channel.empty() ? "" : "  " + Cp1251ToUtf8(c.channel));
}

}  // namespace

unsigned ChartInkColour(ChartInk ink) {
  switch (ink) {
    case ChartInk::kPaper:
      return 0xFFFFFF;
    case ChartInk::kRowShade:
      return 0xF2F4F7;
    case ChartInk::kCovered:
      return 0x4A7AB5;
    case ChartInk::kGap:
      return 0xD62728;
    case ChartInk::kOverlap:
      return 0xFF9F1A;
    case ChartInk::kAxis:
      return 0x333333;
    case ChartInk::kGrid:
      return 0xD0D4DA;
    case ChartInk::kText:
      return 0x000000;
  }
  return 0;
}

bool IsBackgroundInk(ChartInk ink) {
  return ink == ChartInk::kPaper || ink == ChartInk::kRowShade || ink == ChartInk::kGrid;
}

double ChartTickStep(double seconds, double pixels) {
  static constexpr double kSteps[] = {1,     2,     5,      10,     15,     30,     60,    120,
                                      300,   600,   900,    1800,   3600,   7200,   10800, 21600,
                                      43200, 86400, 172800, 432000, 864000, 1728000};
  const double labels = std::max(1.0, std::floor(pixels / kLabelPixels));
  for (double step : kSteps)
    if (seconds / step <= labels) return step;
  return std::ceil(seconds / labels / 86400.0) * 86400.0;
}

CoverageChart LayOutCoverageChart(const CoverageReport& report, double width,
                                  const ChartWords& words) {
  CoverageChart chart;
  chart.width = width;
  chart.font_size = kFontSize;
  std::size_t longest = 0;
  for (const ChannelCoverage& c : report.channels)
    longest = std::max(longest, Utf8CharacterCount(Label(c)));
  const double label_width =
      std::min(width * 0.4, std::max(80.0, static_cast<double>(longest) * kCharWidth + 12));
  const double left = kMargin + label_width;
  const double right = std::max(left + 1, width - kMargin - kPercentWidth);
  const TimeSpan window = report.window;
  const double span = window.end - window.start;
  const double scale = span > 0 ? (right - left) / span : 0.0;
  const auto x_of = [&](EpochSeconds t) { return left + (t - window.start) * scale; };

  const double rows_bottom = kRowsTop + kRowHeight * static_cast<double>(report.channels.size());
  const double axis = rows_bottom + 4;
  chart.height = axis + 44;
  chart.boxes.push_back({0, 0, width, chart.height, ChartInk::kPaper, {}});

  chart.texts.push_back(
      {kMargin, 20, words.title + "  " + Moment(window.start, words) + " \u2013 " + Moment(window.end, words),
       ChartAnchor::kStart, true});
  // The legend.
  double legend_x = kMargin;
  for (const auto& [ink, word] : {std::pair{ChartInk::kCovered, words.covered},
                                  {ChartInk::kGap, words.gap},
                                  {ChartInk::kOverlap, words.overlap}}) {
    chart.boxes.push_back({legend_x, 30, 12, 12, ink, {}});
    chart.texts.push_back({legend_x + 17, 40, word, ChartAnchor::kStart, false});
    legend_x += 17 + static_cast<double>(Utf8CharacterCount(word)) * kCharWidth + 18;
  }

  // The axis: ticks at round times, a grid line through the rows at each.
  const double step = span > 0 ? ChartTickStep(span, right - left) : 0;
  chart.lines.push_back({left, axis, right, axis, ChartInk::kAxis});
  std::string last_date;
  if (step > 0) {
    for (double t = std::ceil(window.start / step) * step; t <= window.end + 1e-6 * step;
         t += step) {
      const double x = x_of(t);
      const Clock c = Split(t);
      chart.lines.push_back({x, kRowsTop, x, rows_bottom, ChartInk::kGrid});
      chart.lines.push_back({x, axis, x, axis + 5, ChartInk::kAxis});
      if (step >= 86400) {
        chart.texts.push_back({x, axis + 18, Date(c, words), ChartAnchor::kMiddle, false});
        continue;
      }
      chart.texts.push_back({x, axis + 18, TimeOfDay(c, step < 60), ChartAnchor::kMiddle, false});
      if (Date(c, words) != last_date)
        chart.texts.push_back({x, axis + 33, Date(c, words), ChartAnchor::kMiddle, false});
      last_date = Date(c, words);
    }
  }

  double y = kRowsTop;
  bool shaded = false;
  for (const ChannelCoverage& c : report.channels) {
    if (shaded)
      chart.boxes.push_back({kMargin, y, width - 2 * kMargin, kRowHeight, ChartInk::kRowShade, {}});
    shaded = !shaded;
    const double bar = y + (kRowHeight - kBarHeight) / 2;
    const double baseline = y + kRowHeight / 2 + kFontSize * 0.35;
    chart.texts.push_back({left - 8, baseline, Label(c), ChartAnchor::kEnd, false});
    chart.texts.push_back(
        {right + 6, baseline, PercentText(c.percent) + "%", ChartAnchor::kStart, false});
    const std::string files_tip = words.file_count(static_cast<long>(c.files));
    for (const TimeSpan& s : c.covered)
      chart.boxes.push_back({x_of(s.start), bar, std::max(1.0, (s.end - s.start) * scale),
                             kBarHeight, ChartInk::kCovered,
                             words.covered + " " + Moment(s.start, words) + " \u2013 " + Moment(s.end, words) +
                                 " (" + files_tip + ")"});
    for (const CoverageStretch& s : c.stretches) {
      const bool gap = s.kind == StretchKind::kGap;
      double x = x_of(s.start);
      const double w = std::max(kThinnest, (s.end - s.start) * scale);
      x = std::min(x, right - w);
      chart.boxes.push_back(
          {x, bar - 2, w, kBarHeight + 4, gap ? ChartInk::kGap : ChartInk::kOverlap,
           (gap ? words.gap : words.overlap) + " " + Moment(s.start, words) + " \u2013 " + Moment(s.end, words) +
               " (" + FixedNumber(s.end - s.start, 2) + " " + words.seconds + ")"});
    }
    if (c.channel.empty())
      chart.texts.push_back({left + 6, baseline, words.nothing, ChartAnchor::kStart, true});
    y += kRowHeight;
  }
  return chart;
}

}  // namespace korvel
