// The statistics of a period as a sheet of the second-level report's
// spreadsheet, "Показатели": a title row, one header row (frozen, with an
// autofilter), a row per contour and the plant's row; counts, the rate (as a
// percentage format) and the times are number cells, empty where there is no
// figure (the operation counts and the shares that need them where the
// operations are not known); two last columns count the failed and the correct
// incidents without times, for which slow and near miss could not be told.
#pragma once

#include <string>
#include <vector>

#include "report/xls/workbook.h"

struct TW_Statistics;

host::xls::Sheet TW_StatsSheet(const TW_Statistics& stats);

// The operations of the period as "Срабатывания": a title row, a header row
// (frozen, with an autofilter), then a row per operation in time order: line,
// role, contour, time, class and the start of the incident it answered (demand
// and short demand; blank otherwise), times as date-time cells. More operations
// than a sheet holds go on in "Срабатывания (2)" and so on, each with its
// title and header. When the operations are not known, one sheet with the
// title and `unknownText` (cp1251) under it in place of the table, so that it
// never reads as a period without operations.
std::vector<host::xls::Sheet> TW_OperationsSheets(const TW_Statistics& stats,
                                                  const std::string& unknownText);

// What the second-level report's spreadsheet holds after the report: the
// statistics, then the operations.
std::vector<host::xls::Sheet> TW_ReportExtraSheets(const TW_Statistics& stats,
                                                   const std::string& operationsUnknownText);
