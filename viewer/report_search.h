// The search of page 2: the saved first-level reports of a folder whose period
// overlaps the calculation period and that hold at least one incident.
#pragma once

#include "repinfo.h"

// Empties `reports` and fills it with the ".twr" files of `folder` (cp1251; an
// empty folder is the current one) whose header reads, whose item count is above
// 0 and whose period overlaps [periodStart, periodEnd] (strictly, on both ends),
// in the order of the folder listing. Only file headers are read. Unreadable
// files, folders and a missing folder are left out without a message; returns
// the number of reports listed.
int SearchReports(InfoArray& reports, const char* folder, const PRTime& periodStart,
                  const PRTime& periodEnd);

// True when a directory entry's name is that of a report file: it ends in
// ".twr" in any letter case, as the Windows file pattern "*.twr" matched.
bool IsReportFileName(const char* name);
