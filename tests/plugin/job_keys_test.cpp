// The job's key table as the run and the dialog read it.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "common/cp1251.h"
#include "data/configcheck.h"
#include "data/configtree.h"
#include "job_keys.h"

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
              "Настройки, ключ \"Name\": ожидается имя без знаков / и \\, записано \"../x\""_cp);
}

}  // namespace
