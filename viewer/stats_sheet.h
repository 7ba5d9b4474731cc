// The statistics of a period as a sheet of the second-level report's
// spreadsheet, "Показатели": a title row, one header row (frozen, with an
// autofilter), a row per contour and the plant's row; counts, the rate (as a
// percentage format) and the times are number cells, empty where there is no
// figure; two last columns count the failed and the correct incidents without
// times, for which slow and near miss could not be told.
#pragma once

#include "report/xls/workbook.h"

struct TW_Statistics;

host::xls::Sheet TW_StatsSheet(const TW_Statistics& stats);
