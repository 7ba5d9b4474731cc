// The job's key table as the run and the dialog read it, and the job writer
// that a host hands a plain description of a job.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <utility>

#include "common/cp1251.h"
#include "common/lasterror.h"
#include "config/configcheck.h"
#include "config/configtree.h"
#include "job_keys.h"
#include "report_tripwatch.h"
#include "tw_contourarray.h"

using namespace host::literals;
using tripplug::JobDefault;
using tripplug::JobKey;
using tripplug::JobKeyEntry;
using tripplug::JobReader;
using tripplug::JobSide;

namespace {

constexpr double kMoment = 46362.75;  // 2026-12-06 18:00
constexpr int32_t kWidth = 77;

// What a side reads for `entry` from `node`, as text; the check gets what it finds.
std::string Read(HConfigItem& node, HConfigCheck& check, JobSide side, const JobKeyEntry& entry) {
    JobReader keys(node, check, side);
    switch (entry.type) {
        case JobKeyEntry::Flag:
            return keys.Flag(entry.key) ? "true" : "false";
        case JobKeyEntry::Text:
            return keys.Text(entry.key);
        case JobKeyEntry::Date:
            return std::to_string(keys.Date(entry.key, kMoment));
        case JobKeyEntry::Integer:
            return std::to_string(keys.ColumnWidth(2, kWidth));
    }
    return "";
}

std::string DefaultOf(const JobKeyEntry& entry, JobSide side) {
    const JobDefault& d =
        side == JobSide::Run || entry.dialog.kind == JobDefault::NotRead ? entry.run : entry.dialog;
    switch (d.kind) {
        case JobDefault::Fixed:
            return entry.type == JobKeyEntry::Flag ? (d.flag ? "true" : "false") : d.text;
        case JobDefault::Moment:
            return std::to_string(kMoment);
        case JobDefault::Current:
            return std::to_string(kWidth);
        case JobDefault::NotRead:
            break;
    }
    return "";
}

// Every key on each side that reads it: a missing key gives that side's
// default, a written value reads back, and a value of another type or out of
// range gives the default and names the key.
TEST(JobKeys, EveryKeyReadsItsDefaultItsValueAndRefusesAWrongOne) {
    for (const JobKeyEntry& entry : tripplug::JobKeys()) {
        for (JobSide side : {JobSide::Run, JobSide::Dialog}) {
            if (side == JobSide::Run && entry.run.kind == JobDefault::NotRead) continue;
            const std::string name = tripplug::JobKeyName(entry.key, 2);
            SCOPED_TRACE(name + (side == JobSide::Run ? " (run)" : " (dialog)"));
            HConfigTree tree;
            HConfigItem& node = *tree.Root();
            HConfigCheck check;
            EXPECT_EQ(Read(node, check, side, entry), DefaultOf(entry, side));

            std::string written;
            switch (entry.type) {
                case JobKeyEntry::Flag:
                    written = DefaultOf(entry, side) == "true" ? "false" : "true";
                    tripplug::WriteFlag(node, entry.key, written == "true");
                    break;
                case JobKeyEntry::Text:
                    written = "Другой"_cp;
                    tripplug::WriteText(node, entry.key, written.c_str());
                    break;
                case JobKeyEntry::Date:
                    written = std::to_string(0.25);
                    tripplug::WriteDate(node, entry.key, 0.25);
                    break;
                case JobKeyEntry::Integer:
                    written = std::to_string(entry.min);
                    tripplug::WriteColumnWidth(node, 2, int32_t(entry.min));
                    break;
            }
            EXPECT_EQ(Read(node, check, side, entry), written);
            EXPECT_TRUE(check.Ok()) << check.Problem();

            if (entry.type == JobKeyEntry::Text)
                node.SetInt(name.c_str(), 5);
            else if (entry.type == JobKeyEntry::Integer)
                node.SetDWord(name.c_str(), uint32_t(entry.max) + 1);
            else
                node.SetStr(name.c_str(), "1");
            EXPECT_EQ(Read(node, check, side, entry), DefaultOf(entry, side));
            EXPECT_NE(check.Problem().find("ключ \""_cp + name + "\""), std::string::npos)
                << check.Problem();
        }
    }
}

TEST(JobKeys, OnlyTheRunRefusesANameThatLeadsOutOfItsFolder) {
    HConfigTree tree;
    tripplug::WriteText(*tree.Root(), JobKey::Name, "../x");
    const JobKeyEntry& name = tripplug::Entry(JobKey::Name);
    HConfigCheck dialog;
    EXPECT_EQ(Read(*tree.Root(), dialog, JobSide::Dialog, name), "../x");
    EXPECT_TRUE(dialog.Ok());
    HConfigCheck run;
    EXPECT_EQ(Read(*tree.Root(), run, JobSide::Run, name), "Report");
    EXPECT_EQ(run.Problem(),
              "Настройки, ключ \"Name\": ожидается имя без знаков / и \\ и управляющих символов, "
              "записано \"../x\""_cp);
}

RTPJobFlag Given(bool v) {
    return {1, uint8_t(v)};
}

// A job with every setting given, each flag the opposite of the dialog's
// default and each text its own, and two contours.
struct FullJob {
    FullJob() {
        RTPJobSettings& s = job.Settings;
        s = {"Name",       Given(false), "CfgFile",    Given(false), {1, 2.5},    {1, 3.5},
             Given(false), "ValPath",    Given(false), "ReportDir",  Given(true), "TXTDir",
             Given(true),  "XLSDir",     "XLSTempl",   Given(true),  Given(true), Given(false)};
        contours[0] = {1,
                       "S1",
                       4294967295u,
                       65535,
                       "Событие"_cp,
                       "> 1",
                       1,
                       {1, "R1", 7, 0, "Да"_cp, "Нет"_cp},
                       {0, "P1", 8, 30, nullptr, "-"}};
        contours[1] = {};
        job.Size = int32_t(sizeof job);
        job.ContourCount = 2;
        job.Contours = contours;
    }
    RTPJob job{};
    RTPJobContour contours[2];
};

TEST(WriteJobNode, WritesTheGivenSettingsInTableOrderThenTheContours) {
    FullJob full;
    HConfigTree tree;
    ASSERT_TRUE(WriteJobNode(tree.Root(), &full.job)) << GetIOErrorS_GUI(-2);
    // Each setting reads back as given (a text holds its key's name).
    HConfigCheck check;
    const std::string dump = tree.Dump();
    std::size_t at = 0;
    for (const JobKeyEntry& entry : tripplug::JobKeys()) {
        if (entry.key == JobKey::Sec) continue;
        SCOPED_TRACE(entry.name);
        const std::string value = Read(*tree.Root(), check, JobSide::Dialog, entry);
        if (entry.type == JobKeyEntry::Text) {
            EXPECT_EQ(value, entry.name);
        } else if (entry.type == JobKeyEntry::Flag) {
            EXPECT_NE(value, DefaultOf(entry, JobSide::Dialog));
        }
        const std::size_t next = dump.find("\"" + std::string(entry.name) + "\"");
        EXPECT_TRUE(next != std::string::npos && next > at);
        at = next;
    }
    EXPECT_TRUE(check.Ok()) << check.Problem();
    EXPECT_EQ(tree.Root()->GetDate("CfgDate", 0), 2.5);
    EXPECT_EQ(tree.Root()->GetDate("CfgTime", 0), 3.5);
    EXPECT_GT(dump.find("\"Count\""), at);

    TW_ContourArray back;
    ASSERT_TRUE(back.Load(tree.Root()));
    ASSERT_EQ(back.Count(), 2);
    TW_Contour c{};
    c.Used = 1, c.Interval = 4294967295u, c.State = 65535, c.ValueType = 1;
    std::strcpy(c.Sensor, "S1");
    std::strcpy(c.StateName, "Событие"_cp);
    std::strcpy(c.Limit, "> 1");
    c.Rele.Used = 1, c.Rele.State = 7;
    std::strcpy(c.Rele.Sensor, "R1");
    std::strcpy(c.Rele.ONName, "Да"_cp);
    std::strcpy(c.Rele.OFFName, "Нет"_cp);
    c.Prot.State = 8, c.Prot.MaxTime = 30;
    std::strcpy(c.Prot.Sensor, "P1");
    std::strcpy(c.Prot.OFFName, "-");
    EXPECT_EQ(std::memcmp(back.ItemINT(0), &c, sizeof c), 0);
    TW_Contour empty{};
    EXPECT_EQ(std::memcmp(back.ItemINT(1), &empty, sizeof empty), 0);

    // Nothing given: no setting, only the contour set.
    RTPJob bare{};
    bare.Size = int32_t(sizeof bare);
    HConfigTree none;
    ASSERT_TRUE(WriteJobNode(none.Root(), &bare));
    EXPECT_EQ(none.Root()->Peek("Count").integer, 0);
    for (const JobKeyEntry& entry : tripplug::JobKeys())
        EXPECT_EQ(none.Root()->Peek(tripplug::JobKeyName(entry.key).c_str()).kind,
                  HConfigValue::Absent)
            << entry.name;
}

TEST(WriteJobNode, RefusesADescriptionItCannotStoreAndWritesNothing) {
    static const std::string sensor51(51, 'S'), text251(251, 'T');
    const std::pair<void (*)(FullJob&), std::string> rows[] = {
        {[](FullJob& f) { f.job.Size -= 1; }, "Описание задания не того размера: "_cp},
        {[](FullJob& f) { f.job.Contours = nullptr; },
         "Описание задания: 2 контуров без списка"_cp},
        {[](FullJob& f) { f.contours[1].Sensor = sensor51.c_str(); },
         "Контур 1: имя датчика длиннее 50 знаков"_cp},
        {[](FullJob& f) { f.contours[0].Prot.OFFName = text251.c_str(); },
         "Контур 0: текст несработки длиннее 250 знаков"_cp},
    };
    for (const auto& [change, error] : rows) {
        FullJob full;
        change(full);
        HConfigTree tree;
        EXPECT_FALSE(WriteJobNode(tree.Root(), &full.job)) << error;
        EXPECT_EQ(std::string(GetIOErrorS_GUI(-2)).rfind(error, 0), 0u) << GetIOErrorS_GUI(-2);
        EXPECT_EQ(tree.Dump().find('"'), std::string::npos) << error;
    }
}

}  // namespace
