// The computation of page 3: every protection non-operation of the listed
// first-level reports gathered into one second-level report.
#pragma once

#include <functional>

#include "repinfo.h"
#include "report_search.h"

class TW_File;

// Replaces the items of `result` by copies of the non-operation incidents of the
// listed reports, in list order and file order within a report; sets its Start
// and End to the period and its RunTime to now. A report that cannot be loaded
// is logged with the reason, appended to `unreadable` when given, and left out;
// the others still count. Logs the start and the number found, which it returns.
// `observe`, when given, sees every report that loaded, with its times, before
// the next is loaded (the statistics are gathered in the same pass).
int GatherNonOperations(const InfoArray& reports, const PRTime& periodStart,
                        const PRTime& periodEnd, TW_File& result,
                        TW_UnreadableList* unreadable = nullptr,
                        const std::function<void(const TW_File&)>& observe = {});
