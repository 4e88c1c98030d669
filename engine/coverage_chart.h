#pragma once
// The coverage report as a picture: one row per station and channel with its
// label, the covered time as bars, gaps in red and overlaps in orange over
// them, and a time axis with ticks at round times. Laid out here once, as
// boxes, lines and texts in pixels; written out as SVG (coverage_svg) or
// painted by the window.

#include <functional>
#include <string>
#include <vector>

#include "engine/coverage.h"

namespace korvel {

enum class ChartInk { kPaper, kRowShade, kCovered, kGap, kOverlap, kAxis, kGrid, kText };

// 0xRRGGBB of each ink.
unsigned ChartInkColour(ChartInk ink);
// Painted first, in a pass of their own: the paper, the row shades and the
// grid lie under the bars, the axis and the texts.
bool IsBackgroundInk(ChartInk ink);

enum class ChartAnchor { kStart, kMiddle, kEnd };

struct ChartBox {
  double x = 0, y = 0, width = 0, height = 0;
  ChartInk ink = ChartInk::kCovered;
  std::string tip;  // UTF-8; what the box stands for, for a tooltip
};

struct ChartLine {
  double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
  ChartInk ink = ChartInk::kAxis;
};

struct ChartText {
  double x = 0, y = 0;  // y is the baseline
  std::string text;     // UTF-8
  ChartAnchor anchor = ChartAnchor::kStart;
  bool bold = false;
};

struct CoverageChart {
  double width = 0, height = 0;
  double font_size = 12;
  std::vector<ChartBox> boxes;  // within a pass, later ones over earlier ones
  std::vector<ChartLine> lines;
  std::vector<ChartText> texts;
};

// The words of the picture, so that the window can speak Russian and the
// command line English.
struct ChartWords {
  std::string title = "Coverage";
  std::string covered = "covered";
  std::string gap = "gap";
  std::string overlap = "overlap";
  std::string nothing = "no files";
  std::string seconds = "s";
  // A count of files with its noun in the language's plural form.
  std::function<std::string(long)> file_count = [](long n) {
    return std::to_string(n) + (n == 1 ? " file" : " files");
  };
  // Dates as dd/mm/yyyy and moments as "hh:mm:ss dd/mm/yyyy", the window's
  // own form; else dd.mm.yyyy and ISO 8601.
  bool window_times = false;
};

// Times on the axis read as hh:mm (hh:mm:ss for short windows, dd.mm.yyyy
// for long ones), at steps of 1, 2, 5, 10, 15 or 30 seconds or minutes, 1,
// 2, 3, 6 or 12 hours, or whole days, at most one label per 90 pixels.
double ChartTickStep(double seconds, double pixels);

CoverageChart LayOutCoverageChart(const CoverageReport& report, double width = 1000,
                                  const ChartWords& words = {});

}  // namespace korvel
