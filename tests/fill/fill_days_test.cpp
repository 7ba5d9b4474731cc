// Daily reports of consecutive days, each made as the daily run makes it (the
// calendar day before its end, the archive's look-back), saved and read back from
// its file, against the literal rules over the uninterrupted samples: every
// excursion once, in the report of the day it ends, whole.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <random>
#include <set>

#include "common/cp1251.h"
#include "contour_builder.h"
#include "archive/archive_backends.h"
#include "archive/data_home.h"
#include "request/grabvalues.h"
#include "literal_fill.h"
#include "runtime/runtime.h"
#include "test_env.h"
#include "tw_contourarray.h"
#include "tw_file.h"

using namespace host::literals;
using host::archive::Sample;

namespace {

constexpr int kDays = 5;
constexpr int kRandomContours = 4;

struct Archive {
    std::vector<host::archive::VariableSamples> vars;
    void Add(const std::string& name, int64_t t, uint16_t state, double value) {
        for (auto& v : vars)
            if (v.Name == name) return v.Samples.push_back({t, state, value});
        vars.push_back({name, {{t, state, value}}});
    }
    void Sort() {
        for (auto& v : vars)
            std::stable_sort(v.Samples.begin(), v.Samples.end(),
                             [](const Sample& a, const Sample& b) { return a.Time < b.Time; });
    }
};

// Random samples with runs of states, crowded around each midnight and now and
// then exactly at it; and one line whose excursions cross every midnight while
// its relay operates and drops out before it.
Archive MakeSamples(const std::vector<int64_t>& midnights, unsigned seed) {
    std::mt19937 rng(seed);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    Archive a;
    const uint16_t sensorStates[] = {0, 2}, lineStates[] = {0, 1, 3};
    for (int c = 0; c < kRandomContours; ++c) {
        for (const char* kind : {"S", "R", "P"}) {
            const std::string name = kind + std::to_string(c);
            const bool sensor = *kind == 'S';
            uint16_t state = 0;
            for (std::size_t d = 0; d + 1 < midnights.size(); ++d) {
                std::set<int64_t> times;
                const int64_t begin = midnights[d], end = midnights[d + 1];
                for (int i = pick(5, 25); i > 0; --i)
                    times.insert(begin + pick(0, int(end - begin - 1)));
                for (int i = pick(5, 25); i > 0; --i)
                    times.insert(end + pick(-2400, 1200));
                if (pick(0, 1)) times.insert(end);
                for (int64_t t : times) {
                    if (pick(0, 9) < 4)
                        state = sensor ? sensorStates[pick(0, 1)] : lineStates[pick(0, 2)];
                    a.Add(name, t, state, double(pick(-50, 150)));
                }
            }
        }
    }
    for (std::size_t d = 1; d + 1 < midnights.size(); ++d) {
        const int64_t m = midnights[d];
        const int64_t close = d % 2 ? m : m + 400;  // closed exactly at midnight, or after it
        a.Add("S9", m - 1800, 0, 50);
        a.Add("S9", m - 900, 2, 100);
        a.Add("S9", m - 600, 2, 130);
        a.Add("S9", m - 300, 2, 110);
        a.Add("S9", close, 0, 60);
        a.Add("R9", m - 890, 1, 1);
        a.Add("R9", m - 700, 0, 0);
        a.Add("P9", m - 880, 1, 1);
        a.Add("P9", m + 1000, 0, 0);
    }
    a.Sort();
    return a;
}

void MakeContours(unsigned seed, TW_ContourArray& contours) {
    std::mt19937 rng(seed);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    for (int c = 0; c < kRandomContours; ++c) {
        const std::string s = "S" + std::to_string(c), r = "R" + std::to_string(c),
                          p = "P" + std::to_string(c);
        TW_Contour contour =
            twtest::MakeContour(s.c_str(), 2, pick(0, 3) ? pick(1, 900) : 0, r.c_str(), 1,
                                pick(0, 2) ? pick(30, 1800) : 0, pick(0, 3) ? p.c_str() : nullptr,
                                1, pick(0, 2) ? pick(30, 1800) : 0);
        contour.ValueType = uint8_t(pick(0, 1));
        contours.Add(contour);
    }
    contours.Add(twtest::MakeContour("S9", 2, 60, "R9", 1, 120, "P9", 1, 0));
}

// Every variable of the samples, for the configuration.
std::vector<std::string> Names(const Archive& a) {
    std::vector<std::string> names;
    for (const auto& v : a.vars)
        names.push_back(v.Name);
    return names;
}

const char* Grab(const std::string& home, const PRTime& start, const PRTime& end, int64_t lookBack,
                 HHourFile& file) {
    RTPHostContext ctx;
    std::strncpy(ctx.Home, home.c_str(), sizeof ctx.Home - 1);
    ctx.PeriodStart = start;
    ctx.PeriodEnd = end;
    ctx.LookBack = lookBack;
    RTPInfo info{};
    info.Size = sizeof info;
    info.Context = &ctx;
    return GrabReportValues("", info, file, start, 1);
}

using Rows = std::vector<std::string>;  // each row's 1880 bytes

void Append(Rows& rows, const TW_ContourLine& r) {
    rows.emplace_back(reinterpret_cast<const char*>(&r), sizeof r);
}

TEST(FillDays, ConsecutiveDailyReportsEqualTheRulesOverTheUninterruptedSamples) {
    host::SetLogConsole(false);
    struct Case {
        const char* zone;
        PRTime firstDay;
    };
    const Case cases[] = {{"Europe/Moscow", PRTime().Set(2026, 3, 27)},
                          {"Europe/Moscow", PRTime().Set(2026, 10, 23)},
                          {"Europe/Berlin", PRTime().Set(2026, 3, 27)},
                          {"Europe/Berlin", PRTime().Set(2026, 10, 23)}};
    unsigned seed = 2026;
    for (const Case& c : cases) {
        twtest::ScopedTimeZone tz(c.zone);
        std::vector<int64_t> midnights;
        for (int d = 0; d <= kDays; ++d)
            midnights.push_back(host::AddCalendarDays(c.firstDay, d).GetTT());
        TW_ContourArray contours;
        MakeContours(seed, contours);
        const Archive samples = MakeSamples(midnights, seed);
        // Each day's report file as the first archive gives it.
        std::vector<std::string> firstFiles;
        for (const twtest::ArchiveBackend& backend : twtest::ArchiveBackends()) {
            const std::string where = backend.Name + " " + c.zone + " " + c.firstDay.GetStr();
            const std::string tag = "days" + std::to_string(seed);
            const std::string home = twtest::ScratchDir(backend.Name + tag);
            backend.Prepare(home, tag);
            twtest::WriteConfig(home, "a.rtdb", 1, host::AddCalendarDays(c.firstDay, -1),
                                Names(samples));
            twtest::StoreSamples(home, samples.vars);

            // The literal rules over every sample at once.
            HHourFile whole;
            ASSERT_EQ(Grab(home, c.firstDay, host::AddCalendarDays(c.firstDay, kDays), 0, whole),
                      nullptr)
                << where;
            std::vector<TW_ContourLine> literal;
            ASSERT_TRUE(twtest::LiteralFill(literal, whole, contours));
            Rows expected;
            for (const auto& r : literal)
                Append(expected, r);

            // One report a day, read back from its file.
            Rows daily;
            bool crossedWhole = false;
            for (int d = 1; d <= kDays; ++d) {
                const PRTime end = host::AddCalendarDays(c.firstDay, d);
                TW_File report;
                report.Start = host::AddCalendarDays(end, -1);
                report.End = end;
                report.RunTime = end;
                HHourFile file;
                ASSERT_EQ(Grab(home, report.Start, end, kDefaultLookBack, file), nullptr) << where;
                ASSERT_TRUE(report.Fill(file, contours)) << where << " " << GetIOErrorS_GUI(-2);
                report.MakeFileName((home + "Day").c_str(), nullptr);
                ASSERT_TRUE(report.Save()) << GetIOErrorS_GUI(-2);
                // Every archive gives the same file, byte for byte.
                const std::string bytes = twtest::ReadFile(report.FileName.c_str());
                if (firstFiles.size() < std::size_t(kDays)) firstFiles.push_back(bytes);
                EXPECT_TRUE(bytes == firstFiles[std::size_t(d - 1)]) << where << " day " << d;
                TW_File back;
                ASSERT_TRUE(back.Load(report.FileName.c_str())) << GetIOErrorS_GUI(-2);
                for (int i = 0; i < back.Count(); ++i) {
                    const TW_ContourLine& r = *back.ItemINT(i);
                    EXPECT_TRUE(report.Start <= r.End && r.End < end) << where;
                    crossedWhole |= r.Start < report.Start && r.ReleResult == 0x12;
                    Append(daily, r);
                }
            }
            EXPECT_TRUE(crossedWhole) << where;
            EXPECT_GT(expected.size(), 40u) << where;
            std::sort(expected.begin(), expected.end());
            std::sort(daily.begin(), daily.end());
            EXPECT_EQ(daily.size(), expected.size()) << where;
            EXPECT_TRUE(daily == expected) << where;
        }
        ++seed;
    }
}

}  // namespace

namespace {

// What the look-back cannot show is said: an excursion older than it, a verdict
// that no sample since it confirms, a contour whose variables are silent.
TEST(FillDays, WhatTheLookBackCannotShowIsLoggedAndNoted) {
    twtest::ScopedTimeZone tz("Europe/Moscow");
    const std::string home = twtest::ScratchDir("older");
    const int64_t day = twtest::At(2026, 12, 8);
    Archive a;
    a.Add("S", day - 3 * 86400, 2, 90);  // in its state since three days
    a.Add("S", day + 39600, 0, 50);      // 11:00
    a.Add("R", day - 3 * 86400, 1, 1);
    a.Add("P", day + 36000, 1, 1);
    a.Add("S2", day + 3600, 0, 50);
    a.Add("R2", day - 43200, 0, 0);  // in the look-back only
    twtest::WriteConfig(home, "a.rtdb", 1, PRTime().Set(2026, 12, 1), Names(a));
    twtest::WriteArchive(home, a.vars);
    TW_ContourArray contours;
    contours.Add(twtest::MakeContour("S", 2, 60, "R", 1, 0, "P", 1, 0));
    contours.Add(twtest::MakeContour("S2", 2, 60, "R2", 1, 0));

    TW_File report;
    report.End.Set(time_t(day + 86400));
    report.Start.Set(time_t(day));
    HHourFile file;
    ASSERT_EQ(Grab(home, report.Start, report.End, kDefaultLookBack, file), nullptr);
    host::CurrentRunNotes().Clear();
    host::LogCapture log;
    ASSERT_TRUE(report.Fill(file, contours));
    ASSERT_EQ(report.Count(), 1);
    EXPECT_EQ(report.ItemINT(0)->Start, PRTime().Set(2026, 12, 7));
    EXPECT_EQ(report.ItemINT(0)->End, PRTime().Set(2026, 12, 8, 11));
    EXPECT_EQ(report.ItemINT(0)->ReleResult, 0x10);
    EXPECT_EQ(log.lines, (std::vector<std::string>{
                             "Формирование отчета..."_cp,
                             "Контур \"S\": нет значений за период у \"R\""_cp,
                             "Датчик \"S\": отклонение длиннее просмотра, за начало взято "
                             "07.12.2026 00:00:00"_cp,
                             "Результат не подтвержден данными: датчик \"S\" 07.12.2026 00:00:00 "
                             "- 08.12.2026 11:00:00, у \"R\" нет значений с 07.12.2026 00:00:00"_cp,
                             "Контур \"S2\": нет значений за период у \"R2\""_cp,
                         }));
    EXPECT_EQ(host::CurrentRunNotes().UnverifiedVerdicts(), 1);
    EXPECT_EQ(host::CurrentRunNotes().ContoursWithoutData(), (std::vector<std::string>{"S", "S2"}));
}

}  // namespace
