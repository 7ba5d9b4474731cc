#include "period.h"

#include "nonoperation.h"

void TW_GatherPeriod(const char* folder, const PRTime& start, const PRTime& end,
                     const TW_StatsSettings& settings, TW_Period& out) {
    out.Found = SearchReports(out.Reports, folder, start, end, &out.Unreadable);
    TW_StatsBuilder stats(settings);
    // The statistics are gathered in the same pass as the non-operations.
    const auto observe = [&](const TW_File& report) {
        stats.Add(report);
        if (!report.TimesProblem.empty())
            out.UnusedTimes.push_back({TW_TimesFileName(report.FileName), report.TimesProblem});
    };
    out.Count =
        GatherNonOperations(out.Reports, start, end, out.NonOperations, &out.Unreadable, observe);
    out.Operations = GatherOperations(folder, out.Reports, start, end, &out.UnreadableOps);
    stats.Add(out.Operations.Operations);
    stats.SetOperationsKnown(out.Operations.Known);
    out.Statistics = stats.Finish(start, end);
}
