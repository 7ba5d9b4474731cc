#include "timetext.h"

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

bool ParseTimeText(const char* s, PRTime& out) {
    if (!s) return false;
    for (int i = 0; i < 19; ++i)
        if (s[i] == '\0') return false;
    if (s[19] != '\0' || s[4] != '-' || s[7] != '-' || s[10] != ' ' || s[13] != ':' || s[16] != ':')
        return false;
    int y, mo, d, h, mi, se;
    if (!Digits(s, 4, y) || !Digits(s + 5, 2, mo) || !Digits(s + 8, 2, d) ||
        !Digits(s + 11, 2, h) || !Digits(s + 14, 2, mi) || !Digits(s + 17, 2, se))
        return false;
    if (y < 1970 || mo < 1 || mo > 12 || d < 1 || d > DaysInMonth(y, mo) || h > 23 || mi > 59 ||
        se > 59)
        return false;
    PRTime t;
    t.Set(y, mo, d, h, mi, se);
    const time_t tt = t.GetTT();
    if (tt < 0) return false;
    PRTime back;
    back.Set(tt);
    if (back != t) return false;  // skipped by a daylight-saving change
    out = t;
    return true;
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

bool ParseMomentText(const char* text, PRTime& out) {
    std::string t = text ? text : "";
    if (t.size() == 10) t += " 00:00:00";
    if (t.size() == 16) t += ":00";
    return ParseTimeText(t.c_str(), out);
}

}  // namespace host
