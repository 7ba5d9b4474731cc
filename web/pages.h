// The web view's pages and API documents, each from the home's jobs and
// reports. Inputs are already checked; texts in the pages are escaped.
#pragma once

#include <string>
#include <vector>

#include "home.h"
#include "response.h"

namespace web {

// A calendar day, or a period of whole days [first, last].
struct Days {
    long first = 0, last = 0;
};

Response CalendarPage(const std::vector<Job>& jobs, const Job& job, int year, int month);
Response DayPage(const Job& job, long day);
Response PeriodPage(const std::vector<Job>& jobs, const Job& job, const Days& days);

Response ReportsJson(const std::vector<Job>& jobs, const Days& days);
// `name` a report or operations file of one of the jobs.
Response ReportJson(const std::vector<Job>& jobs, const std::string& name);
Response StatsJson(const Job& job, const Days& days);
Response OperationsJson(const Job& job, const Days& days);
Response StatsCsv(const Job& job, const Days& days);
// "outcomes" or "times" (svg_chart.h); not found for another name.
Response ChartSvg(const Job& job, const Days& days, const std::string& which);
// The second-level spreadsheet of the period (non-operations and statistics),
// made in a temporary folder outside the home.
Response PeriodSpreadsheet(const Job& job, const Days& days);

// A file of the job's folders, opened without following a link.
Response Download(const Job& job, const std::string& name);

}  // namespace web
