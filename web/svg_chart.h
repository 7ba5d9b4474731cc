// The period's charts as SVG images drawn here (no script, no font or file
// from elsewhere): per contour, its demands split into correct operations and
// misoperations with its operations without demand beside them, and the
// relay's and the apparatus's response times (median and 90th percentile).
#pragma once

#include <string>

#include "tw_stats.h"

namespace web {

std::string OutcomesChart(const TW_Statistics& stats);
std::string TimesChart(const TW_Statistics& stats);

}  // namespace web
