#include "engine/coverage_svg.h"

#include <cstdio>

#include "engine/coverage.h"
#include "platform/number_text.h"

namespace korvel {
namespace {

std::string Escaped(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        // Control characters have no place in XML 1.0 text.
        out += static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\n' ? '?' : c;
    }
  }
  return out;
}

std::string Colour(ChartInk ink) {
  char text[8];
  std::snprintf(text, sizeof text, "#%06X", ChartInkColour(ink));
  return text;
}

std::string N(double value) { return FixedNumber(value, 2); }

}  // namespace

std::string CoverageChartSvg(const CoverageChart& chart) {
  std::string svg = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
  svg += "<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.1\" width=\"" + N(chart.width) +
         "\" height=\"" + N(chart.height) + "\" viewBox=\"0 0 " + N(chart.width) + " " +
         N(chart.height) +
         "\" font-family=\"DejaVu Sans, Verdana, Arial, sans-serif\" font-size=\"" +
         N(chart.font_size) + "\">\n";
  for (const bool background : {true, false}) {
    for (const ChartBox& box : chart.boxes) {
      if (IsBackgroundInk(box.ink) != background) continue;
      svg += "<rect x=\"" + N(box.x) + "\" y=\"" + N(box.y) + "\" width=\"" + N(box.width) +
             "\" height=\"" + N(box.height) + "\" fill=\"" + Colour(box.ink) + "\"";
      svg += box.tip.empty() ? "/>\n" : "><title>" + Escaped(box.tip) + "</title></rect>\n";
    }
    for (const ChartLine& line : chart.lines) {
      if (IsBackgroundInk(line.ink) != background) continue;
      svg += "<line x1=\"" + N(line.x1) + "\" y1=\"" + N(line.y1) + "\" x2=\"" + N(line.x2) +
             "\" y2=\"" + N(line.y2) + "\" stroke=\"" + Colour(line.ink) +
             "\" stroke-width=\"1\"/>\n";
    }
  }
  for (const ChartText& text : chart.texts) {
    const char* anchor = text.anchor == ChartAnchor::kStart    ? "start"
                         : text.anchor == ChartAnchor::kMiddle ? "middle"
                                                               : "end";
    svg += "<text x=\"" + N(text.x) + "\" y=\"" + N(text.y) + "\" text-anchor=\"" + anchor +
           "\" fill=\"" + Colour(ChartInk::kText) + "\"" +
           (text.bold ? " font-weight=\"bold\"" : "") + ">" + Escaped(text.text) + "</text>\n";
  }
  svg += "</svg>\n";
  return svg;
}

}  // namespace korvel
