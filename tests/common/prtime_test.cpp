#include "common/prtime.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "test_env.h"

namespace {

PRTime At(int y, int mo, int d, int h = 0, int mi = 0, int s = 0) {
    PRTime t;
    return t.Set(y, mo, d, h, mi, s);
}

TEST(PRTime, SecondsFollowTheProcessTimeZone) {
    {
        twtest::ScopedTimeZone tz("UTC");
        EXPECT_EQ(PRTime().Set(time_t(0)), At(1970, 1, 1));
        EXPECT_EQ(At(2026, 12, 7, 23, 59, 59).GetTT(), time_t(1796687999));
    }
    {
        twtest::ScopedTimeZone tz("Europe/Moscow");
        EXPECT_EQ(PRTime().Set(time_t(0)), At(1970, 1, 1, 3));
        EXPECT_EQ(At(2026, 12, 7, 23, 59, 59).GetTT(), time_t(1796687999 - 3 * 3600));
    }
}

TEST(PRTime, AnUnsetZoneBecomesTheSystemsFileReadOnce) {
    twtest::ScopedTimeZone restore("UTC");
    host::LoadLocalZoneOnce();
    EXPECT_STREQ(std::getenv("TZ"), "UTC");  // a zone set stays
    unsetenv("TZ");
    tzset();
    host::ResetLocalTimeCache();
    const PRTime before = PRTime().Set(time_t(1796687999));
    host::LoadLocalZoneOnce();
    EXPECT_STREQ(std::getenv("TZ"), ":/etc/localtime");
    EXPECT_EQ(PRTime().Set(time_t(1796687999)), before);
}

TEST(PRTime, DaylightSavingDaysHaveTheirTrueLength) {
    twtest::ScopedTimeZone tz("Europe/Berlin");
    // Spring: 2026-03-29 lasts 23 hours; autumn: 2026-10-25 lasts 25 hours.
    EXPECT_EQ(At(2026, 3, 30).GetTT() - At(2026, 3, 29).GetTT(), 23 * 3600);
    EXPECT_EQ(At(2026, 10, 26).GetTT() - At(2026, 10, 25).GetTT(), 25 * 3600);
    // A day back from the end of the spring day by seconds lands an hour off
    // midnight, as local time must.
    PRTime start;
    start.Set(At(2026, 3, 30).GetTT() - 86400);
    EXPECT_EQ(start, At(2026, 3, 28, 23));
    // Every second of the autumn day converts back to itself, but the repeated
    // hour, which local time cannot tell apart.
    const time_t from = At(2026, 10, 25).GetTT();
    for (time_t s = from; s < from + 25 * 3600; s += 601) {
        PRTime t;
        t.Set(s);
        if (t.Hour == 2) continue;
        EXPECT_EQ(t.GetTT(), s) << t.GetStr();
    }
}

TEST(PRTime, CalendarDaysKeepTheWallClock) {
    struct Case {
        const char* zone;
        PRTime from;
        int days;
        PRTime expected;
        long long hours;  // real hours between them
    };
    const Case cases[] = {
        {"Europe/Moscow", At(2026, 12, 9), -1, At(2026, 12, 8), 24},
        {"Europe/Moscow", At(2026, 3, 1, 6, 30), -1, At(2026, 2, 28, 6, 30), 24},
        {"Europe/Moscow", At(2028, 1, 1), -366, At(2026, 12, 31), 366 * 24},
        {"Europe/Berlin", At(2026, 3, 30), -1, At(2026, 3, 29), 23},
        {"Europe/Berlin", At(2026, 10, 26), -1, At(2026, 10, 25), 25},
        {"Europe/Berlin", At(2026, 3, 28, 12), 2, At(2026, 3, 30, 12), 47},
        // 02:30 does not exist on the spring day: the C library moves it on.
        {"Europe/Berlin", At(2026, 3, 28, 2, 30), 1, At(2026, 3, 29, 3, 30), 24},
    };
    for (const Case& c : cases) {
        twtest::ScopedTimeZone tz(c.zone);
        const PRTime got = host::AddCalendarDays(c.from, c.days);
        EXPECT_EQ(got, c.expected) << c.zone << " " << c.from.GetStr() << " " << got.GetStr();
        const PRTime& early = c.days < 0 ? got : c.from;
        const PRTime& late = c.days < 0 ? c.from : got;
        EXPECT_EQ((late.GetTT() - early.GetTT()) / 3600, c.hours)
            << c.zone << " " << c.from.GetStr();
        if (c.expected.Hour == c.from.Hour) {
            long long rest = -1;
            EXPECT_EQ(host::CalendarDaysBetween(early, late, &rest), std::abs(c.days));
            EXPECT_EQ(rest, 0);
            // One second short of the last day: one day fewer, the rest almost a day.
            const PRTime shy = PRTime().Set(late.GetTT() - 1);
            EXPECT_EQ(host::CalendarDaysBetween(early, shy, &rest), std::abs(c.days) - 1);
            EXPECT_GT(rest, 22 * 3600);
        }
    }
    twtest::ScopedTimeZone tz("Europe/Berlin");
    EXPECT_EQ(host::CalendarDaysBetween(At(2026, 3, 2), At(2026, 3, 1)), 0);
    EXPECT_TRUE(host::AddCalendarDays(PRTime{}, 1).IsZero());
}

TEST(PRTime, RememberedHourOffsetsAgreeWithTheCLibrary) {
    for (const char* zone : {"Europe/Berlin", "America/St_Johns", "Australia/Lord_Howe", "UTC"}) {
        twtest::ScopedTimeZone tz(zone);
        for (int day : {0, 1}) {
            const int month = day == 0 ? 3 : 10;
            for (int d = 1; d <= 31; d += (d >= 24 ? 1 : 10)) {
                for (int minute = 0; minute < 24 * 60; minute += 13) {
                    const PRTime t = At(2026, month, d, minute / 60, minute % 60, minute % 60);
                    struct tm tm {};
                    tm.tm_year = 2026 - 1900;
                    tm.tm_mon = month - 1;
                    tm.tm_mday = d;
                    tm.tm_hour = t.Hour;
                    tm.tm_min = t.Minute;
                    tm.tm_sec = t.Second;
                    tm.tm_isdst = -1;
                    ASSERT_EQ(t.GetTT(), mktime(&tm)) << zone << " " << t.GetStr();
                }
            }
        }
    }
}

TEST(PRTime, RememberedOffsetsFromSecondsAgreeWithTheCLibrary) {
    for (const char* zone : {"Europe/Berlin", "America/St_Johns", "Australia/Lord_Howe", "UTC"}) {
        twtest::ScopedTimeZone tz(zone);
        for (time_t from :
             {time_t(1774742400 - 86400), time_t(1792886400 - 86400), time_t(-86400)}) {
            for (time_t t = from; t < from + 3 * 86400; t += 787) {
                struct tm tm {};
                ASSERT_TRUE(localtime_r(&t, &tm));
                PRTime p;
                p.Set(t);
                ASSERT_EQ(p, At(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min,
                                tm.tm_sec))
                    << zone << " " << t;
            }
        }
    }
}

TEST(PRTime, PlatformDateTimeAroundItsEpochAnd1970) {
    EXPECT_DOUBLE_EQ(At(1899, 12, 30).GetDateTime(), 0.0);
    EXPECT_DOUBLE_EQ(At(1899, 12, 31, 12).GetDateTime(), 1.5);
    EXPECT_DOUBLE_EQ(At(1899, 12, 29, 6).GetDateTime(), -1.25);
    EXPECT_DOUBLE_EQ(At(1970, 1, 1).GetDateTime(), 25569.0);
    EXPECT_DOUBLE_EQ(At(2026, 12, 7, 12).GetDateTime(), 46363.5);

    PRTime t;
    EXPECT_EQ(t.SetDateTime(0.0), At(1899, 12, 30));
    EXPECT_EQ(t.SetDateTime(-1.25), At(1899, 12, 29, 6));
    EXPECT_EQ(t.SetDateTime(25569.75), At(1970, 1, 1, 18));
    // Date of one value, time of day of the other.
    EXPECT_EQ(t.Set(46363.9, 25569.5), At(2026, 12, 7, 12));
    // A fraction a hair below midnight rounds to the next day, not to 24:00:00.
    EXPECT_EQ(t.SetDateTime(46363.0 + 86399.9999 / 86400.0), At(2026, 12, 8));
    for (double dt : {-600000.5, -1.0, 0.25, 25569.0, 46363.123456, 2958465.99})
        EXPECT_NEAR(t.SetDateTime(dt).GetDateTime(), dt, 0.5 / 86400) << dt;
}

TEST(PRTime, TextsAndComparison) {
    const PRTime t = At(2026, 12, 7, 9, 5, 3);
    EXPECT_STREQ(t.GetStr(), "07.12.2026 09:05:03");
    EXPECT_STREQ(t.GetStr(nullptr, 0, "%H:%M:%S"), "09:05:03");
    EXPECT_STREQ(t.GetStr(nullptr, 0, "%Y-%m-%d %%%q"), "2026-12-07 %%q");
    char small[6];
    EXPECT_STREQ(t.GetStr(small, sizeof small, "%H:%M:%S"), "09:05");
    // Several texts in one expression stay apart.
    const std::string both = std::string(t.GetStr()) + "|" + At(2027, 1, 1).GetStr();
    EXPECT_EQ(both, "07.12.2026 09:05:03|01.01.2027 00:00:00");

    EXPECT_LT(At(2026, 12, 7, 23, 59, 59), At(2026, 12, 8));
    EXPECT_GE(At(2026, 12, 8), At(2026, 12, 8));
    EXPECT_LT(At(2026, 1, 31), At(2026, 2, 1));
    PRTime z = t;
    z.Zero();
    EXPECT_TRUE(z.IsZero());
    EXPECT_EQ(z.GetTT(), time_t(-1));
}

}  // namespace
