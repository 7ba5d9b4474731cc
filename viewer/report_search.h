// The search of page 2: the saved first-level reports of a folder whose period
// overlaps the calculation period and that hold at least one incident.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "repinfo.h"

// A report file that could not be read, and the reason (cp1251).
struct TW_Unreadable {
    std::string path;
    std::string reason;
};
using TW_UnreadableList = std::vector<TW_Unreadable>;

// Empties `reports` and fills it with the ".twr" files of `folder` (cp1251; an
// empty folder is the current one) whose header reads, whose item count is above
// 0 and whose period overlaps [periodStart, periodEnd] (strictly, on both ends),
// in the order of the folder listing. Only file headers are read. A file whose
// header cannot be read is logged ("Ошибка чтения отчета %s: %s") and appended
// to `unreadable` when given; folders and a missing folder list nothing. Returns
// the number of reports listed.
int SearchReports(InfoArray& reports, const char* folder, const PRTime& periodStart,
                  const PRTime& periodEnd, TW_UnreadableList* unreadable = nullptr);

// Notes every name of `names` (as DisplayOsName shows a file-system name that
// has no cp1251 form) with this extension as a file of `folder` that cannot be
// read: its name cannot be told to the system.
void NoteUnnamed(const char* folder, const std::vector<std::string>& names, const char* extension,
                 TW_UnreadableList* unreadable);

// The groups of listed reports that are one job's report of one period made
// more than once ("Name <period>.twr", "Name <period> (1).twr", ...): the same
// file name once a " (N)" counter is removed, and the same Start and End. Each
// group holds its indexes in the order of the reports' paths; the groups come
// in the order of their first path.
std::vector<std::vector<int>> RepeatedReports(const InfoArray& reports);

// True when `name` ends in "." and `ext` (lower-case letters), in any letter case.
bool HasFileExtension(const char* name, const char* ext);

// True when a directory entry's name is that of a report file: it ends in
// ".twr" in any letter case, as the Windows file pattern "*.twr" matched.
bool IsReportFileName(const char* name);
