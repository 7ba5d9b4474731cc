// The operations of a period for the second-level report: the operations files
// (".two") of the reports' folder whose period overlaps the calculation period.
// They are known only when every listed report has one, so that a day computed
// before operations were kept counts as unknown, never as a day without any.
#pragma once

#include <string>
#include <vector>

#include "repinfo.h"
#include "report_search.h"
#include "tw_operations.h"

struct TW_PeriodOperations {
    std::vector<TW_Operation> Operations;  // in [start, end), in time order
    bool Known = false;
    // The listed reports (paths, cp1251) for whose period no operations file
    // was found.
    std::vector<std::string> Missing;
};

// Reads every operations file of `folder` (cp1251; empty: the current one)
// whose period overlaps [start, end), but those beside a report file of the
// folder that `reports` leaves out (excluded by the user). Of several files
// for one period (a day run twice) the latest computation counts. A file that cannot be read is
// logged and appended to `unreadable` when given; the operations are then not
// known. Known also needs at least one file, and one for every report of
// `reports`.
TW_PeriodOperations GatherOperations(const char* folder, const InfoArray& reports,
                                     const PRTime& start, const PRTime& end,
                                     TW_UnreadableList* unreadable = nullptr);

// True when a directory entry's name ends in ".two" in any letter case.
bool IsOperationsFileName(const char* name);
