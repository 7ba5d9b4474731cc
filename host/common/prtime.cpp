#include "prtime.h"

#include <array>
#include <atomic>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "perthread.h"

namespace host {

long DaysFromCivil(int y, int m, int d) {
    y -= m <= 2;
    const long era = (y >= 0 ? y : y - 399) / 400;
    const long yoe = y - era * 400;
    const long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

void CivilFromDays(long z, int& year, int& month, int& day) {
    z += 719468;
    const long era = (z >= 0 ? z : z - 146096) / 146097;
    const long doe = z - era * 146097;
    const long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const long mp = (5 * doy + 2) / 153;
    day = int(doy - (153 * mp + 2) / 5 + 1);
    month = int(mp < 10 ? mp + 3 : mp - 9);
    year = int(yoe + era * 400 + (month <= 2));
}

namespace {
// 1899-12-30 counted from 1970-01-01.
constexpr long kPlatformEpoch = -25569;

// Splits a platform date-time into its day number and its second of the day.
// For negative values the fraction is the time of day as an absolute value,
// as the platform defines it (-1.25 is 1899-12-29 06:00).
void SplitDateTime(double dt, long& day, long& second) {
    double whole = std::trunc(dt);
    double frac = std::fabs(dt - whole);
    long sec = std::lround(frac * 86400.0);
    if (sec >= 86400) {  // rounding carried into the next day
        sec -= 86400;
        whole += dt < 0 ? -1.0 : 1.0;
    }
    day = long(whole);
    second = sec;
}

const char* DefaultFormat = "%d.%m.%Y %H:%M:%S";

char* RingBuffer() {
    constexpr int kSlots = 16;
    auto& buffers = host::PerThread<std::array<std::array<char, 64>, kSlots>>();
    thread_local int next = 0;
    char* b = buffers[next].data();
    next = (next + 1) % kSlots;
    return b;
}
}  // namespace

double NowDateTime() {
    return PRTime::Now().GetDateTime();
}

PRTime AddCalendarDays(const PRTime& moment, int days) {
    if (moment.IsZero()) return moment;
    int y = 0, m = 0, d = 0;
    CivilFromDays(DaysFromCivil(moment.Year, moment.Month, moment.Day) + days, y, m, d);
    PRTime shifted;
    shifted.Set(y, m, d, moment.Hour, moment.Minute, moment.Second);
    const time_t seconds = shifted.GetTT();
    return seconds == time_t(-1) ? shifted : PRTime().Set(seconds);
}

int CalendarDaysBetween(const PRTime& from, const PRTime& to, long long* rest) {
    // The calendar dates give the answer or one more than it (when the time of
    // day of `to` is earlier than that of `from`).
    int n = int(DaysFromCivil(to.Year, to.Month, to.Day) -
                DaysFromCivil(from.Year, from.Month, from.Day));
    if (n < 0) n = 0;
    while (n > 0 && to < AddCalendarDays(from, n))
        --n;
    if (rest) {
        const time_t base = AddCalendarDays(from, n).GetTT();
        const time_t end = to.GetTT();
        *rest = end > base ? (long long)(end - base) : 0;
    }
    return n;
}

}  // namespace host

namespace host {
namespace {
// Bumped whenever the process's time zone may have changed.
std::atomic<unsigned> timeZoneGeneration{1};

// localtime_r for a whole hour of seconds since 1970, remembered like GetTT's
// offsets: only an hour whose first and last second have the same offset is kept.
struct UtcHourOffset {
    long long hour = LLONG_MIN;
    long offset = 0;
    unsigned generation = 0;
    bool aligned = false;  // the UTC hour is one whole local hour
    PRTime local;          // the local time of its first second, when aligned
};

bool LocalOffset(time_t t, long& offset) {
    struct tm tm {};
    if (!localtime_r(&t, &tm)) return false;
    offset = tm.tm_gmtoff;
    return true;
}
}  // namespace
}  // namespace host

PRTime& PRTime::Set(time_t seconds) {
    constexpr int kSlots = 256;
    auto& cache = host::PerThread<std::array<host::UtcHourOffset, kSlots>>();
    const long long hour = seconds >= 0 ? seconds / 3600 : (seconds - 3599) / 3600;
    host::UtcHourOffset& slot = cache[std::size_t(hour) % kSlots];
    const unsigned generation = host::timeZoneGeneration.load(std::memory_order_relaxed);
    if (slot.hour != hour || slot.generation != generation) {
        long a = 0, b = 0;
        if (host::LocalOffset(time_t(hour * 3600), a) &&
            host::LocalOffset(time_t(hour * 3600 + 3599), b) && a == b) {
            slot.hour = hour;
            slot.offset = a;
            slot.generation = generation;
            slot.aligned = false;
            const long long start = hour * 3600 + a;
            const long long days = start >= 0 ? start / 86400 : (start - 86399) / 86400;
            const long secOfDay = long(start - days * 86400);
            int y = 0, m = 0, d = 0;
            host::CivilFromDays(long(days), y, m, d);
            if (a % 3600 == 0 && y >= 0 && y <= 65535) {
                slot.local.Set(y, m, d, int(secOfDay / 3600), 0, 0);
                slot.aligned = true;
            }
        } else {
            slot.hour = LLONG_MIN;
        }
    }
    if (slot.hour == hour && slot.aligned) {
        // Millions of archive samples are converted through here: the hour's
        // calendar fields are known, only minute and second remain.
        const long within = long(seconds - hour * 3600);
        *this = slot.local;
        Minute = uint16_t(within / 60);
        Second = uint16_t(within % 60);
        return *this;
    }
    if (slot.hour == hour) {
        const long long local = (long long)seconds + slot.offset;
        const long long days = local >= 0 ? local / 86400 : (local - 86399) / 86400;
        const long secOfDay = long(local - days * 86400);
        int y = 0, m = 0, d = 0;
        host::CivilFromDays(long(days), y, m, d);
        if (y >= 0 && y <= 65535)
            return Set(y, m, d, int(secOfDay / 3600), int(secOfDay / 60 % 60), int(secOfDay % 60));
    }
    struct tm tm {};
    if (!localtime_r(&seconds, &tm) || tm.tm_year + 1900 < 0 || tm.tm_year + 1900 > 65535) {
        Zero();
        return *this;
    }
    Year = uint16_t(tm.tm_year + 1900);
    Month = uint16_t(tm.tm_mon + 1);
    Day = uint16_t(tm.tm_mday);
    Hour = uint16_t(tm.tm_hour);
    Minute = uint16_t(tm.tm_min);
    Second = uint16_t(tm.tm_sec > 59 ? 59 : tm.tm_sec);
    return *this;
}

PRTime& PRTime::Set(int year, int month, int day, int hour, int minute, int second) {
    Year = uint16_t(year);
    Month = uint16_t(month);
    Day = uint16_t(day);
    Hour = uint16_t(hour);
    Minute = uint16_t(minute);
    Second = uint16_t(second);
    return *this;
}

PRTime& PRTime::Set(double date, double time) {
    long day = 0, ignored = 0, second = 0, ignoredDay = 0;
    host::SplitDateTime(date, day, ignored);
    host::SplitDateTime(time, ignoredDay, second);
    int y = 0, m = 0, d = 0;
    host::CivilFromDays(day + host::kPlatformEpoch, y, m, d);
    if (y < 0 || y > 65535) {
        Zero();
        return *this;
    }
    return Set(y, m, d, int(second / 3600), int(second / 60 % 60), int(second % 60));
}

PRTime& PRTime::SetDateTime(double dateTime) {
    return Set(dateTime, dateTime);
}

namespace host {
namespace {
// mktime for a whole local hour, remembered: the offset between local calendar
// seconds and seconds since 1970 is the same across an hour in every zone that
// changes its offset on whole hours, so the incident scan, which converts
// millions of sample times, asks the C library once per hour.
struct HourOffset {
    long hourKey = -1;
    time_t offset = 0;
    unsigned generation = 0;
};
}  // namespace

void ResetLocalTimeCache() {
    ++timeZoneGeneration;
}

void LoadLocalZoneOnce() {
    if (std::getenv("TZ")) return;
    setenv("TZ", ":/etc/localtime", 1);
    tzset();
    ResetLocalTimeCache();
}

}  // namespace host

time_t PRTime::GetTT(int* msec) const {
    if (msec) *msec = 0;
    if (IsZero()) return time_t(-1);
    const bool plain = Month >= 1 && Month <= 12 && Day >= 1 && Day <= 31 && Hour < 24 &&
                       Minute < 60 && Second < 60;
    const long days = host::DaysFromCivil(Year, Month, Day);
    const long hourKey = days * 24 + Hour;
    constexpr int kSlots = 256;
    auto& cache = host::PerThread<std::array<host::HourOffset, kSlots>>();
    host::HourOffset& slot = cache[std::size_t(hourKey) % kSlots];
    const unsigned generation = host::timeZoneGeneration.load(std::memory_order_relaxed);
    const time_t naive = time_t(days) * 86400 + Hour * 3600 + Minute * 60 + Second;
    if (plain && slot.hourKey == hourKey && slot.generation == generation)
        return naive + slot.offset;
    struct tm tm {};
    tm.tm_year = Year - 1900;
    tm.tm_mon = Month - 1;
    tm.tm_mday = Day;
    tm.tm_hour = Hour;
    tm.tm_min = Minute;
    tm.tm_sec = Second;
    tm.tm_isdst = -1;
    const time_t t = mktime(&tm);
    if (!plain || t == time_t(-1)) return t;
    // Only an hour whose start and end convert with the same offset is cached.
    struct tm a {
    }, b{};
    a.tm_year = b.tm_year = Year - 1900;
    a.tm_mon = b.tm_mon = Month - 1;
    a.tm_mday = b.tm_mday = Day;
    a.tm_hour = b.tm_hour = Hour;
    b.tm_min = 59;
    b.tm_sec = 59;
    a.tm_isdst = b.tm_isdst = -1;
    const time_t ta = mktime(&a), tb = mktime(&b);
    const time_t na = naive - Minute * 60 - Second;
    if (ta - na == t - naive && tb - (na + 3599) == t - naive) {
        slot.hourKey = hourKey;
        slot.offset = t - naive;
        slot.generation = generation;
    }
    return t;
}

double PRTime::GetDateTime() const {
    const long days = host::DaysFromCivil(Year, Month, Day) - host::kPlatformEpoch;
    const double frac = (Hour * 3600.0 + Minute * 60.0 + Second) / 86400.0;
    // Negative day counts carry the time of day as an absolute fraction.
    return days < 0 ? double(days) - frac : double(days) + frac;
}

const char* PRTime::GetStr(char* buffer, int width, const char* format) const {
    if (!buffer) {
        buffer = host::RingBuffer();
        width = 64;
    } else if (width <= 0) {
        width = 64;
    }
    if (!format) format = host::DefaultFormat;
    int pos = 0;
    auto put = [&](const char* s) {
        while (*s && pos < width - 1)
            buffer[pos++] = *s++;
    };
    char num[16];
    for (const char* f = format; *f && pos < width - 1; ++f) {
        if (*f != '%' || !f[1]) {
            buffer[pos++] = *f;
            continue;
        }
        ++f;
        switch (*f) {
            case 'Y':
                std::snprintf(num, sizeof num, "%04u", unsigned(Year));
                break;
            case 'y':
                std::snprintf(num, sizeof num, "%02u", unsigned(Year % 100));
                break;
            case 'm':
                std::snprintf(num, sizeof num, "%02u", unsigned(Month));
                break;
            case 'd':
                std::snprintf(num, sizeof num, "%02u", unsigned(Day));
                break;
            case 'H':
                std::snprintf(num, sizeof num, "%02u", unsigned(Hour));
                break;
            case 'M':
                std::snprintf(num, sizeof num, "%02u", unsigned(Minute));
                break;
            case 'S':
                std::snprintf(num, sizeof num, "%02u", unsigned(Second));
                break;
            case '%':
                std::strcpy(num, "%");
                break;
            default:
                num[0] = '%';
                num[1] = *f;
                num[2] = '\0';
                break;
        }
        put(num);
    }
    buffer[pos] = '\0';
    return buffer;
}

PRTime PRTime::Now() {
    PRTime t;
    t.Set(std::time(nullptr));
    return t;
}
