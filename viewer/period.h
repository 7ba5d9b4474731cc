// Everything the second-level report knows of a period, gathered in one pass
// over a folder of saved first-level reports: the reports, their
// non-operations, the operations and the statistics. The batch mode and the
// web view show it; nothing is written.
#pragma once

#include <string>

#include "operations_search.h"
#include "repinfo.h"
#include "report_search.h"
#include "tw_file.h"
#include "tw_stats.h"

struct TW_Period {
    InfoArray Reports;      // overlapping the period, with incidents
    int Found = 0;          // their count
    TW_File NonOperations;  // the gathered second-level report
    int Count = 0;          // its items
    TW_PeriodOperations Operations;
    TW_Statistics Statistics;
    TW_UnreadableList Unreadable;     // reports that could not be read
    TW_UnreadableList UnusedTimes;    // times files that could not be used
    TW_UnreadableList UnreadableOps;  // operations files that could not be read
};

// Gathers the period [start, end] of `folder` (cp1251; it must exist). What
// cannot be read is listed and left out; the rest still counts.
void TW_GatherPeriod(const char* folder, const PRTime& start, const PRTime& end,
                     const TW_StatsSettings& settings, TW_Period& out);
