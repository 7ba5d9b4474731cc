#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "common/cp1251.h"
#include "report/freexl_read.h"
#include "runtime/interaction.h"
#include "runtime/rtlog.h"
#include "scripted_interaction.h"
#include "test_env.h"
#include "viewer_test_util.h"
#include "batch.h"
#include "tw_opsfile.h"
#include "ws_model.h"

using namespace host::literals;
using twview_test::Incident;
using twview_test::SaveReport;

namespace {

// Platform date-times of 2026-12-07 and 2026-12-08 (days since 1899-12-30).
constexpr double kDec7 = 46363, kDec8 = 46364;
constexpr double kHour = 1.0 / 24;

// The platform date-time of a day.
double Day(int year, int month, int day) {
    return double(host::DaysFromCivil(year, month, day) - host::DaysFromCivil(1899, 12, 30));
}

// The report of `start` to `end` with one incident, saved as `base` + ".twr"
// and again as `base` + `copy` + ".twr", and an empty "zero.twr" in `dir`.
void SaveRepeatedAndEmpty(const std::string& base, const char* copy, const PRTime& start,
                          const PRTime& end, const std::string& dir) {
    ASSERT_TRUE(SaveReport(base + ".twr", start, end, {Incident(true, 0, false, 0, 1)}));
    ASSERT_TRUE(SaveReport(base + copy + ".twr", start, end, {Incident(true, 0, false, 0, 1)}));
    twview_test::WriteText(dir + "zero.twr", "");
}

// A period passes when it holds a calendar day of its zone, however many hours
// that day has, or 24 hours; the text counts calendar days and the hours after them.
TEST(PeriodCheck, NeedsAWholeCalendarDayOfTheZone) {
    const char* const refused = "Неверный интервал рассчета"_cp;
    const double minute = kHour / 60;
    const struct {
        const char* zone;
        double startDate, startTime, endDate, endTime;
        const char* text;
    } cases[] = {
        {"Europe/Moscow", kDec7, 0, kDec8, 0, "Дней: 1, Часов: 0 "_cp},
        {"Europe/Moscow", kDec7, 0, kDec8 + 1, kHour, "Дней: 2, Часов: 1 "_cp},
        // The date picker gives the day, the time picker the time of day.
        {"Europe/Moscow", kDec7 + 0.9, 6 * kHour, kDec8, 6 * kHour, "Дней: 1, Часов: 0 "_cp},
        {"Europe/Moscow", kDec7, 0, kDec7, 23 * kHour + 59 * minute, refused},
        {"Europe/Moscow", kDec8, 0, kDec7, 0, refused},
        {"Europe/Moscow", 0, 0, 0, 0, refused},
        // The 23-hour and the 25-hour day.
        {"Europe/Berlin", Day(2026, 3, 29), 0, Day(2026, 3, 30), 0, "Дней: 1, Часов: 0 "_cp},
        {"Europe/Berlin", Day(2026, 3, 28), 12 * kHour, Day(2026, 3, 29), 12 * kHour,
         "Дней: 1, Часов: 0 "_cp},
        {"Europe/Berlin", Day(2026, 10, 25), 0, Day(2026, 10, 26), 0, "Дней: 1, Часов: 0 "_cp},
        // 24 hours short of a calendar day pass as before.
        {"Europe/Berlin", Day(2026, 10, 25), 0, Day(2026, 10, 25), 23 * kHour + 59 * minute,
         "Дней: 0, Часов: 24 "_cp},
        {"Europe/Berlin", Day(2026, 10, 25), 0, Day(2026, 10, 25), 22 * kHour + 59 * minute,
         refused},
        // The hours after the days are read on the wall clock (11 and 24.5 pass).
        {"Europe/Berlin", Day(2026, 3, 28), 0, Day(2026, 3, 29), 12 * kHour,
         "Дней: 1, Часов: 12 "_cp},
        {"Europe/Berlin", Day(2026, 10, 24), 0, Day(2026, 10, 25), 23.5 * kHour,
         "Дней: 1, Часов: 23 "_cp},
        {"UTC", Day(2026, 3, 29), 0, Day(2026, 3, 30), 0, "Дней: 1, Часов: 0 "_cp},
        {"UTC", Day(2026, 3, 29), 0, Day(2026, 3, 29), 23 * kHour, refused},
    };
    for (const auto& c : cases) {
        twtest::ScopedTimeZone zone(c.zone);
        const TW_PeriodCheck check =
            TWSMainModel::CheckPeriod(c.startDate, c.startTime, c.endDate, c.endTime);
        EXPECT_EQ(check.text, c.text) << c.zone << " " << c.startDate << " " << c.endDate;
        EXPECT_EQ(check.ok, std::string(c.text) != refused);
    }
}

class Wizard : public ::testing::Test {
  protected:
    void SetUp() override {
        dir = twtest::ScratchDir("wizard");
        settings = dir + "config/Tripview/Tripview.hcfg";
        logFile = dir + "state/Tripview/Tripview.log";
        previous = host::SetInteraction(&scripted);
    }
    void TearDown() override { host::SetInteraction(previous); }

    std::string dir, settings, logFile;
    twtest::ScriptedInteraction scripted;
    host::Interaction* previous = nullptr;
};

TEST_F(Wizard, SettingsReachTheFileWhenTheWindowClosesAndComeBackOnTheNextStart) {
    host::LogCapture log;
    {
        TWSMainModel first(settings, logFile);
        EXPECT_EQ(first.StoredPath(), "");  // first start: the defaults
        EXPECT_EQ(first.StoredStart(), 0.0);
        EXPECT_EQ(first.StoredEnd(), 0.0);
        first.LeavePage1("/srv/reports", kDec7, 0, kDec8, 8 * kHour);
        first.StoreColumnWidth(kReportsPage, 1, 95);
        first.StoreColumnWidth(kResultPage, 0, 120);
        EXPECT_FALSE(std::filesystem::exists(settings));
        first.Close();
    }
    EXPECT_TRUE(std::filesystem::exists(settings));
    // Widths are filed under the page's number counted from 1, as stores
    // written before hold them.
    std::ifstream store(settings);
    const std::string stored((std::istreambuf_iterator<char>(store)), {});
    for (const char* entry : {"\"2/Sec1\": 95", "\"3/Sec0\": 120"})
        EXPECT_NE(stored.find(entry), std::string::npos) << entry;
    const std::vector<std::string> lines{"Инициализация..."_cp, "OK", "All done. Bye."};
    EXPECT_EQ(log.lines, lines);
    std::ifstream f(logFile);
    std::string firstLine;
    std::getline(f, firstLine);
    EXPECT_NE(firstLine.find("Инициализация..."), std::string::npos);  // UTF-8 in the file

    TWSMainModel next(settings, logFile);
    EXPECT_EQ(next.StoredPath(), "/srv/reports");
    EXPECT_DOUBLE_EQ(next.StoredStart(), kDec7);
    EXPECT_NEAR(next.StoredEnd(), kDec8 + 8 * kHour, 1e-9);
    EXPECT_EQ(next.ColumnWidth(kReportsPage, 1, 80), 95);
    EXPECT_EQ(next.ColumnWidth(kReportsPage, 0, 300), 300);
}

// Page 2 names the files it could not read and the reports made twice for one
// job and period (both still listed); excluding one of the pair ends its note.
TEST_F(Wizard, Page2NotesUnreadableAndRepeatedReports) {
    host::SetLogConsole(false);
    const std::string reports = twtest::ScratchDir("wizard-notes");
    const std::string day = reports + "Daily 07-12-2026 00_00-00_00";
    ASSERT_NO_FATAL_FAILURE(SaveRepeatedAndEmpty(day, " (2)", PRTime().Set(2026, 12, 7),
                                                 PRTime().Set(2026, 12, 8), reports));
    TWSMainModel m(settings, logFile);
    m.LeavePage1(reports.c_str(), kDec7, 0, kDec8, 0);
    host::LogCapture log;
    ASSERT_EQ(m.SearchReports(), 2);
    const std::string unreadable =
        "Ошибка чтения отчета "_cp + reports + "zero.twr: " + "Файл пуст!"_cp;
    EXPECT_EQ(m.ReportNotes(), unreadable + "\n" +
                                   "Повторный отчет за тот же период (учтены оба): "_cp + day +
                                   " (2).twr и "_cp + day + ".twr");
    EXPECT_NE(std::find(log.lines.begin(), log.lines.end(), unreadable), log.lines.end());
    scripted.yes = true;
    ASSERT_TRUE(m.ExcludeReport(nullptr, 0));
    EXPECT_EQ(m.ReportNotes(), unreadable);
}

TEST_F(Wizard, FindsExcludesAndGathersThenExportsTheResult) {
    host::SetLogConsole(false);
    const std::string reports = twtest::ScratchDir("wizard-reports");
    TW_ContourLine relayFailed = Incident(true, 0x00, true, 0x10, 1);
    std::strcpy(relayFailed.Contour.Sensor, "TS1");
    std::strcpy(relayFailed.Contour.StateName, "Авария"_cp);
    std::strcpy(relayFailed.Contour.Rele.Sensor, "R1");
    std::strcpy(relayFailed.Contour.Rele.OFFName, "Не сработало"_cp);
    std::strcpy(relayFailed.Contour.Prot.Sensor, "Q1");
    std::strcpy(relayFailed.Contour.Prot.OFFName, "Включен"_cp);
    relayFailed.Start.Set(2026, 12, 7, 23, 50, 0);
    relayFailed.End.Set(2026, 12, 8, 0, 10, 0);
    std::strcpy(relayFailed.Contour.Prot.ONName, "Отключен"_cp);
    TW_ContourLine apparatusFailed = Incident(false, 0, true, 0x12, 2);
    std::strcpy(apparatusFailed.Contour.Prot.Sensor, "Q2");
    std::strcpy(apparatusFailed.Contour.Prot.ONName, "Отключен"_cp);
    std::strcpy(apparatusFailed.Contour.Prot.OFFName, "Включен"_cp);
    PRTime d6, d7, d8;
    d6.Set(2026, 12, 6, 8, 0, 0);
    d7.Set(2026, 12, 7, 8, 0, 0);
    d8.Set(2026, 12, 8, 8, 0, 0);
    ASSERT_TRUE(SaveReport(reports + "a.twr", d6, d7, {apparatusFailed}));
    ASSERT_TRUE(SaveReport(reports + "b.twr", d7, d8, {relayFailed}));

    TWSMainModel m(settings, logFile);
    m.LeavePage1(reports.c_str(), kDec7 - 1, 8 * kHour, kDec8, 8 * kHour);
    EXPECT_EQ(m.FullPeriodText(), "Рассчетный период: 06-12-2026 - 08-12-2026"_cp);
    ASSERT_EQ(m.SearchReports(), 2);
    std::string text;
    ASSERT_TRUE(m.ReportCell(0, 1, text));
    EXPECT_FALSE(m.ReportCell(2, 0, text));

    // Excluding asks first; "no" keeps the report.
    scripted.yes = false;
    EXPECT_FALSE(m.ExcludeReport(nullptr, 0));
    ASSERT_EQ(scripted.asked.size(), 1u);
    EXPECT_EQ(scripted.asked[0], "Удалить выбранный отчет из рассчетов?"_cp);
    EXPECT_EQ(m.ComputeResult(), 2);

    ASSERT_TRUE(m.ResultCell(0, 0, text) && m.ResultCell(1, 0, text));
    const int relayRow = m.ResultFile.ItemINT(0)->Value == 1 ? 0 : 1;
    m.ResultCell(relayRow, 0, text);
    EXPECT_EQ(text, "07-12-2026 - 08-12-2026");
    m.ResultCell(relayRow, 1, text);
    EXPECT_EQ(text, "TS1 - Авария"_cp);
    m.ResultCell(relayRow, 2, text);
    EXPECT_EQ(text, "R1 - Не сработало (00 \"Несработка\")"_cp);
    m.ResultCell(relayRow, 3, text);  // the ON name for a clean operation only
    EXPECT_EQ(text, "Q1 - Отключен (10 \"Сработка\")"_cp);
    m.ResultCell(1 - relayRow, 2, text);
    EXPECT_EQ(text, "<не используется>"_cp);
    m.ResultCell(1 - relayRow, 3, text);
    EXPECT_EQ(text, "Q2 - Включен (12 \"ВКЛ: Отключение\")"_cp);

    EXPECT_TRUE(m.MenuItemEnabled(TW_ExportItem::Text, ""));
    EXPECT_FALSE(m.MenuItemEnabled(TW_ExportItem::Xls, ""));
    EXPECT_TRUE(m.MenuItemEnabled(TW_ExportItem::Xls, "t.xls"));

    // Text export: the stored folder starts the choice; a cancel writes nothing.
    EXPECT_FALSE(m.ExportText(nullptr));
    const std::string out = twtest::ScratchDir("wizard-out");
    scripted.folder = out.substr(0, out.size() - 1);
    ASSERT_TRUE(m.ExportText(nullptr));
    ASSERT_TRUE(m.ExportText(nullptr));
    EXPECT_EQ(scripted.folderStarts.back().first, scripted.folder);
    EXPECT_EQ(scripted.folderStarts.back().second, 3);
    // The file name is the period text alone, so it begins with a blank.
    EXPECT_TRUE(std::filesystem::exists(out + " 06-12-2026 08_00-08_00.txt"));
    EXPECT_TRUE(std::filesystem::exists(out + " 06-12-2026 08_00-08_00 (1).txt"));

    scripted.yes = true;
    EXPECT_TRUE(m.ExcludeReport(nullptr, 0));
    EXPECT_TRUE(m.ExcludeReport(nullptr, 0));
    EXPECT_FALSE(m.ExcludeReport(nullptr, 0));  // nothing left to ask about
    EXPECT_EQ(scripted.asked.size(), 3u);
    EXPECT_EQ(m.ComputeResult(), 0);
    for (TW_ExportItem item : kExportItems)
        EXPECT_FALSE(m.MenuItemEnabled(item, "t.xls"));
}

}  // namespace

namespace {

TEST(Batch, WritesTheRequestedReportsAndRefusesAShortPeriod) {
    host::SetLogConsole(false);
    const std::string dir = twtest::ScratchDir("batch");
    PRTime d5, d6;
    d5.Set(2026, 12, 5, 0, 0, 0);
    d6.Set(2026, 12, 6, 0, 0, 0);
    ASSERT_TRUE(SaveReport(dir + "a.twr", d5, d6, {Incident(true, 0, false, 0, 1)}));
    TW_BatchArgs args;
    args.path = dir;
    args.from = "2026-12-05";
    args.to = "2026-12-07 12:00";
    args.txtDir = dir + "out";
    EXPECT_EQ(RunBatch(args), 0);
    EXPECT_TRUE(std::filesystem::exists(dir + "out/ 05-12-2026 00_00-12_00.txt"));
    args.txtDir.clear();
    args.xlsDir = dir + "out";  // without a template: the report alone
    EXPECT_EQ(RunBatch(args), 0);
    EXPECT_TRUE(std::filesystem::exists(dir + "out/ 05-12-2026 00_00-12_00.xls"));
    args.xlsDir.clear();
    args.txtDir = dir + "out";
    args.to = "2026-12-05 23:59";
    EXPECT_EQ(RunBatch(args), 2);
    args.to = "07.12.2026";
    EXPECT_EQ(RunBatch(args), 2);
    args.to = "2026-12-07";
    args.txtDir = dir + "a.twr";  // a file where the folder should be
    EXPECT_EQ(RunBatch(args), 1);
    twtest::ScopedTimeZone berlin("Europe/Berlin");
    args.txtDir.clear();
    args.from = "2026-03-29";
    args.to = "2026-03-30";  // 23 hours, one calendar day
    EXPECT_EQ(RunBatch(args), 0);
}

// Standard output and error of one batch run, with its exit code.
struct BatchRun {
    int code;
    std::string out, err;
};

BatchRun RunBatchCaptured(const TW_BatchArgs& args) {
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    BatchRun r{RunBatch(args), {}, {}};
    std::fflush(stdout);
    r.out = testing::internal::GetCapturedStdout();
    r.err = testing::internal::GetCapturedStderr();
    return r;
}

TEST(Batch, AFolderThatIsNotThereIsAWrongArgument) {
    const std::string dir = twtest::ScratchDir("batch-path");
    twview_test::WriteText(dir + "file", "x");
    TW_BatchArgs args;
    args.from = "2026-12-05";
    args.to = "2026-12-07";
    for (const std::string& path : {dir + "missing", dir + "file"}) {
        args.path = path;
        const BatchRun r = RunBatchCaptured(args);
        EXPECT_EQ(r.code, 2);
        EXPECT_EQ(r.err, "Tripview: --path \"" + path + "\" is not an existing folder\n");
        EXPECT_EQ(r.out, "");
    }
}

// A folder with unreadable files of every kind and one day's report made twice:
// the batch names each unreadable file with its reason, warns of the repeated
// report, still writes what it could gather, and exits 1.
TEST(Batch, NamesUnreadableAndRepeatedReports) {
    host::SetLogConsole(false);
    const std::string dir = twtest::ScratchDir("batch-incomplete");
    const PRTime d5 = PRTime().Set(2026, 12, 5), d6 = PRTime().Set(2026, 12, 6);
    const std::string day = dir + "Daily 05-12-2026 00_00-00_00";
    ASSERT_NO_FATAL_FAILURE(SaveRepeatedAndEmpty(day, " (1)", d5, d6, dir));
    twview_test::WriteText(dir + "garbage.twr", "not a report");
    twview_test::SaveHeaderOnly(dir + "header.twr", d5, d6, 2);
    ASSERT_EQ(::mkfifo((dir + "fifo.twr").c_str(), 0600), 0);
    TW_BatchArgs args;
    args.path = dir;
    args.from = "2026-12-05";
    args.to = "2026-12-07";
    args.txtDir = dir + "out";
    const BatchRun r = RunBatchCaptured(args);
    EXPECT_EQ(r.code, 1);
    const std::string lines[] = {"3 report(s) of the period:\n",
                                 "warning: two reports of the same job and period, both counted: " +
                                     day + " (1).twr and " + day + ".twr\n",
                                 "2 non-operation(s)\n",
                                 "incomplete: 4 report(s) could not be read:\n",
                                 "  " + dir + "zero.twr: Файл пуст!\n",
                                 "  " + dir + "garbage.twr: Неверный формат файла!\n",
                                 "  " + dir + "fifo.twr: Не является обычным файлом!\n",
                                 "  " + dir + "header.twr: Файл поврежден или обрезан!\n",
                                 "text: " + dir + "out/ 05-12-2026 00_00-00_00.txt\n"};
    for (const std::string& line : lines)
        EXPECT_NE(r.out.find(line), std::string::npos) << line << r.out;
}

// The statistics of the period as stats.csv: a report with times, one without
// and one whose times belong to another report (named, and the run exits 1;
// its incidents count without times).
TEST(Batch, WritesTheStatisticsAsCsv) {
    host::SetLogConsole(false);
    const std::string dir = twtest::ScratchDir("batch-stats");
    const auto line = [](const char* sensor, uint8_t relay, uint8_t apparatus, int day) {
        TW_ContourLine l = Incident(true, relay, apparatus != 0xFF, apparatus, day);
        std::strcpy(l.Contour.Sensor, sensor);
        l.Contour.Rele.MaxTime = 10;
        l.Contour.Prot.MaxTime = 30;
        l.Start.Set(2026, 12, day, 10, 0, 0);
        l.End.Set(2026, 12, day, 10, 5, 0);
        return l;
    };
    const auto save = [&](const char* name, int day, std::vector<TW_ContourLine> items,
                          std::vector<TW_IncidentTimes> times) {
        TW_File report;
        report.Start.Set(2026, 12, day);
        report.End.Set(2026, 12, day + 1);
        for (const TW_ContourLine& l : items)
            report.Add(l);
        report.Times = std::move(times);
        report.FileName.Set((dir + name).c_str());
        return report.Save() && report.SaveTimes();
    };
    const char* comma = "Т,2"_cp;
    constexpr uint32_t none = TW_NoTime;
    ASSERT_TRUE(
        save("a.twr", 5,
             {line("TS1", 0x10, 0x10, 5), line("TS1", 0x00, 0x10, 5), line(comma, 0x12, 0xFF, 5)},
             {{{3, none}, {12, none}}, {{14, none}, {20, none}}, {{5, 40}, {none, none}}}));
    ASSERT_TRUE(save("b.twr", 6, {line("TS1", 0x10, 0x10, 6)}, {}));
    // Every report names TS1 first, whatever order the folder lists them in.
    ASSERT_TRUE(save("c.twr", 6, {line("TS1", 0x10, 0x12, 6), line(comma, 0x00, 0xFF, 6)}, {}));
    TW_File other;
    other.Start.Set(2026, 12, 6);
    other.Add(TW_ContourLine{});
    other.Times.resize(1);
    ASSERT_TRUE(TW_WriteTimesFile((dir + "c.twt").c_str(), other, other.Times));

    TW_BatchArgs args;
    args.path = dir;
    args.from = "2026-12-05";
    args.to = "2026-12-07";
    args.statsDir = dir + "out";
    const std::string csv =
        "sensor,demands,correct,misoperations,failed,not_held,slow,near_miss,misoperation_rate,"
        "relay_median_s,relay_max_s,apparatus_median_s,apparatus_max_s,false_relay,"
        "false_apparatus,commanded,maintenance,dependability,security,misoperation_rate_all,"
        "relay_p90_s,apparatus_p90_s\n"
        "TS1,4,2,2,1,1,1,,0.5000,8.5,14,16,20,,,,,0.5000,,,14,20\n"
        "\"Т,2\",2,0,2,1,1,,0,1.0000,5,5,,,,,,,0.0000,,,5,\n"
        "*,6,2,4,2,2,,,0.6667,5,14,16,20,,,,,0.3333,,,14,20\n";
    BatchRun r = RunBatchCaptured(args);
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(twview_test::ReadText(dir + "out/stats.csv"), csv);
    EXPECT_NE(r.out.find("incomplete: 1 times file(s) could not be used:\n  " + dir +
                         "c.twt: Файл времен срабатывания не относится к отчету: в нем 1 "
                         "инцидентов за 06.12.2026 00:00:00 - 00.00.0000 00:00:00 (расчет "
                         "00.00.0000 00:00:00), в отчете 2 за 06.12.2026 00:00:00 - 07.12.2026 "
                         "00:00:00 (расчет 00.00.0000 00:00:00)\n"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("statistics: " + dir + "out/stats.csv\n"), std::string::npos);

    // Without the foreign times file the same table, and all is well; a period
    // without reports has the plant's row alone; a file where the folder
    // should be fails the output.
    std::filesystem::remove(dir + "c.twt");
    r = RunBatchCaptured(args);
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(twview_test::ReadText(dir + "out/stats.csv"), csv);
    EXPECT_NE(r.out.find("operations: not known (3 report(s) without an operations file)\n"),
              std::string::npos)
        << r.out;
    EXPECT_FALSE(std::filesystem::exists(dir + "out/operations.csv"));

    // With an operations file for each day (one of the two reports of the 6th
    // is enough: the period is the day's) the other half is known.
    const auto op = [](const char* variable, uint8_t role, uint8_t cls, int day, int hour, int s) {
        TW_Operation o;
        std::strcpy(o.Variable, variable);
        o.Role = role;
        o.Class = cls;
        std::strcpy(o.Sensor, "TS1");
        o.Time.Set(2026, 12, day, hour, 0, s);
        if (cls == TW_OpDemand) o.IncidentStart.Set(2026, 12, day, hour);
        return o;
    };
    const auto day = [](int d) { return PRTime().Set(2026, 12, d); };
    ASSERT_TRUE(TW_WriteOpsFile((dir + "a.two").c_str(), day(5), day(6), day(6),
                                {op("R", TW_RoleRelay, TW_OpDemand, 5, 10, 3),
                                 op("Q", TW_RoleApparatus, TW_OpUnexplained, 5, 12, 0)}));
    ASSERT_TRUE(TW_WriteOpsFile((dir + "b.two").c_str(), day(6), day(7), day(7),
                                {op("R", TW_RoleRelay, TW_OpUnexplained, 6, 8, 0)}));
    r = RunBatchCaptured(args);
    EXPECT_EQ(r.code, 0);
    std::string known = csv;
    for (const auto& [from, to] :
         {std::pair{",,,,,0.5000,,,14,20\n", ",1,1,0,0,0.5000,0.3333,0.6667,14,20\n"},
          {",,,,,0.0000,,,5,\n", ",0,0,0,0,0.0000,,1.0000,5,\n"},
          {",,,,,0.3333,,,14,20\n", ",1,1,0,0,0.3333,0.3333,0.7500,14,20\n"}})
        known.replace(known.find(from), std::strlen(from), to);
    EXPECT_EQ(twview_test::ReadText(dir + "out/stats.csv"), known);
    EXPECT_EQ(twview_test::ReadText(dir + "out/operations.csv"),
              "variable,role,contour,time,class,incident_start\n"
              "R,relay,TS1,2026-12-05 10:00:03,demand,2026-12-05 10:00:00\n"
              "Q,apparatus,TS1,2026-12-05 12:00:00,unexplained,\n"
              "R,relay,TS1,2026-12-06 08:00:00,unexplained,\n");
    EXPECT_EQ(twview_test::ReadText(dir + "out/lines.csv"),
              "variable,role,operations,on_demand,unexplained,median_s,p90_s,earlier_median_s,"
              "later_median_s,slowing\n"
              "R,relay,2,1,1,3,3,,,0\n"
              "Q,apparatus,1,0,1,,,,,0\n");
    EXPECT_NE(r.out.find("2 operation(s) without demand\n  05.12.2026 12:00:00 apparatus \"Q\" "
                         "(contour \"TS1\"): unexplained\n  06.12.2026 08:00:00 relay \"R\" "
                         "(contour \"TS1\"): unexplained\n"),
              std::string::npos)
        << r.out;
    // A damaged operations file is named, and the run exits 1.
    twview_test::WriteText(dir + "z.two", "TWRO");
    r = RunBatchCaptured(args);
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.out.find("incomplete: 1 operations file(s) could not be read:\n  " + dir +
                         "z.two: Файл срабатываний поврежден или обрезан!\n"),
              std::string::npos)
        << r.out;
    std::filesystem::remove(dir + "z.two");

    args.from = "2026-12-10";
    args.to = "2026-12-11";
    EXPECT_EQ(RunBatchCaptured(args).code, 0);
    EXPECT_EQ(twview_test::ReadText(dir + "out/stats.csv"),
              csv.substr(0, csv.find('\n') + 1) + "*,0,0,0,0,0,0,0,,,,,,,,,,,,,,\n");
    args.statsDir = dir + "a.twr";
    r = RunBatchCaptured(args);
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.out.find("statistics: failed: "), std::string::npos) << r.out;
    args.nearMissShare = 1.5;
    EXPECT_EQ(RunBatchCaptured(args).code, 2);
}

// The spreadsheet's operations sheet, read back with FreeXL: a row per
// operation with its times as date-times, or why the operations are not known.
TEST(Batch, PutsTheOperationsInTheSpreadsheet) {
    host::SetLogConsole(false);
    const std::string dir = twtest::ScratchDir("batch-ops-xls");
    const PRTime d5 = PRTime().Set(2026, 12, 5), d6 = PRTime().Set(2026, 12, 6);
    TW_ContourLine incident = Incident(true, 0x10, false, 0, 1);
    std::strcpy(incident.Contour.Sensor, "TS1");
    ASSERT_TRUE(SaveReport(dir + "a.twr", d5, d6, {incident}));
    TW_Operation demand, unexplained;
    for (TW_Operation* o : {&demand, &unexplained})
        std::strcpy(o->Sensor, "TS1");
    std::strcpy(demand.Variable, "R");
    demand.Time.Set(2026, 12, 5, 10, 0, 3);
    demand.IncidentStart.Set(2026, 12, 5, 10, 0, 0);
    std::strcpy(unexplained.Variable, "Q");
    unexplained.Role = TW_RoleApparatus;
    unexplained.Class = TW_OpUnexplained;
    unexplained.Time.Set(2026, 12, 5, 12, 0, 0);
    ASSERT_TRUE(TW_WriteOpsFile((dir + "a.two").c_str(), d5, d6, d6, {demand, unexplained}));
    TW_BatchArgs args;
    args.path = dir;
    args.from = "2026-12-05";
    args.to = "2026-12-06";
    args.xlsDir = dir + "known";
    ASSERT_EQ(RunBatchCaptured(args).code, 0);
    const twtest::XlsCells known = twtest::ReadXls(dir + "known/ 05-12-2026 00_00-00_00.xls", 2);
    ASSERT_TRUE(known.ok);
    EXPECT_EQ(known.sheets, 3u);  // the report, the statistics, the operations
    EXPECT_EQ(known.name, "Срабатывания");
    EXPECT_EQ(known.At(0, 0),
              "Срабатывания линий реле и агрегатов: 05.12.2026 00:00:00 - "
              "06.12.2026 00:00:00");
    const std::vector<std::vector<std::string>> rows{
        {"Линия", "Роль", "Контур", "Время", "Класс", "Начало инцидента"},
        {"R", "реле", "TS1", "2026-12-05 10:00:03", "по вызову", "2026-12-05 10:00:00"},
        {"Q", "агрегат", "TS1", "2026-12-05 12:00:00", "необъясненное", ""}};
    for (unsigned r = 0; r < rows.size(); ++r)
        for (unsigned c = 0; c < rows[r].size(); ++c)
            EXPECT_EQ(known.At(r + 1, c), rows[r][c]) << r + 1 << "," << c;
    EXPECT_EQ(known.TypeAt(2, 3), FREEXL_CELL_DATETIME);

    std::filesystem::remove(dir + "a.two");
    args.xlsDir = dir + "unknown";
    ASSERT_EQ(RunBatchCaptured(args).code, 0);
    const twtest::XlsCells unknown =
        twtest::ReadXls(dir + "unknown/ 05-12-2026 00_00-00_00.xls", 2);
    EXPECT_EQ(unknown.At(1, 0), "Срабатывания неизвестны: у 1 отчетов нет файла срабатываний");
    EXPECT_EQ(unknown.rows, 2u);
}

}  // namespace
