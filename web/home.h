// The home as the web view sees it: its report jobs, the folders they write
// into, and the report files there, found afresh on every request. Nothing
// is written; texts are cp1251 as stored.
#pragma once

#include <string>
#include <vector>

#include "common/prtime.h"

namespace web {

struct Job {
    std::string home;                    // the home it belongs to, with a final "/"
    std::string file;                    // the job's name in HOME/Jobs (NAME.json), cp1251
    std::string reportName;              // "Name": the first word of its report files
    std::string binDir, txtDir, xlsDir;  // absolute, each with a final "/"
};

// A computed period of a job: its report file (.twr, when it had incidents)
// and its operations file (.two), names without the folder.
struct ReportEntry {
    std::string twr, two;
    PRTime start, end;
    int items = 0;         // from the report's header; 0 without a report
    int unexplained = -1;  // operations without demand; -1 without an operations file
    long day = 0;          // the calendar day of the start (days since 1970-01-01)
};

// The jobs of `home` (with a final "/"), in the order of their names; a job
// file that cannot be read is left out with its reason in `problems`.
std::vector<Job> LoadJobs(const std::string& home, std::vector<std::string>& problems);

// The reports of `job` whose start lies in the days [firstDay, lastDay], in
// the order of their start. Of two files for one period (a rerun) the newer
// computation counts.
std::vector<ReportEntry> ListReports(const Job& job, long firstDay, long lastDay);

// True when `name` is a file the job's folders may give out: a name without a
// folder, of the job's reports (".twr", ".twt", ".two" from the report folder,
// ".txt" and ".xls" from theirs); sets the folder it lies in.
bool DownloadFolder(const Job& job, const std::string& name, std::string& folder);

}  // namespace web
