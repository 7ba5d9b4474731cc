// The protection statistics: the category rules over one incident, and the
// figures of hand-made reports, with and without times, per contour, for the
// plant and per week or month.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "core_test_util.h"
#include "tw_file.h"
#include "tw_stats.h"

using namespace tw_test;

namespace {

constexpr uint32_t kNone = TW_NoTime;
using V = TW_Verdict;
using M = TW_Maybe;

// An incident of 100 s whose relay (window 10 s) and apparatus (window 30 s)
// are in use or not, with their outcome bytes and response times.
struct Incident {
    bool relayUsed;
    uint8_t relay;
    uint32_t relayResponse;
    bool apparatusUsed;
    uint8_t apparatus;
    uint32_t apparatusResponse;
};

TW_ContourLine Line(const char* sensor, uint16_t state, const Incident& i, int day = 6,
                    int hour = 10) {
    TW_ContourLine l{};
    l.Contour.Used = 1;
    std::strcpy(l.Contour.Sensor, sensor);
    l.Contour.State = state;
    std::strcpy(l.Contour.Rele.Sensor, "R");
    std::strcpy(l.Contour.Prot.Sensor, "Q");
    l.Contour.Rele.Used = i.relayUsed;
    l.Contour.Rele.MaxTime = 10;
    l.Contour.Prot.Used = i.apparatusUsed;
    l.Contour.Prot.MaxTime = 30;
    l.ReleResult = i.relay;
    l.ProtResult = i.apparatus;
    l.Start.Set(2026, 12, day, hour, 0, 0);
    l.End.Set(2026, 12, day, hour, 1, 40);
    return l;
}

TW_IncidentTimes Times(const Incident& i) {
    return {{i.relayResponse, kNone}, {i.apparatusResponse, kNone}};
}

}  // namespace

TEST(Statistics, EachIncidentFallsInOneCategory) {
    const struct {
        Incident incident;
        bool timed;
        uint32_t relayWindow;  // 10 unless changed
        double share;
        TW_Judgement expected;
    } cases[] = {
        // Correct, and whether a line came near the end of its window.
        {{true, 0x10, 3, true, 0x10, 12}, true, 10, 0.8, {V::Correct, M::No, M::No}},
        {{true, 0x10, 9, true, 0x10, 12}, true, 10, 0.8, {V::Correct, M::No, M::Yes}},
        {{true, 0x10, 8, true, 0x10, 24}, true, 10, 0.8, {V::Correct, M::No, M::No}},
        {{true, 0x10, 3, true, 0x10, 25}, true, 10, 0.8, {V::Correct, M::No, M::Yes}},
        {{true, 0x10, 6, false, 0, kNone}, true, 10, 0.5, {V::Correct, M::No, M::Yes}},
        {{true, 0x10, 3, true, 0x10, 12}, false, 10, 0.8, {V::Correct, M::No, M::Unknown}},
        // A window of 0 is the whole excursion (100 s).
        {{true, 0x10, 81, false, 0, kNone}, true, 0, 0.8, {V::Correct, M::No, M::Yes}},
        {{true, 0x10, 80, false, 0, kNone}, true, 0, 0.8, {V::Correct, M::No, M::No}},
        // Lines not in use play no part, whatever their bytes.
        {{false, 0x00, kNone, true, 0x10, 5}, true, 10, 0.8, {V::Correct, M::No, M::No}},
        {{false, 0x00, kNone, false, 0x00, kNone}, false, 10, 0.8, {V::Correct, M::No, M::No}},
        // Failed, and whether every failed line came late.
        {{true, 0x00, kNone, true, 0x10, 5}, true, 10, 0.8, {V::Failed, M::No, M::No}},
        {{true, 0x00, 14, true, 0x10, 5}, true, 10, 0.8, {V::Failed, M::Yes, M::No}},
        {{true, 0x00, 14, true, 0x00, kNone}, true, 10, 0.8, {V::Failed, M::No, M::No}},
        {{true, 0x00, 14, true, 0x00, 40}, true, 10, 0.8, {V::Failed, M::Yes, M::No}},
        {{true, 0x00, 14, true, 0x10, 5}, false, 10, 0.8, {V::Failed, M::Unknown, M::No}},
        // Not held; a failed line makes the incident a failed one.
        {{true, 0x11, 2, true, 0x10, 5}, true, 10, 0.8, {V::NotHeld, M::No, M::No}},
        {{true, 0x10, 2, true, 0x12, 5}, false, 10, 0.8, {V::NotHeld, M::No, M::No}},
        {{true, 0x30, 2, false, 0, kNone}, true, 10, 0.8, {V::NotHeld, M::No, M::No}},
        {{true, 0x12, 2, true, 0x00, 40}, true, 10, 0.8, {V::Failed, M::Yes, M::No}},
    };
    int n = 0;
    for (const auto& c : cases) {
        TW_ContourLine line = Line("TS1", 5, c.incident);
        line.Contour.Rele.MaxTime = c.relayWindow;
        const TW_IncidentTimes times = Times(c.incident);
        const TW_Judgement j = TW_Judge(line, c.timed ? &times : nullptr, c.share);
        EXPECT_EQ(j, c.expected) << "case " << n;
        // A misoperation is exactly a non-operation of the second-level report.
        EXPECT_EQ(j.Verdict != V::Correct, TW_IsNonOperation(line)) << "case " << n;
        ++n;
    }
}

namespace {

void ExpectCounts(const TW_StatsFigures& f, std::vector<int> counts, const char* what) {
    const std::vector<int> got = {f.Demands,     f.Correct,  f.Misoperations,
                                  f.Failed,      f.NotHeld,  f.Slow,
                                  f.SlowUnknown, f.NearMiss, f.NearMissUnknown};
    EXPECT_EQ(got, counts) << what;
}

void ExpectTimes(const TW_TimeSummary& t, int count, double median, uint32_t max,
                 const char* what) {
    EXPECT_EQ(t.Count, count) << what;
    if (count) {
        EXPECT_EQ(t.Median, median) << what;
        EXPECT_EQ(t.Max, max) << what;
    }
}

}  // namespace

// Two days: Sunday 2026-12-06 with times, Monday 2026-12-07 without. Contours
// TS1/5 (relay and apparatus), TS2/5 (relay only), TS1/7 (relay, window 0).
TEST(Statistics, FiguresOfReportsWithAndWithoutTimes) {
    const std::string dir = ScratchDir("Stats");
    TW_File sunday, monday;
    sunday.Start.Set(2026, 12, 6);
    sunday.End.Set(2026, 12, 7);
    monday.Start = sunday.End;
    monday.End.Set(2026, 12, 8);
    const auto add = [](TW_File& f, const char* sensor, uint16_t state, const Incident& i,
                        uint32_t relayWindow = 10) {
        TW_ContourLine line = Line(sensor, state, i, f.Start.Day, 10 + f.Count());
        line.Contour.Rele.MaxTime = relayWindow;
        f.Add(line);
        f.Times.push_back(Times(i));
    };
    add(sunday, "TS1", 5, {true, 0x10, 3, true, 0x10, 12});   // correct
    add(sunday, "TS1", 5, {true, 0x10, 9, true, 0x10, 20});   // near miss
    add(sunday, "TS1", 5, {true, 0x00, 14, true, 0x10, 25});  // slow
    add(sunday, "TS2", 5, {true, 0x12, 5, false, 0, kNone});  // not held
    add(sunday, "TS2", 5, {true, 0x00, kNone, false, 0, 0});  // failed
    add(sunday, "TS1", 7, {true, 0x10, 90, false, 0, 0}, 0);  // near miss (of 100 s)
    add(sunday, "TS1", 7, {true, 0x10, 10, false, 0, 0}, 0);  // correct
    add(monday, "TS1", 5, {true, 0x10, 1, true, 0x11, 2});    // not held
    add(monday, "TS1", 5, {true, 0x00, 1, true, 0x00, 2});    // failed, slow unknown
    add(monday, "TS2", 5, {true, 0x10, 1, false, 0, kNone});  // correct, near miss unknown
    for (TW_File* f : {&sunday, &monday}) {
        f->FileName.Set((dir + std::to_string(f->Start.Day) + ".twr").c_str());
        ASSERT_TRUE(f->Save());
    }
    ASSERT_TRUE(sunday.SaveTimes());  // Monday's report has no times file

    TW_StatsBuilder builder({.NearMissShare = 0.8, .Step = TW_StatsStep::Week});
    TW_File scratch;
    for (const char* name : {"6.twr", "7.twr"}) {
        ASSERT_TRUE(scratch.Load((dir + name).c_str()));
        builder.Add(scratch);
    }
    EXPECT_EQ(builder.Incidents(), 10);
    const TW_Statistics s = builder.Finish(sunday.Start, monday.End);
    EXPECT_EQ(builder.Incidents(), 0);

    ASSERT_EQ(s.Contours.size(), 3u);
    const TW_ContourStats &a = s.Contours[0], &b = s.Contours[1], &c = s.Contours[2];
    EXPECT_EQ(a.Label, "TS1 [5]");
    EXPECT_EQ(b.Label, "TS2");
    EXPECT_EQ(c.Label, "TS1 [7]");
    EXPECT_EQ(a.Relay, "R");
    EXPECT_EQ(b.Apparatus, "");
    //                    dem cor mis fail nh slow ?  near ?
    ExpectCounts(a.Total, {5, 2, 3, 2, 1, 1, 1, 1, 0}, "TS1/5");
    ExpectCounts(b.Total, {3, 1, 2, 1, 1, 0, 0, 0, 1}, "TS2");
    ExpectCounts(c.Total, {2, 2, 0, 0, 0, 0, 0, 1, 0}, "TS1/7");
    ExpectCounts(s.Plant, {10, 5, 5, 3, 2, 1, 1, 2, 1}, "plant");
    EXPECT_DOUBLE_EQ(s.Plant.MisoperationRate(), 0.5);
    EXPECT_DOUBLE_EQ(a.Total.MisoperationRate(), 0.6);
    ExpectTimes(a.Total.Relay, 3, 9, 14, "TS1/5 relay");
    ExpectTimes(a.Total.Apparatus, 3, 20, 25, "TS1/5 apparatus");
    ExpectTimes(b.Total.Relay, 1, 5, 5, "TS2 relay");
    ExpectTimes(b.Total.Apparatus, 0, 0, 0, "TS2 apparatus");
    ExpectTimes(c.Total.Relay, 2, 50, 90, "TS1/7 relay");
    ExpectTimes(s.Plant.Relay, 6, 9.5, 90, "plant relay");

    // Weeks from Monday: 2026-11-30 holds Sunday, 2026-12-07 Monday.
    ASSERT_EQ(s.StepStarts.size(), 2u);
    EXPECT_EQ(s.StepStarts[0], PRTime().Set(2026, 11, 30));
    EXPECT_EQ(s.StepStarts[1], PRTime().Set(2026, 12, 7));
    ASSERT_EQ(a.Steps.size(), 2u);
    ExpectCounts(a.Steps[0], {3, 2, 1, 1, 0, 1, 0, 1, 0}, "TS1/5 first week");
    ExpectCounts(a.Steps[1], {2, 0, 2, 1, 1, 0, 1, 0, 0}, "TS1/5 second week");
    ExpectTimes(a.Steps[1].Relay, 0, 0, 0, "TS1/5 second week relay");
    ExpectCounts(s.PlantSteps[1], {3, 1, 2, 1, 1, 0, 1, 0, 1}, "plant second week");
    ExpectTimes(s.PlantSteps[0].Relay, 6, 9.5, 90, "plant first week relay");

    // The series for charts: every incident with its times and windows.
    ASSERT_EQ(c.Series.size(), 2u);
    EXPECT_EQ(c.Series[0].RelayResponse, 90u);
    EXPECT_EQ(c.Series[0].RelayWindow, 0u);
    EXPECT_EQ(c.Series[0].Start, PRTime().Set(2026, 12, 6, 15, 0, 0));
    EXPECT_EQ(a.Series[4].HasTimes, false);
    EXPECT_EQ(a.Series[4].RelayResponse, kNone);
    EXPECT_EQ(a.Series[4].Judgement.Slow, M::Unknown);
}

TEST(Statistics, StepsCoverThePeriodAndEveryIncident) {
    TW_StatsBuilder months({.Step = TW_StatsStep::Month});
    PRTime from, to;
    from.Set(2026, 11, 25);
    to.Set(2027, 1, 1);  // ends where January begins: no January step
    TW_Statistics s = months.Finish(from, to);
    ASSERT_EQ(s.StepStarts.size(), 2u);
    EXPECT_EQ(s.StepStarts[1], PRTime().Set(2026, 12, 1));
    EXPECT_EQ(s.Plant.Demands, 0);
    EXPECT_TRUE(s.Contours.empty());
    // An incident after the period (a report that reaches beyond it) widens the steps.
    months.Add(Line("TS1", 5, {true, 0x10, 1, false, 0, 0}, 6), nullptr);
    TW_ContourLine january = Line("TS1", 5, {true, 0x00, 1, false, 0, 0});
    january.Start.Set(2027, 1, 1, 0, 0, 5);
    months.Add(january, nullptr);
    s = months.Finish(from, to);
    ASSERT_EQ(s.StepStarts.size(), 3u);
    EXPECT_EQ(s.StepStarts[2], PRTime().Set(2027, 1, 1));
    ExpectCounts(s.Contours[0].Steps[2], {1, 0, 1, 1, 0, 0, 1, 0, 0}, "January");
    ExpectCounts(s.PlantSteps[0], {0, 0, 0, 0, 0, 0, 0, 0, 0}, "November");
    EXPECT_TRUE(TW_StatsBuilder().Finish(from, to).StepStarts.empty());
}

namespace {

// An operation of `variable` at 10:00 + `at` seconds of 2026-12-06, tied (on
// demand) to an incident at 10:00 of contour `sensor` state 5.
TW_Operation Op(const char* variable, uint8_t role, uint8_t cls, const char* sensor, int at = 0) {
    TW_Operation op =
        MakeOperation(variable, role, cls, sensor, PRTime().Set(2026, 12, 6, 10, at / 60, at % 60));
    if (cls == TW_OpDemand || cls == TW_OpShortDemand) op.IncidentStart.Set(2026, 12, 6, 10);
    return op;
}

std::string Share(const std::optional<double>& v) {
    return v ? std::to_string(*v).substr(0, 5) : "-";
}

// "on_demand false_relay false_apparatus commanded maintenance dependability
// security misoperation_rate_all"
std::string OperationFigures(const TW_StatsFigures& f) {
    return std::to_string(f.OnDemand) + " " + std::to_string(f.FalseRelay) + " " +
           std::to_string(f.FalseApparatus) + " " + std::to_string(f.Commanded) + " " +
           std::to_string(f.Maintenance) + " " + Share(f.Dependability()) + " " +
           Share(f.Security()) + " " + Share(f.MisoperationRateAll());
}

}  // namespace

TEST(Statistics, OperationsMakeTheSecurityHalfAndLineTrends) {
    const uint8_t R = TW_RoleRelay, A = TW_RoleApparatus;
    std::vector<TW_Operation> ops = {
        Op("R1", R, TW_OpDemand, "T1", 3),   Op("R1", R, TW_OpDemand, "T1", 4),
        Op("Q1", A, TW_OpDemand, "T1", 20),  Op("R1", R, TW_OpUnexplained, "T1"),
        Op("Q1", A, TW_OpUnexplained, "T1"), Op("Q1", A, TW_OpUnexplained, "T1"),
        Op("Q1", A, TW_OpCommanded, "T1"),   Op("R1", R, TW_OpMaintenance, "T1"),
        Op("Q1", A, TW_OpByRelay, "T1"),     Op("R1", R, TW_OpShortDemand, "T1", 2),
        Op("R2", R, TW_OpUnexplained, "T2"),
    };
    // Six timed operations on demand each: slowing, steady, and five (no trend).
    for (int at : {1, 1, 1, 3, 3, 3})
        ops.push_back(Op("R3", R, TW_OpDemand, "T3", at));
    for (int at : {10, 10, 10, 12, 12, 12})
        ops.push_back(Op("R4", R, TW_OpDemand, "T4", at));
    for (int at : {1, 1, 9, 9, 9})
        ops.push_back(Op("R5", R, TW_OpDemand, "T5", at));

    for (const bool known : {true, false}) {
        SCOPED_TRACE(known);
        TW_StatsBuilder b;
        b.Add(Line("T1", 5, {true, 0x10, 3, true, 0x10, 20}), nullptr);
        b.Add(Line("T1", 5, {true, 0x00, kNone, true, 0x10, 20}), nullptr);
        b.Add(ops);
        b.SetOperationsKnown(known);
        const TW_Statistics s = b.Finish(PRTime().Set(2026, 12, 6), PRTime().Set(2026, 12, 7));
        ASSERT_EQ(s.Contours.size(), known ? 5u : 1u);
        EXPECT_EQ(OperationFigures(s.Contours[0].Total),
                  known ? "3 1 2 1 1 0.500 0.500 0.800" : "0 0 0 0 0 0.500 - -");
        EXPECT_EQ(s.Operations.size(), known ? ops.size() : 0u);
        if (!known) {
            EXPECT_TRUE(s.Lines.empty());
            continue;
        }
        EXPECT_EQ(OperationFigures(s.Contours[1].Total), "0 1 0 0 0 - 0.000 1.000");
        EXPECT_EQ(s.Contours[1].Relay, "R2");
        EXPECT_EQ(OperationFigures(s.Plant), "20 2 2 1 1 0.500 0.833 0.833");
        // Lines in the order of their first operation: operations, on demand,
        // unexplained, median, p90, trend.
        std::vector<std::string> lines;
        for (const TW_LineStats& l : s.Lines)
            lines.push_back(
                l.Variable + " " + TW_OpRoleName(l.Role) + " " + std::to_string(l.Operations) +
                " " + std::to_string(l.OnDemand) + " " + std::to_string(l.Unexplained) + " " +
                (l.Times.Count ? Share(l.Times.Median) : "-") + " " + std::to_string(l.Times.P90) +
                " " + (l.HasTrend ? Share(l.EarlierMedian) + ">" + Share(l.LaterMedian) : "-") +
                (l.Slowing ? " slowing" : ""));
        EXPECT_EQ(lines, (std::vector<std::string>{
                             "R1 relay 5 2 1 3.500 4 -",
                             "Q1 apparatus 5 1 2 20.00 20 -",
                             "R2 relay 1 0 1 - 0 -",
                             "R3 relay 6 6 0 2.000 3 1.000>3.000 slowing",
                             "R5 relay 5 5 0 9.000 9 -",
                             "R4 relay 6 6 0 11.00 12 10.00>12.00",
                         }));
    }
}
