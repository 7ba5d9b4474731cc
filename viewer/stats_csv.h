// The statistics of a period as a CSV table for spreadsheets and scripts.
#pragma once

#include <string>

struct TW_Statistics;

// The table as UTF-8 bytes, LF line ends: the header row
//   sensor,demands,correct,misoperations,failed,not_held,slow,near_miss,
//   misoperation_rate,relay_median_s,relay_max_s,apparatus_median_s,apparatus_max_s
// (one line), one row per contour in the order of first appearance (sensor =
// its Label), then the row "*" of the whole plant. Counts are integers; the rate
// is a fraction with four decimals after a point ("0.2500"), whatever the
// locale; times are seconds, a median with ".5" when it falls between two.
// Empty cells: the rate without demands, a time where the line has none, slow
// (near_miss) when a failed (correct) incident of the row has no times, so that
// the count could be higher. A sensor with a comma, quote or line end is quoted,
// quotes doubled.
std::string TW_StatsCsv(const TW_Statistics& stats);
