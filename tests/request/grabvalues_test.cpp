#include <gtest/gtest.h>

#include <cstring>

#include "common/cp1251.h"
#include "common/lasterror.h"
#include "archive/archive_backends.h"
#include "request/grabvalues.h"
#include "archive/data_home.h"

using namespace host::literals;
using host::archive::Sample;
using twtest::At;

namespace {

struct ReportRun {
    RTPHostContext ctx;
    RTPInfo info{};
    ReportRun(const std::string& home, int64_t start, int64_t end) {
        StrCopy(home);
        ctx.PeriodStart.Set(time_t(start));
        ctx.PeriodEnd.Set(time_t(end));
        info.Size = sizeof(RTPInfo);
        info.Context = &ctx;
    }
    void StrCopy(const std::string& home) {
        std::strncpy(ctx.Home, home.c_str(), sizeof ctx.Home - 1);
    }
};

// (time, state, value) of a variable's samples in the hour file.
std::vector<Sample> SamplesOf(const HHourFile& file, const char* name) {
    HHourVarBounds bounds(file);
    const HHourVar* v = bounds.LocateVar(name);
    EXPECT_NE(v, nullptr) << name;
    std::vector<Sample> out;
    if (!v) return out;
    for (int i = v->first; i <= v->last; ++i) {
        const HHourSample* s = file.Sample(i);
        out.push_back({int64_t(s->Time.GetTT()), s->State, s->Value});
    }
    return out;
}

// A home with a configuration from 2024-03-01 (T1, R1, P1, Idle) and one from
// 2024-03-03 10:00 (T1, New); samples on 1, 2 and 3 March.
std::string MakeHome(const char* name, const twtest::ArchiveBackend& backend) {
    const std::string home = twtest::ScratchDir(backend.Name + "-" + name);
    backend.Prepare(home, std::string("grab_") + name);
    twtest::WriteConfig(home, "a.rtdb", 0x11, PRTime().Set(2024, 3, 1), {"T1", "R1", "P1", "Idle"});
    twtest::WriteConfig(home, "b.rtdb", 0x22, PRTime().Set(2024, 3, 3, 10), {"T1", "New"});
    twtest::StoreSamples(home,
                         {{"T1",
                           {{At(2024, 3, 1, 8), 0, 1.0},
                            {At(2024, 3, 1, 23, 59, 59), 1, 2.0},
                            {At(2024, 3, 2, 0, 0, 0), 2, 3.0},
                            {At(2024, 3, 2, 12), 1, 4.0},
                            {At(2024, 3, 2, 23, 59, 59), 0, 5.0},
                            {At(2024, 3, 3, 0, 0, 0), 1, 6.0},
                            {At(2024, 3, 3, 0, 0, 1), 0, 7.0}}},
                          {"R1", {{At(2024, 3, 1, 9), 1, 10.0}}},
                          {"P1", {{At(2024, 3, 2, 6), 2, 20.0}, {At(2024, 3, 2, 7), 3, 21.0}}},
                          {"New", {{At(2024, 3, 2, 6), 1, 30.0}}},
                          {"Stray", {{At(2024, 3, 2, 6), 1, 40.0}}}});
    return home;
}

// The cases every archive must answer alike.
class GrabReportValuesOn : public testing::TestWithParam<twtest::ArchiveBackend> {
  protected:
    std::string MakeHome(const char* name) { return ::MakeHome(name, GetParam()); }
};

}  // namespace

INSTANTIATE_TEST_SUITE_P(Archives, GrabReportValuesOn, testing::ValuesIn(twtest::ArchiveBackends()),
                         [](const auto& info) { return info.param.Name; });

TEST_P(GrabReportValuesOn, LookBackAndPeriodSamplesInOrderAfterTheLastEarlierSample) {
    const std::string home = MakeHome("period");
    ReportRun run(home, At(2024, 3, 2), At(2024, 3, 3));
    HHourFile file;
    ASSERT_EQ(GrabReportValues("", run.info, file, PRTime().Set(2024, 3, 2), 1), nullptr)
        << GetIOErrorS_GUI(-2);
    EXPECT_EQ(file.PeriodStart, run.ctx.PeriodStart);
    EXPECT_EQ(file.PeriodEnd, run.ctx.PeriodEnd);

    // The look-back's day, then the period; a sample at the period's end is the
    // next period's.
    EXPECT_EQ(SamplesOf(file, "T1"), (std::vector<Sample>{{At(2024, 3, 1, 8), 0, 1.0},
                                                          {At(2024, 3, 1, 23, 59, 59), 1, 2.0},
                                                          {At(2024, 3, 2), 2, 3.0},
                                                          {At(2024, 3, 2, 12), 1, 4.0},
                                                          {At(2024, 3, 2, 23, 59, 59), 0, 5.0}}));
    EXPECT_EQ(file.LookBackStart, PRTime().Set(2024, 3, 1));
    EXPECT_EQ(SamplesOf(file, "R1"), (std::vector<Sample>{{At(2024, 3, 1, 9), 1, 10.0}}));
    EXPECT_EQ(SamplesOf(file, "P1"),
              (std::vector<Sample>{{At(2024, 3, 2, 6), 2, 20.0}, {At(2024, 3, 2, 7), 3, 21.0}}));

    // Every configuration variable has an entry, in configuration order; one
    // without samples has first > last; archive-only names have none.
    ASSERT_EQ(file.Variables.Count(), 4);
    EXPECT_STREQ(file.Variable(0)->Name, "T1");
    EXPECT_STREQ(file.Variable(3)->Name, "Idle");
    EXPECT_GT(file.Variable(3)->first, file.Variable(3)->last);
    // Only T1 and P1 have samples in the period; the spans tell where the
    // look-back's and the period's samples begin.
    HHourVarBounds bounds(file);
    EXPECT_EQ(bounds.Count(), 2);
    const HHourVar& first = *file.Variable(0);
    EXPECT_EQ(file.LookBackFirst(first), first.first);
    EXPECT_EQ(file.PeriodFirst(first), first.first + 2);
    EXPECT_FALSE(file.HasPeriodData(*file.Variable(1)));
    EXPECT_EQ(bounds.LocateVar("Stray"), nullptr);
    EXPECT_EQ(bounds.LocateVar("New"), nullptr);
    // Entries cover the sample list without gaps or overlaps.
    int next = 0;
    for (int v = 0; v < file.Variables.Count(); ++v) {
        EXPECT_EQ(file.Variable(v)->first, next);
        next = file.Variable(v)->last + 1;
    }
    EXPECT_EQ(next, file.Samples.Count());
    EXPECT_EQ(file.Sample(next), nullptr);

    // Names: the descriptor's indexes into the configuration's lists.
    const HHourVar* t1 = bounds.LocateVar("T1");
    EXPECT_STREQ(file.ObjectName(t1->Descriptor.ObjectIndex), "Блок 1"_cp);
    EXPECT_STREQ(file.PlaceName(t1->Descriptor.PlaceIndex), "Щит"_cp);
    EXPECT_EQ(file.ObjectNames.ItemINT(0)->Prefix, 6);
    const HHourVar* r1 = bounds.LocateVar("R1");
    EXPECT_STREQ(file.ObjectName(r1->Descriptor.ObjectIndex), "Блок 2"_cp);
    EXPECT_EQ(r1->Descriptor.PlaceIndex, kDBNoIndex);
    EXPECT_EQ(file.PlaceName(r1->Descriptor.PlaceIndex), nullptr);

    // The configuration's state tables are now the current ones.
    EXPECT_NE(DBIsErrorState(0, 3), 0);
    ASSERT_NE(host::GrabbedConfig(), nullptr);
    EXPECT_EQ(host::GrabbedConfig()->ConfigId, 0x11u);
}

TEST_P(GrabReportValuesOn, WithoutLookBackAPeriodInsideADayTakesTheEarlierSampleOfThatDay) {
    const std::string home = MakeHome("inside");
    ReportRun run(home, At(2024, 3, 2, 6, 30), At(2024, 3, 2, 12));
    run.ctx.LookBack = 0;
    HHourFile file;
    ASSERT_EQ(GrabReportValues("", run.info, file, PRTime().Set(2024, 3, 2), 1), nullptr);
    EXPECT_EQ(SamplesOf(file, "T1"), (std::vector<Sample>{{At(2024, 3, 2), 2, 3.0}}));
    EXPECT_EQ(SamplesOf(file, "P1"),
              (std::vector<Sample>{{At(2024, 3, 2, 6), 2, 20.0}, {At(2024, 3, 2, 7), 3, 21.0}}));
    HHourVarBounds bounds(file);
    EXPECT_EQ(bounds.Count(), 1);  // P1 at 07:00
    // Only the wanted variables are read, and only they get entries.
    file.Wanted = {"P1", "Stray"};
    ASSERT_EQ(GrabReportValues("", run.info, file, PRTime().Set(2024, 3, 2), 1), nullptr);
    EXPECT_EQ(file.Variables.Count(), 1);
    EXPECT_EQ(HHourVarBounds(file).LocateVar("T1"), nullptr);
    EXPECT_EQ(SamplesOf(file, "P1"),
              (std::vector<Sample>{{At(2024, 3, 2, 6), 2, 20.0}, {At(2024, 3, 2, 7), 3, 21.0}}));
}

TEST_P(GrabReportValuesOn, ConfigurationIsTheNewestNotLaterThanTheMoment) {
    const std::string home = MakeHome("config");
    ReportRun run(home, At(2024, 3, 2), At(2024, 3, 3));
    HHourFile file;
    ASSERT_EQ(GrabReportValues("", run.info, file, PRTime().Set(2024, 3, 3, 10), 1), nullptr);
    ASSERT_EQ(file.Variables.Count(), 2);
    EXPECT_STREQ(file.Variable(1)->Name, "New");
    EXPECT_EQ(SamplesOf(file, "New"), (std::vector<Sample>{{At(2024, 3, 2, 6), 1, 30.0}}));
    EXPECT_EQ(host::GrabbedConfig()->ConfigId, 0x22u);
    // The same file again, then rewritten under its name: the next run reads
    // what the file holds now, not the configuration of the run before.
    ASSERT_EQ(GrabReportValues("", run.info, file, PRTime().Set(2024, 3, 3, 10), 1), nullptr);
    EXPECT_EQ(file.Variables.Count(), 2);
    twtest::WriteConfig(home, "b.rtdb", 0x23, PRTime().Set(2024, 3, 3, 10), {"T1", "New", "P1"});
    ASSERT_EQ(GrabReportValues("", run.info, file, PRTime().Set(2024, 3, 3, 10), 1), nullptr);
    EXPECT_EQ(file.Variables.Count(), 3);
    EXPECT_EQ(host::GrabbedConfig()->ConfigId, 0x23u);

    ASSERT_EQ(GrabReportValues("", run.info, file, PRTime().Set(2024, 3, 3, 9, 59, 59), 1),
              nullptr);
    EXPECT_EQ(file.Variables.Count(), 4);

    const char* error = GrabReportValues("", run.info, file, PRTime().Set(2024, 2, 29), 1);
    ASSERT_NE(error, nullptr);
    EXPECT_EQ(std::string(error),
              "Нет конфигурации на 29.02.2024 00:00:00 в папке \""_cp + home + "Config/\"");
    EXPECT_EQ(file.Variables.Count(), 0);
    EXPECT_STREQ(GetIOErrorS_GUI(-2), error);
}

TEST(GrabReportValues, MissingContextArchiveOrConfigurationGiveClearErrors) {
    HHourFile file;
    RTPInfo bare{};
    EXPECT_STREQ(GrabReportValues("", bare, file, PRTime::Now(), 1),
                 "Не задан контекст отчета: домашняя папка и период"_cp);

    const std::string home = twtest::ScratchDir("missing");
    ReportRun run(home, At(2024, 3, 2), At(2024, 3, 3));
    EXPECT_EQ(std::string(GrabReportValues("", run.info, file, PRTime().Set(2024, 3, 2), 1)),
              "Папка конфигураций не найдена: \""_cp + home + "Config/\"");
    twtest::WriteConfig(home, "a.rtdb", 1, PRTime().Set(2024, 3, 1), {"T1"});
    // A configuration named in cp1251 would be left out: it is named instead.
    std::filesystem::copy_file(home + "Config/a.rtdb", home + "Config/\xEA.rtdb");
    EXPECT_EQ(std::string(GrabReportValues("", run.info, file, PRTime().Set(2024, 3, 2), 1)),
              "Конфигурация \""_cp + home +
                  "Config/\\xEA.rtdb\": имя файла не в UTF-8 или с буквами вне Windows-1251"_cp);
    std::filesystem::remove(home + "Config/\xEA.rtdb");
    EXPECT_EQ(std::string(GrabReportValues("", run.info, file, PRTime().Set(2024, 3, 2), 1)),
              "Архив не найден: \""_cp + home + "Archive/\"");
    std::filesystem::create_directories(home + "Archive");
    EXPECT_EQ(std::string(GrabReportValues("", run.info, file, PRTime().Set(2024, 3, 2), 1)),
              "Архив пуст: \""_cp + home + "Archive/\"");
    twtest::WriteFile(home + "Archive/2024-03-02.rta", "RTHA broken");
    EXPECT_EQ(std::string(GrabReportValues("", run.info, file, PRTime().Set(2024, 3, 2), 1)),
              "Файл архива \""_cp + home +
                  "Archive/2024-03-02.rta\" поврежден: файл короче заголовка"_cp);
    twtest::WriteFile(home + "Archive/ZONE", host::archive::ZoneFileText({"Asia/Tokyo", 1}));
    EXPECT_EQ(std::string(GrabReportValues("", run.info, file, PRTime().Set(2024, 3, 2), 1)),
              "Архив \""_cp + home +
                  "Archive/\" записан в часовом поясе Asia/Tokyo, а программа работает в поясе "
                  "Europe/Moscow: запустите ее с TZ=Asia/Tokyo"_cp);

    ReportRun reversed(home, At(2024, 3, 3), At(2024, 3, 2));
    EXPECT_STREQ(GrabReportValues("", reversed.info, file, PRTime().Set(2024, 3, 2), 1),
                 "Неверный период отчета: 03.03.2024 00:00:00 - 02.03.2024 00:00:00"_cp);
}

TEST_P(GrabReportValuesOn, FlagTwoKeepsTheValuesAsCsv) {
    const std::string home = MakeHome("keep");
    const std::string values = home + "Values/";
    ReportRun run(home, At(2024, 3, 2, 6, 30), At(2024, 3, 2, 12));
    HHourFile file;
    ASSERT_EQ(GrabReportValues(values.c_str(), run.info, file, PRTime().Set(2024, 3, 2), 3),
              nullptr);
    EXPECT_EQ(twtest::ReadFile(values + "values_20240302_063000-20240302_120000.csv"),
              "variable,time,state,value\n"
              "T1,2024-03-02 00:00:00,2,3\n"
              "R1,2024-03-01 09:00:00,1,10\n"
              "P1,2024-03-02 06:00:00,2,20\n"
              "P1,2024-03-02 07:00:00,3,21\n");
    // Without the flag nothing more is written.
    std::filesystem::remove_all(values);
    ASSERT_EQ(GrabReportValues(values.c_str(), run.info, file, PRTime().Set(2024, 3, 2), 1),
              nullptr);
    EXPECT_FALSE(std::filesystem::exists(values));
}
