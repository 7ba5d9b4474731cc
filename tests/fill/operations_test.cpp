#include <gtest/gtest.h>

#include <memory>

#include "common/prtime.h"
#include "contour_builder.h"
#include "hour_builder.h"
#include "test_env.h"
#include "tw_contourarray.h"
#include "tw_file.h"
#include "tw_operations.h"

using twtest::MakeContour;
using twtest::S;

namespace {

constexpr long D = 86400;  // the period's day starts one day after the base

struct Window {
    const char* variable;
    long from, to;  // seconds from the base
};

struct Case {
    const char* name;
    const char* zone;
    int year, month, day;  // the base: 00:00 of that day
    int periodDay;         // the period is that calendar day counted from the base
    std::vector<std::pair<const char*, std::vector<S>>> vars;
    std::vector<TW_Contour> contours;
    std::vector<TW_Command> commands;
    std::vector<Window> maintenance;
    // "SECONDS VARIABLE ROLE CLASS SENSOR[ @INCIDENT_START][ #ITEM]", seconds from the base.
    std::vector<std::string> expected;
};

// The hour file as the data request fills it for [start, end) with a look-back
// from the base: the spans of every variable.
void SetPeriod(HHourFile& file, const PRTime& base, const PRTime& start, const PRTime& end) {
    file.PeriodStart = start;
    file.PeriodEnd = end;
    file.LookBackStart = base;
    for (int v = 0; v < file.Variables.Count(); ++v) {
        const HHourVar& var = *file.Variable(v);
        int k = var.first;
        while (k <= var.last && file.Sample(k)->Time < start)
            ++k;
        file.Spans.push_back({var.first, k});
    }
}

std::string Describe(const TW_Operation& op, time_t base) {
    std::string s = std::to_string(long(op.Time.GetTT() - base)) + " " + op.Variable + " " +
                    TW_OpRoleName(op.Role) + " " + TW_OpClassName(op.Class) + " " + op.Sensor;
    if (!op.IncidentStart.IsZero())
        s += " @" + std::to_string(long(op.IncidentStart.GetTT() - base));
    if (op.Incident >= 0) s += " #" + std::to_string(op.Incident);
    return s;
}

std::vector<Case> Cases() {
    return {
        {"DemandWindowsAndTheRelayBeforeTheApparatus",
         "Europe/Moscow",
         2026,
         12,
         6,
         1,
         {{"T1", {{0, 0}, {D + 100, 5}, {D + 200, 0}}},
          {"K1", {{0, 0}, {D + 100, 1}, {D + 150, 0}, {D + 300, 1}, {D + 310, 0}}},
          {"Q1", {{0, 0}, {D + 230, 1}, {D + 231, 0}, {D + 305, 1}}}},
         {MakeContour("T1", 5, 60, "K1", 1, 10, "Q1", 1, 130)},
         {},
         {},
         // At the incident's start; the apparatus exactly at its window end; the
         // relay after its window; the apparatus within its window of the relay.
         {std::to_string(D + 100) + " K1 relay demand T1 @" + std::to_string(D + 100) + " #0",
          std::to_string(D + 230) + " Q1 apparatus demand T1 @" + std::to_string(D + 100) + " #0",
          std::to_string(D + 300) + " K1 relay unexplained T1",
          std::to_string(D + 305) + " Q1 apparatus by_relay T1"}},
        {"ShortDemandCommandsAndMaintenanceInTheirOrder",
         "Europe/Moscow",
         2026,
         12,
         6,
         1,
         {{"T2", {{0, 0}, {D + 1000, 5}, {D + 1030, 0}}},
          {"K2",
           {{0, 0},
            {D + 1010, 1},
            {D + 1020, 0},
            {D + 2000, 1},
            {D + 2001, 0},
            {D + 3000, 1},
            {D + 3001, 0},
            {D + 4000, 1},
            {D + 4001, 0},
            {D + 4100, 1},
            {D + 4101, 0},
            {D + 5000, 1}}},
          {"C2",
           {{0, 0},
            {D + 1995, 3},
            {D + 1996, 0},
            {D + 2994, 3},
            {D + 2995, 0},
            {D + 3998, 3},
            {D + 3999, 0}}}},
         {MakeContour("T2", 5, 60, "K2", 1, 0)},
         {{"K2", "C2", 3, 5}},
         {{"K2", D + 3500, D + 4500}, {"*", D + 5000, D + 5100}, {"*", D + 2990, D + 3000}},
         {std::to_string(D + 1010) + " K2 relay short_demand T2 @" + std::to_string(D + 1000),
          std::to_string(D + 2000) + " K2 relay commanded T2",    // 5 s after the command
          std::to_string(D + 3000) + " K2 relay unexplained T2",  // 6 s; a window's end
          std::to_string(D + 4000) + " K2 relay commanded T2",    // also in maintenance
          std::to_string(D + 4100) + " K2 relay maintenance T2",
          std::to_string(D + 5000) + " K2 relay maintenance T2"}},
        {"LinesSharedBetweenContoursCountOnce",
         "Europe/Moscow",
         2026,
         12,
         6,
         1,
         {{"T3", {{0, 0}}},
          {"T4", {{0, 0}, {D + 495, 7}, {D + 520, 0}}},
          {"T5", {{0, 0}}},
          // The first sample ever is no operation, whatever its state.
          {"R", {{D + 10, 1}, {D + 20, 0}, {D + 500, 1}, {D + 650, 0}}},
          {"X", {{0, 0}, {D + 600, 2}, {D + 700, 0}, {D + 800, 2}}}},
         {MakeContour("T3", 5, 10, "R", 1, 0), MakeContour("T4", 7, 10, "R", 1, 0, "X", 2, 0),
          MakeContour("T5", 5, 10, "X", 2, 0)},
         {},
         {},
         {std::to_string(D + 500) + " R relay demand T4 @" + std::to_string(D + 495) + " #0",
          // The relay still holds its state: no window needed.
          std::to_string(D + 600) + " X apparatus by_relay T4",
          std::to_string(D + 800) + " X apparatus unexplained T4"}},
        {"AcrossMidnightWithTheLookBack",
         "Europe/Moscow",
         2026,
         12,
         6,
         1,
         {{"T6", {{0, 0}, {D - 10, 5}, {D - 2, 0}, {D + 86390, 5}}},
          {"K6",
           {{0, 0},
            {D - 5, 1},
            {D - 1, 0},
            {D + 15, 1},
            {D + 16, 0},
            {D + 21, 1},
            {D + 22, 0},
            {D + 86395, 1},
            {D + 86399, 0},
            {2 * D, 1}}}},
         {MakeContour("T6", 5, 5, "K6", 1, 30)},
         {},
         {},
         // Yesterday's incident explains today's operation within its window; the
         // excursion still open at the end is this day's demand already.
         {std::to_string(D + 15) + " K6 relay demand T6 @" + std::to_string(D - 10),
          std::to_string(D + 21) + " K6 relay unexplained T6",
          std::to_string(D + 86395) + " K6 relay demand T6 @" + std::to_string(D + 86390)}},
        {"TheLongDayKeepsItsTwentyFifthHour",
         "Europe/Berlin",
         2026,
         10,
         25,
         0,
         {{"T7", {{-10, 0}}}, {"K7", {{-10, 0}, {88200, 1}, {89999, 0}, {90000, 1}}}},
         {MakeContour("T7", 5, 5, "K7", 1, 0)},
         {},
         {},
         {"88200 K7 relay unexplained T7"}},
        // 02:30 and 02:46:40 in the first pass of the repeated hour, 02:03:20 in
        // the second: the order is the clock's, as in the report (the times
        // are printed as their second pass).
        {"TheRepeatedHourInTheOrderOfTheClock",
         "Europe/Berlin",
         2026,
         10,
         25,
         0,
         {{"T8", {{-10, 0}}},
          {"K8", {{-10, 0}, {9000, 1}, {9001, 0}, {11000, 1}, {11001, 0}}},
          {"J8", {{-10, 0}, {10000, 1}}}},
         {MakeContour("T8", 5, 5, "K8", 1, 0, "J8", 1, 0)},
         {},
         {},
         {"11000 K8 relay unexplained T8", "12600 K8 relay unexplained T8",
          "13600 J8 apparatus unexplained T8"}},
        {"TheShortDayEndsAfterTwentyThreeHours",
         "Europe/Berlin",
         2026,
         3,
         29,
         0,
         {{"T7", {{-10, 0}}}, {"K7", {{-10, 0}, {82790, 1}, {82795, 0}, {82800, 1}}}},
         {MakeContour("T7", 5, 5, "K7", 1, 0)},
         {},
         {},
         {"82790 K7 relay unexplained T7"}},
    };
}

TEST(Operations, EachOperationOnceWithTheFirstClassThatApplies) {
    for (const Case& c : Cases()) {
        SCOPED_TRACE(c.name);
        twtest::ScopedTimeZone zone(c.zone);
        PRTime base;
        base.Set(c.year, c.month, c.day);
        const time_t base0 = base.GetTT();
        const PRTime start = host::AddCalendarDays(base, c.periodDay);
        const PRTime end = host::AddCalendarDays(base, c.periodDay + 1);
        twtest::HourBuilder hb(base0);
        for (const auto& [name, samples] : c.vars)
            hb.Var(name, samples);
        SetPeriod(hb.file, c.periodDay ? base : hb.At(-3600), start, end);
        TW_ContourArray contours;
        for (const TW_Contour& contour : c.contours)
            contours.Add(contour);
        TW_OperationRules rules;
        rules.Commands = c.commands;
        for (const Window& w : c.maintenance)
            rules.Maintenance.push_back({w.variable, hb.At(w.from), hb.At(w.to), ""});
        TW_File report;
        report.Start = start;
        report.End = end;
        ASSERT_TRUE(report.Fill(hb.file, contours));

        std::vector<std::string> found;
        for (const TW_Operation& op :
             TW_FindOperations(hb.file, contours, rules, start, end, report))
            found.push_back(Describe(op, base0));
        EXPECT_EQ(found, c.expected);
    }
}

}  // namespace
