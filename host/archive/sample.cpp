#include "archive/sample.h"

#include <algorithm>
#include <ctime>

#include "common/prtime.h"

namespace host::archive {
namespace {

int64_t LocalMidnight(int y, int m, int d) {
    PRTime t;
    t.Set(y, m, d, 0, 0, 0);
    return int64_t(t.GetTT());
}

}  // namespace

Day DayOf(int64_t seconds) {
    PRTime t;
    t.Set(time_t(seconds));
    struct Day d;
    d.Year = t.Year;
    d.Month = t.Month;
    d.Day = t.Day;
    d.Begin = LocalMidnight(d.Year, d.Month, d.Day);
    // The next day's midnight: the civil date after, through the day count.
    int y, m, dd;
    CivilFromDays(DaysFromCivil(d.Year, d.Month, d.Day) + 1, y, m, dd);
    d.End = LocalMidnight(y, m, dd);
    return d;
}

std::vector<Sample> TimeOrderedLatest(std::vector<Sample> samples) {
    std::stable_sort(samples.begin(), samples.end(),
                     [](const Sample& a, const Sample& b) { return a.Time < b.Time; });
    std::vector<Sample> unique;
    unique.reserve(samples.size());
    for (const auto& s : samples) {
        if (!unique.empty() && unique.back().Time == s.Time)
            unique.back() = s;
        else
            unique.push_back(s);
    }
    return unique;
}

}  // namespace host::archive
