#include "catch_up.h"

#include <algorithm>

#include "common/osfile.h"
#include "common/timetext.h"

namespace host {

namespace {

// The record of a job's last reported day.
std::string RecordPath(const std::string& home, const std::string& job) {
    return home + "/State/" + job + ".last-day";
}

// The day of a report of a whole calendar day named "NAME DD-MM-YYYY
// 00_00-00_00.twr" (or .two); false for any other name.
bool ReportDay(const std::string& file, const std::string& name, CivilDay& day) {
    const std::string prefix = name + " ";
    const std::string tail = " 00_00-00_00";
    if (file.size() != prefix.size() + 10 + tail.size() + 4 ||
        file.compare(0, prefix.size(), prefix))
        return false;
    const std::string ext = file.substr(file.size() - 4);
    if (ext != ".twr" && ext != ".two") return false;
    const std::size_t at = prefix.size();
    if (file.compare(at + 10, tail.size(), tail) != 0 || file[at + 2] != '-' || file[at + 5] != '-')
        return false;
    // "DD-MM-YYYY" as "YYYY-MM-DD".
    const std::string date =
        file.substr(at + 6, 4) + '-' + file.substr(at + 3, 2) + '-' + file.substr(at, 2);
    return ParseDayText(date.c_str(), day);
}

}  // namespace

CatchUpPlan PlanCatchUp(bool reported, CivilDay lastReported, CivilDay today, int limit) {
    CatchUpPlan plan;
    const CivilDay first = reported ? lastReported + 1 : today - 1;
    const CivilDay start = std::max(first, today - std::max(limit, 1));
    if (start > first) {
        plan.firstLeftOut = first;
        plan.leftOut = int(start - first);
    }
    for (CivilDay d = start; d < today; ++d)
        plan.days.push_back(d);
    return plan;
}

bool LastReportedDay(const std::string& home, const std::string& job,
                     const std::string& reportFolder, const std::string& reportName, CivilDay& day,
                     std::string& warning) {
    const std::string record = RecordPath(home, job);
    if (FileExists(record.c_str())) {
        std::string text;
        if (ReadWholeFile(record.c_str(), text, 64) && !text.empty() && text.back() == '\n' &&
            ParseDayText(text.substr(0, text.size() - 1).c_str(), day))
            return true;
        warning = record + " holds no day YYYY-MM-DD; the newest report counts instead";
    }
    bool found = false;
    ForEachDirEntry(reportFolder.c_str(), [&](const char* name, bool isFolder) {
        CivilDay d = 0;
        if (!isFolder && ReportDay(name, reportName, d) && (!found || d > day)) {
            day = d;
            found = true;
        }
        return true;
    });
    return found;
}

bool RecordReportedDay(const std::string& home, const std::string& job, CivilDay day) {
    return MakeDirectories((home + "/State").c_str()) &&
           WriteFileAtomically(RecordPath(home, job).c_str(), DayText(day) + "\n");
}

}  // namespace host
