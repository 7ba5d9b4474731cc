#include <gtest/gtest.h>

#include <ctime>

#include "common/cp1251.h"
#include "nonoperation.h"
#include "runtime/rtlog.h"
#include "test_env.h"
#include "viewer_test_util.h"

using namespace host::literals;
using twview_test::Incident;
using twview_test::SaveReport;

namespace {

PRTime At(int day, int hour) {
    PRTime t;
    return t.Set(2026, 12, day, hour, 0, 0);
}

TEST(NonOperation, SelectsALineInUseThatDidNotOperateCleanly) {
    struct Case {
        bool relayUsed;
        uint8_t relay;
        bool apparatusUsed;
        uint8_t apparatus;
        bool selected;
    } cases[] = {
        {true, 0x10, false, 0x00, false},   // clean relay, apparatus not in use
        {true, 0x00, false, 0x00, true},    // relay did not operate
        {true, 0x11, false, 0x00, true},    // operated, then an error state
        {true, 0x12, true, 0x10, true},     // operated, then switched off
        {true, 0x14, true, 0x10, true},     // operated, then something unknown
        {false, 0x00, true, 0x10, false},   // relay not in use keeps its 0
        {false, 0x00, true, 0x02, true},    // apparatus without operating
        {true, 0x10, true, 0x00, true},     // clean relay, apparatus did not switch
        {false, 0x00, false, 0x00, false},  // neither line in use
    };
    for (const Case& c : cases) {
        const TW_ContourLine line = Incident(c.relayUsed, c.relay, c.apparatusUsed, c.apparatus, 0);
        EXPECT_EQ(TW_IsNonOperation(line), c.selected)
            << "relay " << c.relayUsed << "/" << int(c.relay) << ", apparatus " << c.apparatusUsed
            << "/" << int(c.apparatus);
    }
}

class Gather : public ::testing::Test {
  protected:
    void SetUp() override {
        dir = twtest::ScratchDir("gather");
        // A day report and its "(1)" namesake from a repeated run: both count.
        ASSERT_TRUE(
            SaveReport(dir + "a.twr", At(2, 0), At(3, 0),
                       {Incident(true, 0x10, true, 0x10, 1), Incident(true, 0x00, false, 0, 2),
                        Incident(false, 0, true, 0x12, 3)}));
        ASSERT_TRUE(
            SaveReport(dir + "a (1).twr", At(2, 0), At(3, 0), {Incident(true, 0x00, false, 0, 2)}));
        twview_test::WriteText(dir + "damaged.twr", std::string(60, 'x'));
        for (const char* name : {"a.twr", "damaged.twr", "a (1).twr"}) {
            RepInfo info{};
            info.FileName.Set((dir + name).c_str());
            reports.Add(info);
        }
    }

    std::string dir;
    InfoArray reports;
    TW_File result;
};

TEST_F(Gather, TakesTheNonOperationsOfEveryReadableReportInListOrder) {
    host::LogCapture log;
    twview_test::ScopedRecording rec;
    const time_t before = std::time(nullptr);
    EXPECT_EQ(GatherNonOperations(reports, At(2, 12), At(4, 0), result), 3);
    ASSERT_EQ(result.Count(), 3);
    EXPECT_EQ(result.ItemINT(0)->Value, 2);
    EXPECT_EQ(result.ItemINT(1)->Value, 3);
    EXPECT_EQ(result.ItemINT(2)->Value, 2);
    EXPECT_EQ(result.Start, At(2, 12));
    EXPECT_EQ(result.End, At(4, 0));
    EXPECT_GE(result.RunTime.GetTT(), before);
    EXPECT_LE(result.RunTime.GetTT(), std::time(nullptr));
    EXPECT_TRUE(result.FileName.Empty());

    const std::vector<std::string> expected{
        "Рассчет интервалов несработки защиты..."_cp,
        "Ошибка загрузки отчета "_cp + dir + "damaged.twr: " + "Неверный формат файла!"_cp,
        "Найдено 3 интервалов несработки защиты"_cp};
    EXPECT_EQ(log.lines, expected);
    EXPECT_EQ(rec.op.texts.front(), "Формирование отчета...Обработано 1 из 3 отчетов"_cp);
    EXPECT_EQ(rec.op.texts.back(), "");
    EXPECT_EQ(rec.op.progress.back(), 66);  // the reports finished before the last one
}

TEST_F(Gather, ARepeatedComputationGivesTheSameResult) {
    host::SetLogConsole(false);
    EXPECT_EQ(GatherNonOperations(reports, At(2, 0), At(4, 0), result), 3);
    reports.DeleteNumINT(0);  // excluded on page 2
    EXPECT_EQ(GatherNonOperations(reports, At(2, 0), At(4, 0), result), 1);
    EXPECT_EQ(GatherNonOperations(reports, At(2, 0), At(4, 0), result), 1);
    InfoArray none;
    EXPECT_EQ(GatherNonOperations(none, At(2, 0), At(4, 0), result), 0);
}

}  // namespace
