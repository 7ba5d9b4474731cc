// The statistics of a period as a CSV table for spreadsheets and scripts.
#pragma once

#include <string>

struct TW_Statistics;

// The table as UTF-8 bytes, LF line ends: the header row
//   sensor,demands,correct,misoperations,failed,not_held,slow,near_miss,
//   misoperation_rate,relay_median_s,relay_max_s,apparatus_median_s,apparatus_max_s,
//   false_relay,false_apparatus,commanded,maintenance,dependability,security,
//   misoperation_rate_all,relay_p90_s,apparatus_p90_s
// (one line), one row per contour in the order of first appearance (sensor =
// its Label), then the row "*" of the whole plant. Counts are integers; the rate
// is a fraction with four decimals after a point ("0.2500"), whatever the
// locale; times are seconds, a median with ".5" when it falls between two.
// Empty cells: the rate without demands, a time where the line has none, slow
// (near_miss) when a failed (correct) incident of the row has no times, so that
// the count could be higher. A sensor with a comma, quote or line end is quoted,
// quotes doubled. The operation counts and the shares that need them are empty
// when the operations are not known; a share is empty where it has nothing to
// divide by.
std::string TW_StatsCsv(const TW_Statistics& stats);

// Every operation of the statistics, in time order, UTF-8, LF line ends:
//   variable,role,contour,time,class,incident_start
// role "relay" or "apparatus"; contour the sensor of the operation's contour;
// times "YYYY-MM-DD HH:MM:SS"; incident_start empty unless the class is demand
// or short_demand.
std::string TW_OperationsCsv(const TW_Statistics& stats);

// The lines of the operations, in the order of their first operation:
//   variable,role,operations,on_demand,unexplained,median_s,p90_s,
//   earlier_median_s,later_median_s,slowing
// times of the operations on demand; the medians of the two halves empty with
// fewer than 6 of them; slowing 0 or 1.
std::string TW_LinesCsv(const TW_Statistics& stats);
