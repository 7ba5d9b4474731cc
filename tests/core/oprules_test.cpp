// A job's commands and maintenance windows: read as strictly as its contours.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "common/cp1251.h"
#include "common/lasterror.h"
#include "config/configtree.h"
#include "test_env.h"
#include "tw_oprules.h"

using namespace host::literals;

namespace {

struct Row {
    std::string json;
    std::string problem;  // after "Файл настроек "PATH", "; empty when the job is sound
};

TEST(OperationRules, ReadStrictlyWithTheFirstProblemNamed) {
    const std::string path = twtest::ScratchDir("OperationRules") + "job.json";
    const std::string window = R"({"Variable": "*", "From": "2026-12-06 08:00:00", "To": )";
    const Row rows[] = {
        {R"({})", ""},
        {R"({"Commands": {"Count": 0}, "Maintenance": {"Count": 0}})", ""},
        {R"({"Commands": {"Count": 2, "Item0": {"Line": "Q1", "Variable": "Q1.CMD", "State": 3,
             "Seconds": 5}}})",
         "узел Commands, ключ \"Count\": записано 2, но узла Item1 нет"_cp},
        {R"({"Commands": {"Count": 1, "Item0": {"Line": "Q1", "Variable": "C", "State": 70000}}})",
         "узел Commands/Item0, ключ \"State\": ожидается целое число от 0 до 65535, записано 70000"_cp},
        {R"({"Commands": {"Count": 1, "Item0": {"Line": "Q1", "Variable": "C", "Seconds": -1}}})",
         "узел Commands/Item0, ключ \"Seconds\": ожидается целое число от 0 до 86400, записано -1"_cp},
        {R"({"Commands": {"Count": 1, "Item0": {"Line": "", "Variable": "C"}}})",
         "узел Commands/Item0, ключ \"Line\": ожидается имя переменной"_cp},
        {R"({"Commands": {"Count": 1, "Item0": {"Line": "Q1", "Variable": 5}}})",
         "узел Commands/Item0, ключ \"Variable\": ожидается текст в кавычках, записано 5"_cp},
        {(R"({"Maintenance": {"Count": 1, "Item0": )" + window + R"("2026-12-06 09:00:00"}}})"),
         ""},
        {(R"({"Maintenance": {"Count": 1, "Item0": )" + window + R"("2026-12-06 9:00"}}})"),
         "узел Maintenance/Item0, ключ \"To\": ожидается время ГГГГ-ММ-ДД ЧЧ:ММ:СС, записано "
         "\"2026-12-06 9:00\""_cp},
        {(R"({"Maintenance": {"Count": 1, "Item0": )" + window + R"("2026-12-06 08:00:00"}}})"),
         "узел Maintenance/Item0, ключ \"To\": окно обслуживания должно кончаться позже начала"_cp},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.json);
        std::ofstream(path, std::ios::trunc) << r.json;
        HConfigTree tree;
        ASSERT_TRUE(tree.Load(path.c_str(), true)) << host::Cp1251ToUtf8(GetIOErrorS_GUI(-2));
        TW_OperationRules rules;
        rules.Commands.push_back({});
        const bool ok = TW_LoadOperationRules(*tree.Root(), rules);
        EXPECT_EQ(ok, r.problem.empty());
        if (!ok) {
            EXPECT_EQ(GetIOErrorS_GUI(-2), "Файл настроек \""_cp + path + "\", " + r.problem);
            EXPECT_TRUE(rules.Commands.empty() && rules.Maintenance.empty());
        }
    }
}

TEST(OperationRules, WrittenListsReadBackTheSame) {
    const std::string path = twtest::ScratchDir("OperationRulesRoundTrip") + "job.json";
    TW_OperationRules rules;
    rules.Commands = {{"Q1", "Q1.CMD", 3, 5}, {"Q2", "Q2.CMD", 1, 10}};
    PRTime from, to;
    rules.Maintenance = {{"*", from.Set(2026, 12, 6, 8), to.Set(2026, 12, 6, 9), "Ремонт"_cp}};
    {
        HConfigTree tree;
        TW_SaveOperationRules(*tree.Root(), rules);
        ASSERT_TRUE(tree.SaveAs(path.c_str()));
    }
    HConfigTree tree;
    ASSERT_TRUE(tree.Load(path.c_str(), true));
    TW_OperationRules back;
    ASSERT_TRUE(TW_LoadOperationRules(*tree.Root(), back)) << GetIOErrorS_GUI(-2);
    ASSERT_EQ(back.Commands.size(), 2u);
    EXPECT_EQ(back.Commands[1].Line, "Q2");
    EXPECT_EQ(back.Commands[1].Seconds, 10u);
    ASSERT_EQ(back.Maintenance.size(), 1u);
    EXPECT_EQ(back.Maintenance[0].From, rules.Maintenance[0].From);
    EXPECT_EQ(back.Maintenance[0].To, rules.Maintenance[0].To);
    EXPECT_EQ(back.Maintenance[0].Note, "Ремонт"_cp);
}

}  // namespace
