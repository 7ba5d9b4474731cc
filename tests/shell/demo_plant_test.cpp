#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <set>

#include "common/cp1251.h"
#include "common/lasterror.h"
#include "config/configtree.h"
#include "shell/demo_plant.h"
#include "request/grabvalues.h"
#include "archive/data_home.h"
#include "report_tripwatch.h"

using namespace host::literals;
using twtest::At;

TEST(DemoPlant, MakesConfigurationArchiveJobAndIncidentList) {
    const std::string home = twtest::ScratchDir("demo");
    host::DemoOptions o;
    o.Days = 2;
    o.Seed = 7;
    o.BackgroundVariables = 40;
    o.Today = At(2024, 3, 10, 15);
    host::DemoSummary s;
    ASSERT_TRUE(host::MakeDemoPlant(home.c_str(), o, &WriteJobNode, s)) << GetIOErrorS_GUI(-2);
    EXPECT_EQ(s.FirstDay, "2024-03-08");
    EXPECT_EQ(s.LastDay, "2024-03-09");
    EXPECT_EQ(s.Contours, 32);
    EXPECT_EQ(s.Variables, 32 * 3 + 3 + 40);  // three breakers have a command variable
    EXPECT_TRUE(std::filesystem::exists(home + "Archive/2024-03-08.rta"));
    EXPECT_TRUE(std::filesystem::exists(home + "Archive/2024-03-09.rta"));
    EXPECT_FALSE(std::filesystem::exists(home + "Archive/2024-03-10.rta"));

    // The job holds the contour set in its tree form.
    HConfigTree job;
    ASSERT_TRUE(job.Load((home + "Jobs/Daily.json").c_str(), true));
    EXPECT_EQ(job.Root()->GetInt("Count", 0), 32);
    HConfigItem* item = job.Root()->GetChild("Item0");
    ASSERT_NE(item, nullptr);
    EXPECT_STREQ(item->GetStr("Sensor", ""), "U1.P01.Sensor");
    EXPECT_EQ(item->GetInt("State", 0), 2);
    EXPECT_STREQ(item->GetStr("Rele/Sensor", ""), "U1.P01.Relay");
    EXPECT_EQ(item->GetInt("Rele/State", 0), 1);
    EXPECT_STREQ(item->GetStr("Prot/Sensor", ""), "U1.P01.Breaker");
    EXPECT_STREQ(item->GetStr("StateName", ""), "Перегрев"_cp);
    EXPECT_NE(job.Root()->GetChild("Item31"), nullptr);
    EXPECT_EQ(job.Root()->GetChild("Item32"), nullptr);

    // Every outcome occurs among the planted incidents, and some cross midnight.
    const auto doc = nlohmann::json::parse(twtest::ReadFile(home + "demo-incidents.json"));
    std::set<int> relay, apparatus;
    int crossing = 0;
    for (const auto& i : doc["incidents"]) {
        relay.insert(i["relay"].get<int>());
        apparatus.insert(i["apparatus"].get<int>());
        crossing += i["crossesMidnight"].get<bool>() ? 1 : 0;
    }
    EXPECT_EQ(int(doc["incidents"].size()), s.Incidents);
    EXPECT_EQ(relay, (std::set<int>{0, 0x10, 0x11, 0x12}));
    EXPECT_EQ(apparatus, (std::set<int>{0, 0x10, 0x11, 0x12}));
    EXPECT_GT(crossing, 0);

    // The second day's data: the sensor starts from its state before the day.
    RTPHostContext ctx;
    std::strncpy(ctx.Home, home.c_str(), sizeof ctx.Home - 1);
    ctx.PeriodStart.Set(time_t(At(2024, 3, 9)));
    ctx.PeriodEnd.Set(time_t(At(2024, 3, 10)));
    RTPInfo info{};
    info.Context = &ctx;
    HHourFile file;
    ASSERT_EQ(GrabReportValues("", info, file, ctx.PeriodEnd, 1), nullptr);
    EXPECT_EQ(file.Variables.Count(), s.Variables);
    HHourVarBounds bounds(file);
    const HHourVar* sensor = bounds.LocateVar("U1.P01.Sensor");
    ASSERT_NE(sensor, nullptr);
    ASSERT_LE(sensor->first, sensor->last);
    EXPECT_LT(file.Sample(sensor->first)->Time, ctx.PeriodStart);

    // Same seed and dates: the same files.
    const std::string again = twtest::ScratchDir("demo2");
    ASSERT_TRUE(host::MakeDemoPlant(again.c_str(), o, &WriteJobNode, s));
    EXPECT_EQ(twtest::ReadFile(home + "Archive/2024-03-09.rta"),
              twtest::ReadFile(again + "Archive/2024-03-09.rta"));
    EXPECT_EQ(twtest::ReadFile(home + "demo-incidents.json"),
              twtest::ReadFile(again + "demo-incidents.json"));
}
