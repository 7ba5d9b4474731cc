#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>

#include "common/cp1251.h"
#include "operations_search.h"
#include "report_search.h"
#include "tw_file.h"
#include "tw_opsfile.h"
#include "test_env.h"
#include "viewer_test_util.h"

using namespace host::literals;
using twview_test::Incident;
using twview_test::SaveHeaderOnly;
using twview_test::SaveReport;

namespace {

PRTime At(int day, int hour, int minute = 0, int second = 0) {
    PRTime t;
    return t.Set(2026, 12, day, hour, minute, second);
}

// The listed reports by file name, with their periods.
std::map<std::string, std::pair<PRTime, PRTime>> Listed(const InfoArray& reports) {
    std::map<std::string, std::pair<PRTime, PRTime>> out;
    for (int i = 0; i < reports.Count(); ++i) {
        const RepInfo& r = *reports.ItemINT(i);
        out[std::filesystem::path(r.FileName.c_str()).filename().string()] = {r.Start, r.End};
    }
    return out;
}

TEST(ReportSearch, ListsTheReportsThatOverlapThePeriodAndHoldIncidents) {
    const std::string dir = twtest::ScratchDir("search");
    const std::vector<TW_ContourLine> one{Incident(true, 0, false, 0, 1)};
    // The period is 2026-12-03 00:00 to 2026-12-05 00:00.
    const PRTime from = At(3, 0), to = At(5, 0);
    ASSERT_TRUE(SaveReport(dir + "before.twr", At(2, 0), At(3, 0), one));  // ends at the start
    ASSERT_TRUE(SaveReport(dir + "after.twr", At(5, 0), At(6, 0), one));   // starts at the end
    ASSERT_TRUE(SaveReport(dir + "second.twr", At(2, 0), At(3, 0, 0, 1), one));  // one second in
    ASSERT_TRUE(SaveReport(dir + "last.twr", At(4, 23, 59, 59), At(6, 0), one));
    ASSERT_TRUE(SaveReport(dir + "whole.twr", At(1, 0), At(9, 0), one));
    ASSERT_TRUE(SaveReport(dir + "UPPER.TWR", At(3, 0), At(4, 0), one));
    SaveHeaderOnly(dir + "empty.twr", At(3, 0), At(4, 0), 0);  // no incidents
    twview_test::WriteText(dir + "garbage.twr", "not a report");
    twview_test::WriteText(dir + "day.txt", "text report");
    std::filesystem::create_directory(dir + "folder.twr");
    // Names the system cannot be told: in cp1251 (as Windows peers name
    // files), and with a character Windows-1251 lacks; other files are ignored.
    for (const char* name : {"\xCE\xF2\xF7\xE5\xF2.twr", "\xF0\x9F\x98\x80.twr", "\xCE.txt"})
        std::filesystem::copy_file(dir + "second.twr", dir + name);

    InfoArray reports;
    twview_test::ScopedRecording rec;
    TW_UnreadableList unreadable;
    EXPECT_EQ(SearchReports(reports, dir.c_str(), from, to, &unreadable), 4);
    // A report without incidents is sound.
    std::sort(unreadable.begin(), unreadable.end(),
              [](const auto& a, const auto& b) { return a.path < b.path; });
    const std::string unnamed = "имя файла не в UTF-8 или с буквами вне Windows-1251"_cp;
    const std::vector<std::pair<std::string, std::string>> expected{
        {dir + "?.twr", unnamed},
        {dir + "\\xCE\\xF2\\xF7\\xE5\\xF2.twr", unnamed},
        {dir + "garbage.twr", "Неверный формат файла!"_cp}};
    ASSERT_EQ(unreadable.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(unreadable[i].path, expected[i].first);
        EXPECT_EQ(unreadable[i].reason, expected[i].second);
    }
    const auto listed = Listed(reports);
    ASSERT_EQ(listed.size(), 4u);
    EXPECT_TRUE(listed.count("second.twr"));
    EXPECT_TRUE(listed.count("last.twr"));
    EXPECT_TRUE(listed.count("UPPER.TWR"));
    ASSERT_TRUE(listed.count("whole.twr"));
    EXPECT_EQ(listed.at("whole.twr").first, At(1, 0));
    EXPECT_EQ(listed.at("whole.twr").second, At(9, 0));
    for (int i = 0; i < reports.Count(); ++i)
        EXPECT_EQ(std::string(reports.ItemINT(i)->FileName.c_str()).rfind(dir, 0), 0u);

    // Every entry named like a report is counted, the folder included (nine
    // entries, nine texts); the text is cleared at the end.
    ASSERT_FALSE(rec.op.texts.empty());
    EXPECT_EQ(rec.op.texts.front(), "Скинарование файлов 0...\nНайдено 0 отчетов"_cp);
    const long shown = std::count_if(rec.op.texts.begin(), rec.op.texts.end(), [](const auto& t) {
        return t.rfind("Скинарование файлов "_cp, 0) == 0;
    });
    EXPECT_EQ(shown, 9);
    EXPECT_EQ(rec.op.texts.back(), "");
}

TEST(ReportSearch, AMissingOrEmptyFolderListsNothing) {
    InfoArray reports;
    reports.Add(RepInfo{});
    twview_test::ScopedRecording rec;
    const std::string dir = twtest::ScratchDir("search-empty");
    EXPECT_EQ(SearchReports(reports, (dir + "missing").c_str(), At(3, 0), At(5, 0)), 0);
    EXPECT_EQ(reports.Count(), 0);
    EXPECT_EQ(SearchReports(reports, dir.c_str(), At(3, 0), At(5, 0)), 0);
    EXPECT_TRUE(rec.op.Text().empty());
}

TEST(ReportSearch, RepeatedReportsAreOneNameAndPeriodApartFromTheCounter) {
    const struct {
        const char *a, *b;
        int bEndHour;
        bool repeated;
    } cases[] = {
        {"/r/Daily 07-12-2026 00_00-00_00.twr", "/r/Daily 07-12-2026 00_00-00_00 (1).twr", 0, true},
        {"/r/D (3).twr", "/r/D (12).TWR", 0, true},
        {"/r/Daily.twr", "/r/Daily (1).twr", 1, false},  // another period
        {"/r/Daily.twr", "/r/Other (1).twr", 0, false},  // another job
        {"/r/Daily.twr", "/r/Daily (x).twr", 0, false},  // not a counter
        {"/r/Daily.twr", "/r/Daily ().twr", 0, false},
    };
    for (const auto& c : cases) {
        InfoArray reports;
        RepInfo a{}, b{};
        a.FileName.Set(c.a);
        b.FileName.Set(c.b);
        a.Start = b.Start = At(7, 0);
        a.End = At(8, 0);
        b.End = At(8, c.bEndHour);
        reports.Add(a);
        reports.Add(b);
        const auto groups = RepeatedReports(reports);
        EXPECT_EQ(groups.size(), c.repeated ? 1u : 0u) << c.b;
    }
    // Many copies of one day are one group, however many pairs they make.
    InfoArray copies;
    for (int n = 400; n-- > 0;) {
        RepInfo r{};
        r.FileName.Set(n ? ("/r/Daily (" + std::to_string(n) + ").twr").c_str() : "/r/Daily.twr");
        r.Start = At(7, 0);
        r.End = At(8, 0);
        copies.Add(r);
    }
    const auto groups = RepeatedReports(copies);
    ASSERT_EQ(groups.size(), 1u);
    EXPECT_EQ(groups[0].size(), 400u);
    EXPECT_STREQ(copies.ItemINT(groups[0][0])->FileName.c_str(), "/r/Daily (1).twr");
}

TEST(ReportSearch, ReportFileNamesMatchInAnyCase) {
    EXPECT_TRUE(IsReportFileName("a.twr"));
    EXPECT_TRUE(IsReportFileName("A.TwR"));
    EXPECT_TRUE(IsReportFileName(".twr"));
    EXPECT_FALSE(IsReportFileName("a.twrx"));
    EXPECT_FALSE(IsReportFileName("a_twr"));
    EXPECT_FALSE(IsReportFileName("twr"));
}

// The operations of a period: a report left out of the list leaves its day's
// operations out; a day without a report (no incidents) still counts.
TEST(ReportSearch, OperationsOfReportsLeftOutDoNotCount) {
    const std::string dir = twtest::ScratchDir("operations");
    auto day = [&](const char* name, int d, bool withReport) {
        PRTime start, end;
        start.Set(2026, 12, d);
        end.Set(2026, 12, d + 1);
        TW_Operation op;
        op.Class = TW_OpUnexplained;
        op.Time.Set(2026, 12, d, 12);
        ASSERT_TRUE(TW_WriteOpsFile((dir + name + ".two").c_str(), start, end, end, {op}));
        if (!withReport) return;
        TW_File report;
        report.Start = start;
        report.End = end;
        report.Add(TW_ContourLine{});
        report.FileName.Set((dir + name + ".twr").c_str());
        ASSERT_TRUE(report.Save());
    };
    day("a", 5, true);
    day("b", 6, true);
    day("c", 7, false);
    PRTime from, to;
    from.Set(2026, 12, 5);
    to.Set(2026, 12, 8);
    InfoArray reports;
    ASSERT_EQ(SearchReports(reports, dir.c_str(), from, to), 2);
    for (const bool excluded : {false, true}) {
        for (int i = 0; excluded && i < reports.Count(); ++i)
            if (std::string(reports.ItemINT(i)->FileName.c_str()) == dir + "b.twr")
                reports.DeleteNum(i);
        const TW_PeriodOperations ops = GatherOperations(dir.c_str(), reports, from, to);
        EXPECT_TRUE(ops.Known);
        std::vector<int> days;
        for (const TW_Operation& op : ops.Operations)
            days.push_back(op.Time.Day);
        EXPECT_EQ(days, (excluded ? std::vector<int>{5, 7} : std::vector<int>{5, 6, 7}));
    }
}

}  // namespace
