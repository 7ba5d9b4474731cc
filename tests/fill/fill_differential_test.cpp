// Our incident computation against a literal transcription of the rules it
// implements (every relay and apparatus search starting from the variable's
// first sample), on many random hour files: the rows must be byte-identical.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <random>

#include "contour_builder.h"
#include "plantdb/dbdatabase.h"
#include "hour_builder.h"
#include "literal_fill.h"
#include "runtime/rtlog.h"
#include "test_env.h"
#include "tw_contourarray.h"
#include "tw_file.h"

namespace {

constexpr time_t kBase = 1796590800;  // 2026-12-07 00:00:00 Moscow

// Random hour files made by `makeBuilder`, random contours over them, and our
// rows against the literal rules' rows; returns how many rows the rounds gave.
template <class MakeBuilder>
int CompareOnRandomRounds(unsigned seed, int rounds, MakeBuilder makeBuilder) {
    auto tables = std::make_shared<HDBStateTables>();
    tables->ErrorStates[13] = true;
    host::SetCurrentStateTables(tables);
    std::mt19937 rng(seed);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    const uint16_t states[] = {0, 1, 2, 5, 13};
    int rowsSeen = 0;
    for (int round = 0; round < rounds; ++round) {
        twtest::HourBuilder hb = makeBuilder();
        const int nvars = pick(1, 5);
        for (int v = 0; v < nvars; ++v) {
            std::vector<twtest::S> samples;
            // Every eighth round has long variables, whose searches take many
            // steps from one incident to the next.
            const int n = pick(0, round % 8 == 0 ? 400 : 25);
            long t = pick(-300, 200);
            for (int i = 0; i < n; ++i) {
                t += pick(0, 3) == 0 ? 0 : pick(1, 120);  // equal times happen
                samples.push_back({t, states[pick(0, 4)], double(pick(-50, 50))});
            }
            const std::string name = "V" + std::to_string(v);
            hb.Var(name.c_str(), samples, pick(0, 1) ? "Obj" : nullptr,
                   pick(0, 1) ? "Place" : nullptr);
        }
        TW_ContourArray contours;
        const int ncont = pick(1, 4);
        for (int k = 0; k < ncont; ++k) {
            const std::string s = "V" + std::to_string(pick(0, nvars - 1));
            const std::string r = "V" + std::to_string(pick(0, nvars - 1));
            const std::string a = "V" + std::to_string(pick(0, nvars - 1));
            TW_Contour c = twtest::MakeContour(
                s.c_str(), states[pick(0, 4)], pick(0, 3) == 0 ? 0 : pick(1, 200),
                pick(0, 3) ? r.c_str() : nullptr, states[pick(0, 4)], pick(0, 1) ? 0 : pick(1, 150),
                pick(0, 3) ? a.c_str() : nullptr, states[pick(0, 4)],
                pick(0, 1) ? 0 : pick(1, 150));
            const uint8_t valueTypes[] = {0, 1, 7};
            c.ValueType = valueTypes[pick(0, 2)];
            c.Used = pick(0, 5) != 0;
            contours.Add(c);
        }
        std::vector<TW_ContourLine> expected;
        EXPECT_TRUE(twtest::LiteralFill(expected, hb.file, contours));
        TW_File report;
        report.Start = hb.At(0);
        report.End = hb.At(pick(600, 1500));
        // A file without any sample is a period without data, not a quiet one.
        const bool anyData = hb.file.Samples.Count() > 0;
        EXPECT_EQ(report.Fill(hb.file, contours), anyData) << "round " << round;
        EXPECT_EQ(report.Count(), int(expected.size())) << "round " << round;
        if (report.Count() != int(expected.size())) break;
        for (int i = 0; i < report.Count(); ++i) {
            const auto* got = reinterpret_cast<const unsigned char*>(report.ItemINT(i));
            const auto* want = reinterpret_cast<const unsigned char*>(&expected[std::size_t(i)]);
            const auto diff = std::mismatch(got, got + sizeof(TW_ContourLine), want);
            EXPECT_EQ(diff.first, got + sizeof(TW_ContourLine))
                << "round " << round << ", row " << i << ", first differing byte "
                << (diff.first - got);
            if (diff.first != got + sizeof(TW_ContourLine)) return rowsSeen;
        }
        rowsSeen += report.Count();
    }
    host::SetCurrentStateTables(nullptr);
    return rowsSeen;
}

TEST(FillDifferential, MatchesTheLiteralRulesOnRandomHourFiles) {
    twtest::ScopedTimeZone tz("Europe/Moscow");
    host::SetLogConsole(false);  // one log line per round
    const int rows =
        CompareOnRandomRounds(20261207, 4000, [] { return twtest::HourBuilder(kBase); });
    EXPECT_GT(rows, 4000);  // the rounds really produced incidents
}

// Sample times inside the hour skipped when clocks go forward convert to
// seconds an hour later, so a later excursion can start before an earlier one
// once its start has been converted: the searches must not rely on the order of
// starts then.
TEST(FillDifferential, MatchesTheLiteralRulesAcrossASkippedHour) {
    twtest::ScopedTimeZone tz("Europe/Berlin");
    host::SetLogConsole(false);
    PRTime base;
    base.Set(2026, 3, 29, 1, 30, 0);  // half an hour before 02:00 becomes 03:00
    const int rows =
        CompareOnRandomRounds(20260329, 2000, [&] { return twtest::HourBuilder(base); });
    EXPECT_GT(rows, 2000);
}

}  // namespace
