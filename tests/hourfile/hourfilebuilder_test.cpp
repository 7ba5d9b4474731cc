#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/cp1251.h"
#include "hourfile/hourfilebuilder.h"
#include "archive/data_home.h"

using namespace host::literals;
using host::archive::Sample;
using twtest::At;

namespace {

// One Add of a fetch: a configuration variable and a run of its samples.
struct FetchRun {
    int v;
    std::vector<Sample> samples;
};

// Variables A, B, C of state set 0..3; the look-back from 2 March, the period
// from 3 March.
struct Built {
    HDBDatabase config;
    HHourFile file;
    std::string error;
    explicit Built(const std::vector<FetchRun>& runs) {
        config.AddStateSet(1, "ТС", 0, 3);
        config.AddType("TS", 1);
        for (const char* n : {"A", "B", "C"})
            config.AddVariable(n, 0);
        host::HourFileBuilder b(file, config, At(2024, 3, 2), At(2024, 3, 3));
        b.Reserve(3);
        for (const FetchRun& r : runs)
            if (!b.Add(r.v, r.samples)) {
                error = b.Error();
                return;
            }
        b.Finish();
    }
};

TEST(HourFileBuilder, RunsMakeEntriesAndSpansAndBadOrderOrStatesAreRefused) {
    const Sample carried{At(2024, 3, 1, 12), 1, 1.0}, look{At(2024, 3, 2, 6), 2, 2.0},
        day{At(2024, 3, 3, 6), 0, 3.0}, later{At(2024, 3, 3, 7), 1, 4.0};
    // A variable's samples in one run or split into several give the same file.
    for (const auto& runs :
         {std::vector<FetchRun>{{0, {carried, look, day, later}}, {2, {later}}},
          std::vector<FetchRun>{{0, {carried}}, {0, {look, day}}, {0, {later}}, {2, {later}}}}) {
        Built b(runs);
        ASSERT_EQ(b.error, "");
        ASSERT_EQ(b.file.Variables.Count(), 3);
        ASSERT_EQ(b.file.Samples.Count(), 5);
        const HHourVar &a = *b.file.Variable(0), &skipped = *b.file.Variable(1),
                       &c = *b.file.Variable(2);
        EXPECT_EQ(a.first, 0);
        EXPECT_EQ(a.last, 3);
        EXPECT_EQ(b.file.LookBackFirst(a), 1);
        EXPECT_EQ(b.file.PeriodFirst(a), 2);
        EXPECT_EQ(b.file.Sample(2)->Time, PRTime().Set(2024, 3, 3, 6));
        EXPECT_EQ(b.file.Sample(3)->State, 1);
        EXPECT_EQ(skipped.first, 4);
        EXPECT_EQ(skipped.last, 3);
        EXPECT_EQ(c.first, 4);
        EXPECT_EQ(b.file.PeriodFirst(c), 4);
        EXPECT_EQ(b.file.Sample(4)->Value, 4.0);
    }
    const Sample outOfSet{At(2024, 3, 3, 8), 4, 5.0};
    const std::string order = "Архив выдал значения не по порядку: "_cp;
    const std::pair<std::vector<FetchRun>, std::string> refused[] = {
        {{{1, {day}}, {0, {later}}}, order + "\"B\""},     // back to an earlier variable
        {{{0, {later, day}}}, order + "\"A\""},            // back in time in a run
        {{{0, {day}}, {0, {look}}}, order + "\"A\""},      // and across runs
        {{{0, {carried, carried}}}, order + "\"A\""},      // two before the look-back
        {{{0, {look}}, {0, {carried}}}, order + "\"A\""},  // one after the first
        {{{2, {day, outOfSet}}},
         "У переменной \"C\" состояние вне ее набора на 03.03.2024 08:00:00: 4 (0..3)"_cp},
    };
    for (const auto& [runs, error] : refused)
        EXPECT_EQ(Built(runs).error, error);
}

}  // namespace
