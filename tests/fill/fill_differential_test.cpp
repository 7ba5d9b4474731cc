// Our incident computation against a literal transcription of the rules it
// implements (every relay and apparatus search starting from the variable's
// first sample), on many random hour files: the rows must be byte-identical.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <random>

#include "contour_builder.h"
#include "data/dbdatabase.h"
#include "hour_builder.h"
#include "literal_fill.h"
#include "runtime/rtlog.h"
#include "test_env.h"
#include "tw_contourarray.h"
#include "tw_file.h"

namespace {

constexpr time_t kBase = 1796590800;  // 2026-12-07 00:00:00 Moscow

TEST(FillDifferential, MatchesTheLiteralRulesOnRandomHourFiles) {
    twtest::ScopedTimeZone tz("Europe/Moscow");
    host::SetLogConsole(false);  // one log line per round
    auto tables = std::make_shared<HDBStateTables>();
    tables->ErrorStates[13] = true;
    host::SetCurrentStateTables(tables);
    std::mt19937 rng(20261207);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    const uint16_t states[] = {0, 1, 2, 5, 13};
    int rowsSeen = 0;
    for (int round = 0; round < 4000; ++round) {
        twtest::HourBuilder hb(kBase);
        const int nvars = pick(1, 5);
        for (int v = 0; v < nvars; ++v) {
            std::vector<twtest::S> samples;
            const int n = pick(0, 25);
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
        ASSERT_TRUE(twtest::LiteralFill(expected, hb.file, contours));
        TW_File report;
        report.Start = hb.At(0);
        report.End = hb.At(pick(600, 1500));
        ASSERT_TRUE(report.Fill(hb.file, contours)) << "round " << round;
        ASSERT_EQ(report.Count(), int(expected.size())) << "round " << round;
        for (int i = 0; i < report.Count(); ++i) {
            const auto* got = reinterpret_cast<const unsigned char*>(report.ItemINT(i));
            const auto* want = reinterpret_cast<const unsigned char*>(&expected[std::size_t(i)]);
            const auto diff = std::mismatch(got, got + sizeof(TW_ContourLine), want);
            ASSERT_EQ(diff.first, got + sizeof(TW_ContourLine))
                << "round " << round << ", row " << i << ", first differing byte "
                << (diff.first - got);
        }
        rowsSeen += report.Count();
    }
    host::SetCurrentStateTables(nullptr);
    EXPECT_GT(rowsSeen, 4000);  // the rounds really produced incidents
}

}  // namespace
