#include "catch_up.h"

#include <algorithm>
#include <cstdio>

#include "common/osfile.h"
#include "common/prtime.h"

namespace host {

namespace {

// The record of a job's last reported day.
std::string RecordPath(const std::string& home, const std::string& job) {
    return home + "/State/" + job + ".last-day";
}

// The number of `count` decimal digits at text[at]; false when they are not.
bool Digits(const std::string& text, std::size_t at, std::size_t count, int& value) {
    if (at + count > text.size()) return false;
    value = 0;
    for (std::size_t i = at; i < at + count; ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
        value = value * 10 + (text[i] - '0');
    }
    return true;
}

bool ValidDate(int y, int m, int d, CivilDay& day) {
    if (y < 1970 || m < 1 || m > 12 || d < 1 || d > 31) return false;
    day = DaysFromCivil(y, m, d);
    int y2 = 0, m2 = 0, d2 = 0;
    CivilFromDays(day, y2, m2, d2);
    return y2 == y && m2 == m && d2 == d;
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
    int d = 0, m = 0, y = 0;
    return file.compare(at + 10, tail.size(), tail) == 0 && file[at + 2] == '-' &&
           file[at + 5] == '-' && Digits(file, at, 2, d) && Digits(file, at + 3, 2, m) &&
           Digits(file, at + 6, 4, y) && ValidDate(y, m, d, day);
}

}  // namespace

std::string CivilDayText(CivilDay day) {
    int y = 0, m = 0, d = 0;
    CivilFromDays(day, y, m, d);
    char text[16];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", y, m, d);
    return text;
}

bool ParseCivilDay(const std::string& text, CivilDay& day) {
    int y = 0, m = 0, d = 0;
    return text.size() == 10 && text[4] == '-' && text[7] == '-' && Digits(text, 0, 4, y) &&
           Digits(text, 5, 2, m) && Digits(text, 8, 2, d) && ValidDate(y, m, d, day);
}

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
            ParseCivilDay(text.substr(0, text.size() - 1), day))
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
           WriteFileAtomically(RecordPath(home, job).c_str(), CivilDayText(day) + "\n");
}

}  // namespace host
