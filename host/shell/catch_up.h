// What `rthost run --catch-up` runs: every calendar day after the last one a
// job reported, up to yesterday. The last reported day is remembered in
// HOME/State/JOB.last-day ("YYYY-MM-DD"), which moves only over days that were
// all reported, so a day that failed is run again by the next catch-up; a home
// without that record starts after the newest report of the job.
#pragma once

#include <string>
#include <vector>

namespace host {

// A calendar day as days since 1970-01-01 (no zone: a day is a date; its text
// is DayText's).
using CivilDay = long;

struct CatchUpPlan {
    std::vector<CivilDay> days;  // to run, in order
    CivilDay firstLeftOut = 0;   // earlier missed days beyond the limit,
    int leftOut = 0;             //   from this one, this many
};

// The days after `lastReported` up to the day before `today`, the latest
// `limit` of them (the others are left out and counted); with nothing reported
// (`reported` false), yesterday alone.
CatchUpPlan PlanCatchUp(bool reported, CivilDay lastReported, CivilDay today, int limit);

// The remembered last reported day of `job` (the name of its settings file) in
// `home` (cp1251 paths), else the day of the newest report in `reportFolder`
// named for `reportName` (its .twr or .two, "NAME DD-MM-YYYY 00_00-00_00").
// False when there is neither; a damaged record is named in `warning` and
// taken as none.
bool LastReportedDay(const std::string& home, const std::string& job,
                     const std::string& reportFolder, const std::string& reportName, CivilDay& day,
                     std::string& warning);

// Remembers `day` as the last reported day of `job`. False (last error set)
// when the record cannot be written.
bool RecordReportedDay(const std::string& home, const std::string& job, CivilDay day);

}  // namespace host
