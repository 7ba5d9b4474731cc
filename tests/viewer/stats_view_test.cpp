// What the statistics view shows, prints and puts in the spreadsheet, from
// hand-made incidents with known outcomes and times: the table's texts, the
// bars and points of the charts, the printed pages and the sheet's cells.
#include <gtest/gtest.h>

#include <cstring>

#include "common/cp1251.h"
#include "stats_sheet.h"
#include "stats_table.h"
#include "tw_stats.h"
#include "viewer_test_util.h"

using namespace host::literals;

namespace {

constexpr uint32_t kNone = TW_NoTime;

// Contour A (relay window 10 s, apparatus 30 s): correct in 4 s / 12 s, a
// near miss (9 s), a late relay (16 s: slow), and one without times. Contour B
// (relay only, window 0 = the excursion): one relay that did not hold.
TW_Statistics MakeStatistics() {
    TW_StatsBuilder builder;
    const auto add = [&](const char* sensor, uint8_t relay, bool apparatusUsed, uint8_t apparatus,
                         int hour, uint32_t relayTime, uint32_t apparatusTime, bool times = true) {
        TW_ContourLine l = twview_test::Incident(true, relay, apparatusUsed, apparatus, hour);
        std::strcpy(l.Contour.Sensor, sensor);
        l.Contour.Rele.MaxTime = std::strcmp(sensor, "A") == 0 ? 10 : 0;
        l.Contour.Prot.MaxTime = 30;
        l.Start.Set(2026, 12, 7, hour, 0, 0);
        l.End.Set(2026, 12, 7, hour, 1, 40);  // 100 s
        const TW_IncidentTimes t{{relayTime, kNone}, {apparatusTime, kNone}};
        builder.Add(l, times ? &t : nullptr);
    };
    add("A", 0x10, true, 0x10, 1, 4, 12);
    add("A", 0x10, true, 0x10, 2, 9, 20);
    add("A", 0x00, true, 0x10, 3, 16, 10);
    add("B", 0x12, false, 0, 4, 50, kNone);
    add("A", 0x10, true, 0x10, 5, 0, 0, false);
    return builder.Finish(PRTime().Set(2026, 12, 7), PRTime().Set(2026, 12, 8));
}

TEST(StatsView, TheTableShowsEveryFigureOfEachContourAndThePlant) {
    const TW_Statistics stats = MakeStatistics();
    ASSERT_EQ(TW_StatsRowCount(stats), 3);
    ASSERT_EQ(TW_StatsColumns().size(), 13u);
    struct Cell {
        int row, column;
        const char* text;  // UTF-8
    };
    const Cell cells[] = {
        {0, 0, "A"},      {0, 1, "4"},           {0, 2, "3"},   {0, 3, "1"},
        {0, 4, "1"},      {0, 5, "0"},           {0, 6, "1"},   {0, 7, "1+"},
        {0, 8, "25,0 %"}, {0, 9, "9"},           {0, 10, "16"}, {0, 11, "12"},
        {0, 12, "20"},    {1, 0, "B"},           {1, 3, "1"},   {1, 5, "1"},
        {1, 6, "0"},      {1, 8, "100,0 %"},     {1, 9, "50"},  {1, 11, ""},
        {1, 12, ""},      {2, 0, "Все контуры"}, {2, 1, "5"},   {2, 3, "2"},
        {2, 8, "40,0 %"}, {2, 9, "12,5"},
    };
    for (const Cell& c : cells) {
        std::string text;
        ASSERT_TRUE(TW_StatsCellText(stats, c.row, c.column, text)) << c.row << "," << c.column;
        EXPECT_EQ(host::Cp1251ToUtf8(text), c.text) << c.row << "," << c.column;
    }
    std::string text;
    EXPECT_FALSE(TW_StatsCellText(stats, 3, 0, text));
    EXPECT_FALSE(TW_StatsCellText(stats, 0, 13, text));
}

TEST(StatsView, ChartsDrawTheWorstContoursAndTimesAgainstTheirWindows) {
    const TW_Statistics stats = MakeStatistics();
    // B (100 %) before A (25 %); a limit keeps the worst.
    const std::vector<TW_RateBar> bars = TW_RateBars(stats, 10);
    ASSERT_EQ(bars.size(), 2u);
    EXPECT_EQ(bars[0].Contour, 1);
    EXPECT_DOUBLE_EQ(bars[0].Rate, 1.0);
    EXPECT_EQ(TW_RateBars(stats, 1).size(), 1u);

    // The plant: each time as a share of its window (B's relay: of the 100 s
    // excursion); the incident without times has no point.
    const TW_ResponseChartData plant = TW_ResponseChart(stats, -1);
    EXPECT_TRUE(plant.Percent);
    std::vector<std::pair<bool, double>> points;
    for (const TW_ResponsePoint& p : plant.Points)
        points.emplace_back(p.Apparatus, p.Value);
    EXPECT_EQ(points, (std::vector<std::pair<bool, double>>{{false, 40},
                                                            {true, 40},
                                                            {false, 90},
                                                            {true, 20 * 100.0 / 30},
                                                            {false, 160},
                                                            {true, 10 * 100.0 / 30},
                                                            {false, 50}}));
    EXPECT_TRUE(plant.Windows.empty());
    // One contour: seconds, and its windows once each as long as they stay.
    const TW_ResponseChartData a = TW_ResponseChart(stats, 0);
    EXPECT_FALSE(a.Percent);
    EXPECT_EQ(a.Points.size(), 6u);
    ASSERT_EQ(a.Windows.size(), 2u);
    EXPECT_EQ(a.Windows[0].Seconds, 10);
    EXPECT_EQ(a.Windows[1].Seconds, 30);
    EXPECT_TRUE(a.Windows[1].Apparatus);
}

TEST(StatsView, PrintedPagesTakeWholeRows) {
    using Pages = std::vector<std::pair<int, int>>;
    EXPECT_EQ(TW_TablePages(0, 5, 10), Pages{});
    EXPECT_EQ(TW_TablePages(5, 5, 10), (Pages{{0, 5}}));
    EXPECT_EQ(TW_TablePages(6, 5, 10), (Pages{{0, 5}, {5, 6}}));
    EXPECT_EQ(TW_TablePages(25, 5, 10), (Pages{{0, 5}, {5, 15}, {15, 25}}));
    EXPECT_EQ(TW_TablePages(3, 0, 0), (Pages{{0, 1}, {1, 2}, {2, 3}}));  // no room: a row a page
}

TEST(StatsView, TheSheetHoldsNumbersUnderOneFrozenFilteredHeader) {
    const TW_Statistics stats = MakeStatistics();
    const host::xls::Sheet sheet = TW_StatsSheet(stats);
    const auto at = [&](uint32_t row, uint32_t col) -> const host::xls::Cell* {
        for (const auto& c : sheet.cells)
            if (c.row == row && c.col == col) return &c;
        return nullptr;
    };
    EXPECT_EQ(sheet.frozenRows, 2u);
    ASSERT_TRUE(sheet.autoFilter.has_value());
    EXPECT_EQ(sheet.autoFilter->firstRow, 1u);
    EXPECT_EQ(sheet.autoFilter->lastRow, 4u);
    EXPECT_EQ(sheet.autoFilter->lastCol, 14u);
    struct Expected {
        uint32_t row, col;
        int kind;  // 0 blank, 1 text, 2 number
        double number;
        const char16_t* format;
    };
    const Expected cells[] = {
        {1, 0, 1, 0, u""},        {2, 0, 1, 0, u""},    {2, 1, 2, 4, u"0"},
        {2, 8, 2, 0.25, u"0.0%"}, {2, 9, 2, 9, u"0.0"}, {2, 10, 2, 16, u"0"},
        {2, 14, 2, 1, u"0"},      {3, 11, 0, 0, u""},   {4, 1, 2, 5, u"0"},
    };
    for (const Expected& e : cells) {
        const host::xls::Cell* c = at(e.row, e.col);
        ASSERT_NE(c, nullptr) << e.row << "," << e.col;
        EXPECT_EQ(int(c->value.index()), e.kind) << e.row << "," << e.col;
        if (e.kind == 2) {
            EXPECT_DOUBLE_EQ(std::get<double>(c->value), e.number) << e.row << "," << e.col;
            EXPECT_EQ(c->format.numberFormat, e.format) << e.row << "," << e.col;
        }
    }
    EXPECT_EQ(std::get<std::u16string>(at(4, 0)->value), u"Все контуры");
}

}  // namespace
