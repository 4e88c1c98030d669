#pragma once
// The coverage picture as a standalone SVG document (UTF-8) that a browser
// shows as it stands: no scripts, no external fonts or styles.

#include <string>

#include "engine/coverage_chart.h"

namespace korvel {

std::string CoverageChartSvg(const CoverageChart& chart);

}  // namespace korvel
