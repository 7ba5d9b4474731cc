// What the statistics view shows, prints and puts in the spreadsheet, from
// hand-made incidents with known outcomes and times: the table's texts, the
// bars and points of the charts, the printed pages and the sheet's cells.
#include <gtest/gtest.h>

#include <array>
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
// (relay only, window 0 = the excursion): one relay that did not hold. With
// the operations: A's relay answered its first demand, and A has one operation
// of every other class; B's relay operated twice unexplained.
TW_Statistics MakeStatistics(bool operations = false) {
    TW_StatsBuilder builder;
    if (operations) {
        const auto op = [](const char* sensor, const char* variable, uint8_t role, uint8_t cls,
                           int hour) {
            TW_Operation o;
            std::strcpy(o.Sensor, sensor);
            std::strcpy(o.Variable, variable);
            o.Role = role;
            o.Class = cls;
            o.Time.Set(2026, 12, 7, hour, 30, 0);
            return o;
        };
        builder.Add({op("A", "RA", TW_RoleRelay, TW_OpDemand, 1),
                     op("A", "QA", TW_RoleApparatus, TW_OpUnexplained, 6),
                     op("A", "RA", TW_RoleRelay, TW_OpCommanded, 7),
                     op("A", "QA", TW_RoleApparatus, TW_OpMaintenance, 8),
                     op("A", "QA", TW_RoleApparatus, TW_OpByRelay, 9),
                     op("A", "RA", TW_RoleRelay, TW_OpShortDemand, 10),
                     op("B", "RB", TW_RoleRelay, TW_OpUnexplained, 11),
                     op("B", "RB", TW_RoleRelay, TW_OpUnexplained, 12)});
        builder.SetOperationsKnown(true);
    }
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
    const TW_Statistics stats[] = {MakeStatistics(), MakeStatistics(true)};
    ASSERT_EQ(TW_StatsRowCount(stats[0]), 3);
    ASSERT_EQ(TW_StatsRowCount(stats[1]), 3);
    ASSERT_EQ(TW_StatsColumns().size(), 22u);
    struct Cell {
        bool operations;  // of the statistics with the operations known
        int row, column;
        const char* text;  // UTF-8
    };
    const Cell cells[] = {
        {false, 0, 0, "A"},
        {false, 0, 1, "4"},
        {false, 0, 2, "3"},
        {false, 0, 3, "1"},
        {false, 0, 4, "1"},
        {false, 0, 5, "0"},
        {false, 0, 6, "1"},
        {false, 0, 7, "1+"},
        {false, 0, 8, "25,0 %"},
        {false, 0, 9, "9"},
        {false, 0, 10, "16"},
        {false, 0, 11, "12"},
        {false, 0, 12, "20"},
        {false, 1, 0, "B"},
        {false, 1, 3, "1"},
        {false, 1, 5, "1"},
        {false, 1, 6, "0"},
        {false, 1, 8, "100,0 %"},
        {false, 1, 9, "50"},
        {false, 1, 11, ""},
        {false, 1, 12, ""},
        {false, 2, 0, "Все контуры"},
        {false, 2, 1, "5"},
        {false, 2, 3, "2"},
        {false, 2, 8, "40,0 %"},
        {false, 2, 9, "12,5"},
        // Without the operations their counts and shares are empty, not 0;
        // dependability and the 90th percentiles need the incidents alone.
        {false, 0, 13, ""},
        {false, 0, 16, ""},
        {false, 0, 17, "75,0 %"},
        {false, 0, 18, ""},
        {false, 0, 19, ""},
        {false, 0, 20, "16"},
        {false, 0, 21, "20"},
        {false, 1, 21, ""},
        {false, 2, 20, "50"},
        // With them: false relay, false apparatus, commanded, maintenance,
        // security, misoperations with the unexplained among all calls.
        {true, 0, 13, "0"},
        {true, 0, 14, "1"},
        {true, 0, 15, "1"},
        {true, 0, 16, "1"},
        {true, 0, 18, "50,0 %"},
        {true, 0, 19, "40,0 %"},
        {true, 1, 13, "2"},
        {true, 1, 17, "0,0 %"},
        {true, 1, 18, "0,0 %"},
        {true, 1, 19, "100,0 %"},
        {true, 2, 13, "2"},
        {true, 2, 18, "25,0 %"},
        {true, 2, 19, "62,5 %"},
    };
    for (const Cell& c : cells) {
        std::string text;
        ASSERT_TRUE(TW_StatsCellText(stats[c.operations], c.row, c.column, text))
            << c.row << "," << c.column;
        EXPECT_EQ(host::Cp1251ToUtf8(text), c.text) << c.operations << c.row << "," << c.column;
    }
    std::string text;
    EXPECT_FALSE(TW_StatsCellText(stats[0], 3, 0, text));
    EXPECT_FALSE(TW_StatsCellText(stats[0], 0, 22, text));
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
    // More points than the columns can show apart: each column keeps the
    // quickest and the slowest of the relay and of the apparatus.
    points.clear();
    for (const TW_ResponsePoint& p : TW_ResponseChart(stats, -1, 1).Points)
        points.emplace_back(p.Apparatus, p.Value);
    EXPECT_EQ(points,
              (std::vector<std::pair<bool, double>>{
                  {false, 40}, {true, 20 * 100.0 / 30}, {false, 160}, {true, 10 * 100.0 / 30}}));
    // One contour: seconds, and its windows once each as long as they stay.
    const TW_ResponseChartData a = TW_ResponseChart(stats, 0);
    EXPECT_FALSE(a.Percent);
    EXPECT_EQ(a.Points.size(), 6u);
    ASSERT_EQ(a.Windows.size(), 2u);
    EXPECT_EQ(a.Windows[0].Seconds, 10);
    EXPECT_EQ(a.Windows[1].Seconds, 30);
    EXPECT_TRUE(a.Windows[1].Apparatus);

    // Operations without demand by class: B (two unexplained) before A (one,
    // of five); none when the operations are not known.
    const std::vector<TW_ClassBar> classes = TW_ClassBars(MakeStatistics(true), 10);
    ASSERT_EQ(classes.size(), 2u);
    EXPECT_EQ(classes[0].Contour, 1);
    EXPECT_EQ(classes[0].Counts, (std::array<int, TW_OpClassCount>{0, 0, 0, 0, 0, 2}));
    EXPECT_EQ(classes[1].Counts, (std::array<int, TW_OpClassCount>{0, 1, 1, 1, 1, 1}));
    EXPECT_EQ(TW_ClassBars(MakeStatistics(true), 1).size(), 1u);
    EXPECT_TRUE(TW_ClassBars(stats, 10).empty());
}

TEST(StatsView, PrintedPagesTakeWholeRows) {
    using Pages = std::vector<std::pair<int, int>>;
    EXPECT_EQ(TW_TablePages(0, 5, 10), Pages{});
    EXPECT_EQ(TW_TablePages(5, 5, 10), (Pages{{0, 5}}));
    EXPECT_EQ(TW_TablePages(6, 5, 10), (Pages{{0, 5}, {5, 6}}));
    EXPECT_EQ(TW_TablePages(25, 5, 10), (Pages{{0, 5}, {5, 15}, {15, 25}}));
    EXPECT_EQ(TW_TablePages(3, 0, 0), (Pages{{0, 1}, {1, 2}, {2, 3}}));  // no room: a row a page
}

// The cell of a sheet at (row, col), or null.
const host::xls::Cell* CellAt(const host::xls::Sheet& sheet, uint32_t row, uint32_t col) {
    for (const auto& c : sheet.cells)
        if (c.row == row && c.col == col) return &c;
    return nullptr;
}

TEST(StatsView, TheSheetHoldsNumbersUnderOneFrozenFilteredHeader) {
    const host::xls::Sheet sheets[] = {TW_StatsSheet(MakeStatistics()),
                                       TW_StatsSheet(MakeStatistics(true))};
    const host::xls::Sheet& sheet = sheets[0];
    EXPECT_EQ(sheet.frozenRows, 2u);
    ASSERT_TRUE(sheet.autoFilter.has_value());
    EXPECT_EQ(sheet.autoFilter->firstRow, 1u);
    EXPECT_EQ(sheet.autoFilter->lastRow, 4u);
    EXPECT_EQ(sheet.autoFilter->lastCol, 23u);
    struct Expected {
        bool operations;  // of the statistics with the operations known
        uint32_t row, col;
        int kind;  // 0 blank, 1 text, 2 number
        double number;
        const char16_t* format;
    };
    const Expected cells[] = {
        {false, 1, 0, 1, 0, u""},         {false, 2, 0, 1, 0, u""},
        {false, 2, 1, 2, 4, u"0"},        {false, 2, 8, 2, 0.25, u"0.0%"},
        {false, 2, 9, 2, 9, u"0.0"},      {false, 2, 10, 2, 16, u"0"},
        {false, 2, 23, 2, 1, u"0"},       {false, 3, 11, 0, 0, u""},
        {false, 4, 1, 2, 5, u"0"},        {false, 2, 13, 0, 0, u""},
        {false, 2, 17, 2, 0.75, u"0.0%"}, {false, 2, 18, 0, 0, u""},
        {false, 2, 20, 2, 16, u"0"},      {true, 2, 14, 2, 1, u"0"},
        {true, 2, 18, 2, 0.5, u"0.0%"},   {true, 4, 19, 2, 0.625, u"0.0%"},
    };
    for (const Expected& e : cells) {
        const host::xls::Cell* c = CellAt(sheets[e.operations], e.row, e.col);
        ASSERT_NE(c, nullptr) << e.row << "," << e.col;
        EXPECT_EQ(int(c->value.index()), e.kind) << e.row << "," << e.col;
        if (e.kind == 2) {
            EXPECT_DOUBLE_EQ(std::get<double>(c->value), e.number) << e.row << "," << e.col;
            EXPECT_EQ(c->format.numberFormat, e.format) << e.row << "," << e.col;
        }
    }
    EXPECT_EQ(std::get<std::u16string>(CellAt(sheet, 4, 0)->value), u"Все контуры");
}

// More operations than a sheet holds go on in a second sheet under the same
// header; unknown operations are said so, never an empty table.
TEST(StatsView, TheOperationsSheetsHoldEveryOperationOrSayTheyAreUnknown) {
    const std::vector<host::xls::Sheet> unknown =
        TW_OperationsSheets(MakeStatistics(), "Срабатывания неизвестны"_cp);
    ASSERT_EQ(unknown.size(), 1u);
    EXPECT_EQ(unknown[0].name, u"Срабатывания");
    EXPECT_FALSE(unknown[0].autoFilter.has_value());
    ASSERT_NE(CellAt(unknown[0], 1, 0), nullptr);
    EXPECT_EQ(std::get<std::u16string>(CellAt(unknown[0], 1, 0)->value),
              u"Срабатывания неизвестны");

    TW_Statistics many;
    many.OperationsKnown = true;
    many.Operations.resize(host::xls::kMaxRows);
    const std::vector<host::xls::Sheet> sheets = TW_OperationsSheets(many, "");
    ASSERT_EQ(sheets.size(), 2u);
    EXPECT_EQ(sheets[1].name, u"Срабатывания (2)");
    for (const host::xls::Sheet& sheet : sheets) {
        ASSERT_TRUE(sheet.autoFilter.has_value());
        EXPECT_EQ(sheet.frozenRows, 2u);
        ASSERT_NE(CellAt(sheet, 1, 5), nullptr);
    }
    EXPECT_EQ(sheets[0].autoFilter->lastRow, host::xls::kMaxRows - 1);
    EXPECT_EQ(sheets[1].autoFilter->lastRow, 3u);  // the two rows left over
    EXPECT_EQ(sheets[0].cells.size() + sheets[1].cells.size(),
              2 + 2 * 6 + std::size_t(host::xls::kMaxRows) * 6);
}

}  // namespace
