// The statistics of a period as the window, the print and the spreadsheet show
// them: one row per contour in the order of first appearance, then the row of
// the whole plant; and what the charts draw, chosen and ordered here so that the
// chart code only paints. Texts are cp1251.
#pragma once

#include <array>
#include <cstdint>
#include <utility>
#include <string>
#include <vector>

#include "tw_operations.h"

struct TW_Statistics;
struct TW_StatsFigures;

// The table's column titles.
const std::vector<std::string>& TW_StatsColumns();
// Contours, then the plant.
int TW_StatsRowCount(const TW_Statistics& stats);
// The text of a cell; false for a row or column outside the table. A rate or
// share is a percentage with one decimal ("12,5 %"), a time in seconds ("4",
// "4,5"); a cell is empty where there is no figure (the counts of operations
// and the shares that need them when the operations are not known), and a slow
// or near-miss count that could be higher because some incidents have no times
// ends in "+".
bool TW_StatsCellText(const TW_Statistics& stats, int row, int column, std::string& text);
// The figures of a row: a contour's, or for the last row the plant's.
const TW_StatsFigures* TW_StatsRowFigures(const TW_Statistics& stats, int row);

// One bar of the misoperation-rate chart.
struct TW_RateBar {
    int Contour = 0;  // index into TW_Statistics::Contours
    double Rate = 0;  // misoperations / demands
};
// The contours with at least one misoperation, worst first (the higher rate,
// then more misoperations, then the earlier contour), at most `limit`.
std::vector<TW_RateBar> TW_RateBars(const TW_Statistics& stats, std::size_t limit);

// One bar of the chart of operations by class: a contour's operations without
// demand, a count per class. Operations on demand are left out: they are the
// protection answering its calls (the table counts the calls) and would dwarf
// the operations worth a look.
struct TW_ClassBar {
    int Contour = 0;                            // index into TW_Statistics::Contours
    std::array<int, TW_OpClassCount> Counts{};  // by TW_OpClass; never of TW_OpDemand
    int Total() const;
};
// The contours with an operation without demand, the most unexplained first
// (then the more such operations, then the earlier contour), at most `limit`.
// Empty when the operations are not known.
std::vector<TW_ClassBar> TW_ClassBars(const TW_Statistics& stats, std::size_t limit);

// One point of the response-time chart.
struct TW_ResponsePoint {
    int64_t Time = 0;        // the excursion's start, seconds since 1970
    double Value = 0;        // seconds, or percent of the window
    bool Apparatus = false;  // else the relay
};
// The window (or the near-miss line) of a contour's line from an incident on.
struct TW_WindowStep {
    int64_t Time = 0;
    double Seconds = 0;  // 0: the whole excursion (not drawn)
    bool Apparatus = false;
};
struct TW_ResponseChartData {
    std::vector<TW_ResponsePoint> Points;  // in time order
    std::vector<TW_WindowStep> Windows;    // of one contour; empty for the plant
    bool Percent = false;                  // the plant: each time as a share of its window
};
// `contour` < 0: every contour, each response as a percentage of its window
// (its MaxTime, or the excursion's length when that is 0), so that 100 is the
// window for all; else that contour's responses in seconds and its windows as
// they changed. Lines without a time are left out. Where the period has more
// points than `columns` columns of a chart can show apart, each column keeps,
// of the relay's and of the apparatus's, its quickest and its slowest.
inline constexpr std::size_t kResponseChartColumns = 2000;
TW_ResponseChartData TW_ResponseChart(const TW_Statistics& stats, int contour,
                                      std::size_t columns = kResponseChartColumns);

// The rows of a printed table, page by page: [first, last) of each page when the
// first page has room for `firstPage` rows and every later one for `perPage`
// (each at least 1). No rows: no pages.
std::vector<std::pair<int, int>> TW_TablePages(int rows, int firstPage, int perPage);
