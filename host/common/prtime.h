// PRTime: a calendar moment of the host, six unsigned 16-bit numbers (year, month,
// day, hour, minute, second), 12 bytes, the form used in records and files. It is
// local calendar time: conversions to and from seconds since 1970 use the C
// library in the process time zone. The platform date-time is a day count since
// 1899-12-30 (fraction = time of day), as the Windows host used it.
#pragma once

#include <compare>
#include <cstddef>
#include <cstdint>
#include <ctime>

struct PRTime {
    uint16_t Year = 0;
    uint16_t Month = 0;
    uint16_t Day = 0;
    uint16_t Hour = 0;
    uint16_t Minute = 0;
    uint16_t Second = 0;

    // All six fields zero.
    void Zero() { *this = PRTime{}; }
    bool IsZero() const { return *this == PRTime{}; }

    // From seconds since 1970 (local time). A value the C library cannot convert
    // gives the zero moment.
    PRTime& Set(time_t seconds);
    // The date of `date` with the time of day of `time` (platform date-times).
    PRTime& Set(double date, double time);
    // From one platform date-time.
    PRTime& SetDateTime(double dateTime);
    // From calendar fields as they stand.
    PRTime& Set(int year, int month, int day, int hour = 0, int minute = 0, int second = 0);

    // Seconds since 1970 (local time, daylight saving resolved by the C library);
    // -1 for the zero moment or a moment the C library cannot convert. `msec`,
    // when given, receives 0 (the moment has whole seconds).
    time_t GetTT(int* msec = nullptr) const;
    // The platform date-time (days since 1899-12-30).
    double GetDateTime() const;
    double GetDT() const { return GetDateTime(); }

    // Text of the moment. Without a format: "DD.MM.YYYY HH:MM:SS". With a format:
    // strftime-like, %Y %y %m %d %H %M %S %% are replaced, other characters are
    // copied. Without a buffer the text lives in a small per-thread ring of
    // buffers (valid for the next several calls). `width` is the buffer's size
    // when a buffer is given (0 = 64). Never returns null.
    const char* GetStr(char* buffer = nullptr, int width = 0, const char* format = nullptr) const;

    // Negative, zero or positive as this moment is earlier than, equal to or
    // later than `other` (field-wise, year first).
    int Cmp(const PRTime& other) const {
        const auto order = *this <=> other;
        return order < 0 ? -1 : order > 0 ? 1 : 0;
    }

    // Field-wise comparison, year first.
    friend auto operator<=>(const PRTime&, const PRTime&) = default;
    friend bool operator==(const PRTime&, const PRTime&) = default;

    // The current local time.
    static PRTime Now();
};

static_assert(sizeof(PRTime) == 12);
static_assert(offsetof(PRTime, Year) == 0);
static_assert(offsetof(PRTime, Month) == 2);
static_assert(offsetof(PRTime, Day) == 4);
static_assert(offsetof(PRTime, Hour) == 6);
static_assert(offsetof(PRTime, Minute) == 8);
static_assert(offsetof(PRTime, Second) == 10);

namespace host {
// Days since 1970-01-01 of a proleptic Gregorian date, and its inverse.
long DaysFromCivil(int year, int month, int day);
void CivilFromDays(long days, int& year, int& month, int& day);
// The same local wall-clock time `days` calendar days later (earlier when
// negative). Where clocks change, a calendar day is 23 or 25 hours long; a wall
// clock time that the target day skips comes out as the C library resolves it.
// The zero moment stays zero.
PRTime AddCalendarDays(const PRTime& moment, int days);
// Whole calendar days from `from` to `to`: the largest n >= 0 with
// AddCalendarDays(from, n) <= to (0 when `to` is earlier); `rest` receives the
// seconds from that moment to `to`.
int CalendarDaysBetween(const PRTime& from, const PRTime& to, long long* rest = nullptr);
// The platform date-time of "now" (local time).
double NowDateTime();
// Forgets remembered local-time offsets; call after changing TZ and tzset().
void ResetLocalTimeCache();
// At a program's start: with TZ unset, the C library looks at /etc/localtime
// again at every conversion of a local time (half a million times for ten years
// of statistics); TZ then names that file, which is read once. A TZ already
// set stays as it is.
void LoadLocalZoneOnce();
}  // namespace host
