#include <gtest/gtest.h>

#include <memory>

#include "common/cp1251.h"
#include "contour_builder.h"
#include "plantdb/dbdatabase.h"
#include "hour_builder.h"
#include "runtime/runtime.h"
#include "test_env.h"
#include "tw_contourarray.h"
#include "tw_file.h"
#include "tw_fillreporter.h"

using namespace host::literals;
using twtest::MakeContour;
using twtest::S;

namespace {

// 2026-12-07 00:00:00 in Moscow.
constexpr time_t kBase = 1796590800;

class Fill : public ::testing::Test {
  protected:
    void SetUp() override {
        twtest::ScopedTimeZone* tz = new twtest::ScopedTimeZone("Europe/Moscow");
        tz_.reset(tz);
        auto tables = std::make_shared<HDBStateTables>();
        tables->ErrorStates[13] = true;  // state 13 is an error state
        host::SetCurrentStateTables(tables);
        report.Start = hb.At(0);
        report.End = hb.At(86400);
    }
    void TearDown() override { host::SetCurrentStateTables(nullptr); }

    bool Run() { return report.Fill(hb.file, contours); }
    const TW_ContourLine& Row(int i) { return *report.ItemINT(i); }
    long Secs(const PRTime& t) { return long(t.GetTT() - kBase); }

    std::unique_ptr<twtest::ScopedTimeZone> tz_;
    twtest::HourBuilder hb{kBase};
    TW_ContourArray contours;
    TW_File report;
};

TEST_F(Fill, ExcursionsKeptByTheirLength) {
    hb.Var("T1",
           {{0, 0},
            {100, 5, 1.5},
            {110, 5, 7.0},
            {160, 0},  // 60 s: kept
            {200, 5, 2.0},
            {259, 0},  // 59 s: too short
            {300, 5, 9.0},
            {300, 5, 3.0},
            {400, 0},   // 100 s, two samples
            {500, 5}},  // open at the end: dropped
           "Котел 1"_cp, "Цех 2"_cp);
    hb.Var("Empty", {});
    contours.Add(MakeContour("T1", 5, 60));
    contours.Add(MakeContour("Empty", 5, 0));  // no samples: no incident, no error
    ASSERT_TRUE(Run());
    ASSERT_EQ(report.Count(), 2);
    EXPECT_EQ(Secs(Row(0).Start), 100);
    EXPECT_EQ(Secs(Row(0).End), 160);
    EXPECT_DOUBLE_EQ(Row(0).Value, 7.0);
    EXPECT_EQ(Secs(Row(1).Start), 300);
    EXPECT_EQ(Secs(Row(1).End), 400);
    EXPECT_DOUBLE_EQ(Row(1).Value, 9.0);
    EXPECT_STREQ(Row(0).ObjectName, "Котел 1"_cp);
    EXPECT_STREQ(Row(0).SensorPlace, "Цех 2"_cp);
    EXPECT_STREQ(Row(0).ProtObjectName, "<не задан>"_cp);
    EXPECT_EQ(std::memcmp(&Row(0).Contour, contours.ItemINT(0), sizeof(TW_Contour)), 0);
}

TEST_F(Fill, IntervalZeroAndValueTypes) {
    hb.Var("T1", {{10, 5, 4}, {10, 0}, {20, 5, 4}, {21, 5, 1}, {22, 5, 6}, {30, 0}});
    contours.Add(MakeContour("T1", 5, 0));  // same-second excursion is kept
    contours.Add(MakeContour("T1", 5, 0));
    contours.ItemINT(1)->ValueType = 1;
    contours.Add(MakeContour("T1", 5, 0));
    contours.ItemINT(2)->ValueType = 7;  // neither: the first value stays
    ASSERT_TRUE(Run());
    ASSERT_EQ(report.Count(), 6);
    EXPECT_EQ(Secs(Row(0).Start), 10);
    EXPECT_EQ(Secs(Row(0).End), 10);
    EXPECT_DOUBLE_EQ(Row(1).Value, 6);
    EXPECT_DOUBLE_EQ(Row(3).Value, 1);
    EXPECT_DOUBLE_EQ(Row(5).Value, 4);
}

TEST_F(Fill, RelayAndApparatusOutcomes) {
    // Sensor excursion from 1000 to 2000 (each contour reads the same one).
    hb.Var("T1", {{0, 0}, {1000, 5}, {2000, 0}}, "Котел"_cp);
    hb.Var("R_carried", {{500, 1}});                     // operated before: carried in
    hb.Var("R_late", {{0, 0}, {1500, 1}});               // operates after MaxTime 100
    hb.Var("R_error", {{0, 0}, {1010, 1}, {1500, 13}});  // then an error state
    hb.Var("R_off", {{0, 0}, {1010, 1}, {1500, 0}});     // then switched off
    hb.Var("R_after", {{0, 0}, {1010, 1}, {2000, 0}});   // leaves only at the end
    hb.Var("R_dropped", {{500, 1}, {1050, 0}});          // carried in, drops out in the window
    hb.Var("A", {{0, 0}, {1020, 2}}, "Выключатель"_cp);
    contours.Add(MakeContour("T1", 5, 10, "R_carried", 1, 100));
    contours.Add(MakeContour("T1", 5, 10, "R_late", 1, 100));
    contours.Add(MakeContour("T1", 5, 10, "R_late", 1, 0));  // whole excursion
    contours.Add(MakeContour("T1", 5, 10, "R_error", 1, 100, "A", 2, 0));
    contours.Add(MakeContour("T1", 5, 10, "R_off", 1, 100));
    contours.Add(MakeContour("T1", 5, 10, "R_after", 1, 100));
    contours.Add(MakeContour("T1", 5, 10));  // no relay after contours with one
    contours.Add(MakeContour("T1", 5, 10, "R_dropped", 1, 100));
    ASSERT_TRUE(Run());
    ASSERT_EQ(report.Count(), 8);
    EXPECT_EQ(Row(0).ReleResult, 0x10);
    EXPECT_EQ(Row(1).ReleResult, 0x00);
    EXPECT_EQ(Row(2).ReleResult, 0x10);
    EXPECT_EQ(Row(3).ReleResult, 0x11);
    EXPECT_EQ(Row(3).ProtResult, 0x10);
    EXPECT_STREQ(Row(3).ProtObjectName, "Выключатель"_cp);
    EXPECT_EQ(Row(4).ReleResult, 0x12);
    EXPECT_EQ(Row(5).ReleResult, 0x10);
    EXPECT_EQ(Row(6).ReleResult, 0x00);
    EXPECT_EQ(Row(6).ProtResult, 0x00);
    EXPECT_STREQ(Row(6).ProtObjectName, "<не задан>"_cp);
    EXPECT_EQ(Row(7).ReleResult, 0x12);  // operated, did not hold
}

// Response and held times of each line, beside its outcome byte: measured over
// the whole excursion (1000 to 2000), whatever the window says.
TEST_F(Fill, ResponseTimesOfEveryLine) {
    constexpr uint32_t none = TW_NoTime;
    hb.Var("T1", {{0, 0}, {1000, 5}, {2000, 0}});
    hb.Var("A", {{0, 0}, {1020, 2}});
    const struct {
        const char* name;
        std::vector<S> samples;
        uint8_t outcome;
        uint32_t response, held;
    } cases[] = {
        {"carried", {{500, 1}}, 0x10, 0, none},
        {"carried_then_off", {{500, 1}, {1200, 0}}, 0x12, 0, 200},
        {"late", {{0, 0}, {1500, 1}}, 0x00, 500, none},
        {"late_then_off", {{0, 0}, {1500, 1}, {1600, 0}}, 0x00, 500, 100},
        {"error", {{0, 0}, {1010, 1}, {1500, 13}}, 0x11, 10, 490},
        {"back_at_the_end", {{0, 0}, {1010, 1}, {1500, 1}, {2000, 0}}, 0x10, 10, none},
        {"at_the_start", {{0, 0}, {1000, 1}, {1000, 0}}, 0x12, 0, 0},
        {"never", {{0, 0}, {1500, 0}, {2000, 1}}, 0x00, none, none},
        {"no_samples", {}, 0x00, none, none},
    };
    for (const auto& c : cases) {
        hb.Var(c.name, c.samples);
        contours.Add(MakeContour("T1", 5, 10, c.name, 1, 100));
    }
    contours.Add(MakeContour("T1", 5, 10, nullptr, 1, 0, "A", 2, 0));
    ASSERT_TRUE(Run());
    ASSERT_EQ(report.Count(), int(std::size(cases)) + 1);
    ASSERT_EQ(report.Times.size(), std::size(cases) + 1);
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const TW_IncidentTimes& t = *report.TimesOf(int(i));
        EXPECT_EQ(Row(int(i)).ReleResult, cases[i].outcome) << cases[i].name;
        EXPECT_EQ(t.Rele.Response, cases[i].response) << cases[i].name;
        EXPECT_EQ(t.Rele.Held, cases[i].held) << cases[i].name;
        EXPECT_EQ(t.Prot.Response, none) << cases[i].name;  // not in use
    }
    const TW_IncidentTimes& apparatus = report.Times.back();
    EXPECT_EQ(apparatus.Prot.Response, 20u);
    EXPECT_EQ(apparatus.Rele.Response, none);
}

TEST_F(Fill, MissingVariablesFailTheWholeCallWithTheirNames) {
    hb.Var("T1", {{0, 5}, {100, 0}});
    struct Case {
        TW_Contour contour;
        std::string message;
    } cases[] = {
        {MakeContour("Нет1"_cp, 5, 0), "Датчик \"Нет1\" не найден в данных"_cp},
        {MakeContour("T1", 5, 0, "Нет2"_cp), "Реле \"Нет2\" не найдено в данных"_cp},
        {MakeContour("T1", 5, 0, nullptr, 1, 0, "Нет3"_cp),
         "Аппарат \"Нет3\" не найден в данных"_cp},
    };
    for (const Case& c : cases) {
        contours.DeleteAll();
        TW_Contour unused = MakeContour("Никто"_cp, 5, 0, "Никто"_cp);
        unused.Used = 0;  // never an error, whatever its names
        contours.Add(unused);
        contours.Add(MakeContour("T1", 5, 0));
        contours.Add(c.contour);
        EXPECT_FALSE(Run());
        EXPECT_EQ(GetIOErrorS_GUI(-2), c.message);
        EXPECT_EQ(report.Count(), 1);  // the rows of the earlier contour stay
    }
}

TEST_F(Fill, NoVariablesLeavesTheReportAlone) {
    report.AddINT(nullptr);
    contours.Add(MakeContour("T1", 5, 0));
    host::LogCapture log;
    EXPECT_FALSE(Run());
    EXPECT_STREQ(GetIOErrorS_GUI(-2), "Нет данных для переменных"_cp);
    EXPECT_EQ(report.Count(), 1);
    EXPECT_EQ(log.lines, std::vector<std::string>{"Формирование отчета..."_cp});
}

// An indicator that asks to abort at the n-th text update.
class AbortingOperation : public HOperation {
  public:
    explicit AbortingOperation(int abortAt) : abortAt_(abortAt) {}
    std::vector<std::string> texts;

  protected:
    void Show() override {
        if (!text_.empty() && (texts.empty() || texts.back() != text_)) {
            texts.push_back(text_);
            if (int(texts.size()) == abortAt_) RequestAbort();
        }
    }

  private:
    int abortAt_;
};

TEST_F(Fill, AbortKeepsTheRowsFoundSoFar) {
    hb.Var("T1", {{0, 5}, {10, 0}, {20, 5}, {30, 0}, {40, 5}, {50, 0}});
    contours.Add(MakeContour("T1", 5, 0));
    contours.Add(MakeContour("T1", 5, 0));
    host::SetIdlePeriodLength(std::chrono::milliseconds(0));
    // Texts: contour 0/2, then one per sensor sample; abort at sample index 4.
    AbortingOperation op(6);
    host::SetOperation(&op);
    const bool ok = Run();
    host::SetOperation(nullptr);
    host::SetIdlePeriodLength(std::chrono::milliseconds(200));
    EXPECT_FALSE(ok);
    EXPECT_EQ(GetIOErrorN(), 1223u);
    EXPECT_EQ(report.Count(), 2);  // excursions closed at 10 and 30
    ASSERT_GE(op.texts.size(), 3u);
    EXPECT_EQ(op.texts[0], std::string("Формирование отчета 0/2..."_cp));
    EXPECT_EQ(op.texts[1], std::string("Рассчет для \"T1\" 0/5..."_cp));
    EXPECT_EQ(op.Text(), "");  // cleared on the way out
    EXPECT_FALSE(op.AbortOffered());
}

// Records each call of the computation to its reporter; polls are always due and
// the n-th look at the abort request finds one (never when n is 0).
class RecordingReporter final : public TW_FillReporter {
  public:
    explicit RecordingReporter(int abortAt) : abortAt_(abortAt) {}
    std::vector<std::string> calls;

    void ShowProgress() override { calls.push_back("show"); }
    void SetProgress(int percent) override {
        calls.push_back("progress " + std::to_string(percent));
    }
    void SetText(const char* text) override {
        calls.push_back(text ? "text " + std::string(text) : "text cleared");
    }
    void OfferAbort(bool allow) override { calls.push_back(allow ? "offer abort" : "withdraw"); }
    bool Aborted() override {
        const bool aborted = ++looks_ == abortAt_;
        calls.push_back(aborted ? "aborted" : "not aborted");
        return aborted;
    }
    bool PollDue() override { return true; }
    bool PollEverySample() const override { return true; }
    void Log(const std::string& line) override { calls.push_back("log " + line); }
    void NoteContourWithoutData(const std::string& sensor) override {
        calls.push_back("without data " + sensor);
    }
    void NoteUnverifiedVerdict() override { calls.push_back("unverified"); }

  private:
    int abortAt_;
    int looks_ = 0;
};

TEST_F(Fill, ReportsThroughTheReporterItIsGivenOnly) {
    hb.Var("T1", {{0, 5}, {100, 0}});
    hb.Var("R", {});  // no sample since the look-back began
    hb.file.LookBackStart = hb.At(-3600);
    hb.file.Spans = {{0, 0}, {2, 2}};
    contours.Add(MakeContour("T1", 5, 60, "R", 1, 0));
    const std::string log = "log ", text = "text ";
    const std::vector<std::string> begin = {"show", log + "Формирование отчета..."_cp,
                                            "offer abort", "progress 0",
                                            text + "Формирование отчета 0/1..."_cp};
    const std::vector<std::string> scan = {
        "not aborted",     log + "Контур \"T1\": нет значений за период у \"R\""_cp,
        "without data T1", "show",
        "progress 0",      text + "Рассчет для \"T1\" 0/1..."_cp};
    const std::vector<std::string> whole = {
        "not aborted",
        "progress 100",
        text + "Рассчет для \"T1\" 1/1..."_cp,
        "not aborted",
        log +
            "Результат не подтвержден данными: датчик \"T1\" 07.12.2026 00:00:00 - "
            "07.12.2026 00:01:40, у \"R\" нет значений с 06.12.2026 23:00:00"_cp,
        "unverified",
        "text cleared"};
    const auto join = [](std::vector<std::string> a, const std::vector<std::string>& b) {
        a.insert(a.end(), b.begin(), b.end());
        return a;
    };
    const std::vector<std::string> end = {"text cleared", "withdraw"};
    const struct {
        int abortAt;
        std::vector<std::string> calls;
    } cases[] = {
        {0, join(join(join(begin, scan), whole), end)},
        {1, join(join(begin, {"aborted"}), end)},
        {2, join(join(join(begin, scan), {"aborted", "text cleared"}), end)},
    };
    for (const auto& c : cases) {
        RecordingReporter reporter(c.abortAt);
        host::LogCapture hostLog;
        host::CurrentRunNotes().Clear();
        EXPECT_EQ(report.Fill(hb.file, contours, reporter), c.abortAt == 0) << c.abortAt;
        EXPECT_EQ(reporter.calls, c.calls) << c.abortAt;
        EXPECT_EQ(report.Count(), c.abortAt == 0 ? 1 : 0) << c.abortAt;
        if (c.abortAt) {
            EXPECT_EQ(GetIOErrorN(), 1223u) << c.abortAt;
        }
        // Nothing went to the host's own log or run notes.
        EXPECT_TRUE(hostLog.lines.empty()) << c.abortAt;
        EXPECT_EQ(host::CurrentRunNotes().UnverifiedVerdicts(), 0) << c.abortAt;
        EXPECT_TRUE(host::CurrentRunNotes().ContoursWithoutData().empty()) << c.abortAt;
    }
}

TEST_F(Fill, AnExcursionAcrossMidnightIsReportedOnceByTheNextDay) {
    // Day 1 ends while the sensor is in its state; day 2's data starts with the
    // last sample before the period, as the host delivers it.
    twtest::HourBuilder day1(kBase), day2(kBase);
    day1.Var("T1", {{80000, 0}, {86000, 5, 3.0}});
    day1.Var("R", {{86100, 1}});
    day2.Var("T1", {{86000, 5, 3.0}, {87000, 5, 8.0}, {90000, 0}});
    day2.Var("R", {{86100, 1}, {88000, 0}});
    contours.Add(MakeContour("T1", 5, 60, "R", 1, 0));
    report.Start = day1.At(0);
    report.End = day1.At(86400);
    ASSERT_TRUE(report.Fill(day1.file, contours));
    EXPECT_EQ(report.Count(), 0);
    report.Start = day1.At(86400);
    report.End = day1.At(2 * 86400);
    ASSERT_TRUE(report.Fill(day2.file, contours));
    ASSERT_EQ(report.Count(), 1);
    EXPECT_EQ(Secs(Row(0).Start), 86000);
    EXPECT_EQ(Secs(Row(0).End), 90000);
    EXPECT_DOUBLE_EQ(Row(0).Value, 8.0);
    EXPECT_EQ(Row(0).ReleResult, 0x12);
}

TEST_F(Fill, ASampleListEndingEarlyClosesAtTheReportEnd) {
    hb.Var("T1", {{86000, 5, 1}});
    // The variable claims one more sample than the list holds.
    hb.file.Variables.ItemINT(0)->last += 1;
    contours.Add(MakeContour("T1", 5, 399));
    contours.Add(MakeContour("T1", 5, 400));  // strictly longer than Interval only
    ASSERT_TRUE(Run());
    ASSERT_EQ(report.Count(), 1);
    EXPECT_EQ(Secs(Row(0).End), 86400);
}

}  // namespace

// Intervals and windows are unsigned 32-bit durations: 2^31 seconds and more
// are long, not negative.
TEST_F(Fill, IntervalsAndWindowsOfTwoToTheThirtyFirstAreLong) {
    hb.Var("T1", {{0, 0}, {100, 5}, {110, 0}, {200, 5}, {260, 0}});
    hb.Var("K1", {{0, 0}, {210, 1}});
    const uint32_t huge = 0x80000000u;
    contours.Add(MakeContour("T1", 5, huge));                      // no excursion is that long
    contours.Add(MakeContour("T1", 5, 30, "K1", 1, huge));         // the relay is in its window
    contours.Add(MakeContour("T1", 5, 30, "K1", 1, 0xFFFFFFFFu));  // and in this one
    ASSERT_TRUE(Run());
    ASSERT_EQ(report.Count(), 2);
    EXPECT_EQ(Row(0).ReleResult, TW_Operated);
    EXPECT_EQ(Row(1).ReleResult, TW_Operated);
    EXPECT_EQ(Secs(Row(0).Start), 200);
}
