#include "timetext.h"

#include <algorithm>
#include <cstdio>
#include <string>

namespace host {

namespace {
bool Digits(const char* s, int n, int& value) {
    value = 0;
    for (int i = 0; i < n; ++i) {
        if (s[i] < '0' || s[i] > '9') return false;
        value = value * 10 + (s[i] - '0');
    }
    return true;
}

int DaysInMonth(int year, int month) {
    static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : kDays[month - 1];
}
}  // namespace

namespace {
// The fields of "YYYY-MM-DD HH:MM:SS" at the start of `s` (year, month, day,
// hour, minute, second); false unless its first 19 characters are such a time.
bool ReadFields(const char* s, int (&f)[6]) {
    for (int i = 0; i < 19; ++i)
        if (s[i] == '\0') return false;
    if (s[4] != '-' || s[7] != '-' || s[10] != ' ' || s[13] != ':' || s[16] != ':') return false;
    if (!Digits(s, 4, f[0]) || !Digits(s + 5, 2, f[1]) || !Digits(s + 8, 2, f[2]) ||
        !Digits(s + 11, 2, f[3]) || !Digits(s + 14, 2, f[4]) || !Digits(s + 17, 2, f[5]))
        return false;
    return f[0] >= 1970 && f[1] >= 1 && f[1] <= 12 && f[2] >= 1 &&
           f[2] <= DaysInMonth(f[0], f[1]) && f[3] <= 23 && f[4] <= 59 && f[5] <= 59;
}

// The same fields as seconds since 1970 read as UTC.
bool NaiveSeconds(const char* s, int64_t& naive) {
    int f[6];
    if (!ReadFields(s, f)) return false;
    naive = int64_t(DaysFromCivil(f[0], f[1], f[2])) * 86400 + f[3] * 3600 + f[4] * 60 + f[5];
    return true;
}
}  // namespace

bool ParseTimeText(const char* s, PRTime& out) {
    int f[6];
    if (!s || !ReadFields(s, f) || s[19] != '\0') return false;
    PRTime t;
    t.Set(f[0], f[1], f[2], f[3], f[4], f[5]);
    const time_t tt = t.GetTT();
    if (tt < 0) return false;
    PRTime back;
    back.Set(tt);
    if (back != t) return false;  // skipped by a daylight-saving change
    out = t;
    return true;
}

namespace {
// The UTC offset of local time at `seconds`: local fields read as UTC, less it.
int64_t OffsetAt(int64_t seconds) {
    const PRTime t = PRTime().Set(time_t(seconds));
    return int64_t(DaysFromCivil(t.Year, t.Month, t.Day)) * 86400 + t.Hour * 3600 + t.Minute * 60 +
           t.Second - seconds;
}
}  // namespace

bool ParseInstantText(const char* s, int64_t& seconds, bool& repeated) {
    int64_t naive = 0;
    if (!s || !NaiveSeconds(s, naive)) return false;
    const char* zone = s + 19;
    if (*zone == 'Z' && zone[1] == '\0') {
        seconds = naive;
        return true;
    }
    if (*zone == '+' || *zone == '-') {
        int h = 0, m = 0;
        if (!Digits(zone + 1, 2, h) || zone[3] != ':' || !Digits(zone + 4, 2, m) ||
            zone[6] != '\0' || h > 14 || m > 59)
            return false;
        const int64_t offset = (h * 3600 + m * 60) * (*zone == '-' ? -1 : 1);
        seconds = naive - offset;
        return seconds >= 0;
    }
    if (*zone != '\0') return false;
    // Local time: the offsets a day before and after cover one clock change;
    // each that gives these fields back is a pass of the clocks over them.
    int64_t passes[2];
    int found = 0;
    for (const int64_t offset : {OffsetAt(naive - 86400), OffsetAt(naive + 86400)}) {
        const int64_t candidate = naive - offset;
        if (candidate >= 0 && OffsetAt(candidate) == offset &&
            (found == 0 || passes[0] != candidate))
            passes[found++] = candidate;
    }
    if (found == 0) return false;  // skipped by the clocks
    seconds = found == 2 ? std::min(passes[0], passes[1]) : passes[0];
    if (found == 2) repeated = true;
    return true;
}

std::string InstantText(int64_t seconds) {
    const int64_t offset = OffsetAt(seconds);
    const int64_t minutes = (offset < 0 ? -offset : offset) / 60;
    char zone[16];
    std::snprintf(zone, sizeof zone, "%c%02d:%02d", offset < 0 ? '-' : '+', int(minutes / 60),
                  int(minutes % 60));
    return TimeText(time_t(seconds)) + zone;
}

std::string TimeText(const PRTime& t) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%04u-%02u-%02u %02u:%02u:%02u", unsigned(t.Year),
                  unsigned(t.Month), unsigned(t.Day), unsigned(t.Hour), unsigned(t.Minute),
                  unsigned(t.Second));
    return buf;
}

std::string TimeText(time_t seconds) {
    PRTime t;
    t.Set(seconds);
    return TimeText(t);
}

std::string DayText(long days) {
    int y = 0, m = 0, d = 0;
    CivilFromDays(days, y, m, d);
    char text[16];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", y, m, d);
    return text;
}

bool ParseDayText(const char* text, long& days) {
    const std::string t = std::string(text ? text : "") + " 00:00:00";
    int f[6];
    if (t.size() != 19 || !ReadFields(t.c_str(), f)) return false;
    days = DaysFromCivil(f[0], f[1], f[2]);
    return true;
}

bool ParseMomentText(const char* text, PRTime& out) {
    std::string t = text ? text : "";
    if (t.size() == 10) t += " 00:00:00";
    if (t.size() == 16) t += ":00";
    return ParseTimeText(t.c_str(), out);
}

}  // namespace host
