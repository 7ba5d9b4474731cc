// How each day a job computed ended, kept under the home (State/JOB.days, UTF-8,
// a line a run: "YYYY-MM-DD ok" or "YYYY-MM-DD failed: REASON"), so that a view
// of the reports can tell a day that failed from one that never ran.
#pragma once

#include <map>
#include <string>

namespace host {

// Appends the outcome of one run of `day` (days since 1970-01-01) of `job`
// (cp1251) to its record under `home`; `failure` (cp1251) empty when
// it was done. False (last error set) when the record cannot be written.
bool AppendDayOutcome(const std::string& home, const std::string& job, long day,
                      const std::string& failure);

// The last outcome of each day in the record: the reason of a failure, empty
// for a day done. A missing or unreadable record gives none; lines that are
// not outcomes are skipped.
std::map<long, std::string> ReadDayOutcomes(const std::string& home, const std::string& job);

}  // namespace host
