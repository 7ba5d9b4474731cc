// twdump on reports written by the system and on bad files.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <string>

#include "core/core_test_util.h"
#include "tw_file.h"
#include "tw_opsfile.h"

using namespace host::literals;
using namespace tw_test;

namespace {

struct DumpResult {
    int status = -1;
    std::string out, err;
};

// The fields of a contour's relay or protection apparatus in a dump.
struct Apparatus {
    int used;
    const char* sensor;
    int state;
    uint32_t maxTime;
    const char* onName;
    const char* offName;
};

void ExpectApparatus(const nlohmann::json& a, const Apparatus& expected) {
    EXPECT_EQ(a["Used"], expected.used);
    EXPECT_EQ(a["Sensor"], expected.sensor);
    EXPECT_EQ(a["State"], expected.state);
    EXPECT_EQ(a["MaxTime"], expected.maxTime);
    EXPECT_EQ(a["ONName"], expected.onName);
    EXPECT_EQ(a["OFFName"], expected.offName);
}

DumpResult Twdump(const std::string& file, const std::string& dir) {
    const char* bin = std::getenv("TW_BIN_DIR");
    const std::string cmd = "timeout 20 " + std::string(bin ? bin : ".") + "/twdump '" + file +
                            "' >" + dir + "out.txt 2>" + dir + "err.txt";
    DumpResult r;
    const int rc = std::system(cmd.c_str());
    r.status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    r.out = ReadText(dir + "out.txt");
    r.err = ReadText(dir + "err.txt");
    return r;
}

}  // namespace

TEST(Twdump, PrintsEveryMemberOfASavedReport) {
    const std::string dir = ScratchDir("TwdumpFull");
    TW_File f;
    f.Start.Set(2026, 12, 7, 0, 0, 0);
    f.End.Set(2026, 12, 7, 23, 59, 0);
    f.RunTime.Set(2026, 12, 8, 0, 5, 30);
    f.Add(FullLine());
    TW_ContourLine second = FullLine();
    std::memset(second.SensorPlace, 'P', sizeof second.SensorPlace);  // no terminating zero
    second.Value = -0.5;
    f.Add(second);
    f.MakeFileName((dir + "Отчет"_cp).c_str(), nullptr);
    ASSERT_TRUE(f.Save());

    const std::string file = dir + "Отчет 07-12-2026 00_00-23_59.twr";
    const DumpResult r = Twdump(file, dir);
    ASSERT_EQ(r.status, 0) << r.err;
    const auto j = nlohmann::json::parse(r.out);
    EXPECT_EQ(j["File"], file);
    EXPECT_EQ(j["Start"], "2026-12-07 00:00:00");
    EXPECT_EQ(j["End"], "2026-12-07 23:59:00");
    EXPECT_EQ(j["RunTime"], "2026-12-08 00:05:30");
    EXPECT_EQ(j["RecordSize"], 1880);
    EXPECT_EQ(j["Count"], 2);
    ASSERT_EQ(j["Items"].size(), 2u);

    const auto& it = j["Items"][0];
    EXPECT_EQ(it["Start"], "2026-12-07 10:11:12");
    EXPECT_EQ(it["End"], "2026-12-07 13:14:15");
    EXPECT_EQ(it["ObjectName"], "Котел 1");
    EXPECT_EQ(it["Value"], 1234.5678);
    EXPECT_EQ(it["SensorPlace"], "Топка");
    EXPECT_EQ(it["ProtObjectName"], "<не задан>");
    EXPECT_EQ(it["ReleResult"], 0x11);
    EXPECT_EQ(it["ProtResult"], 0x10);
    const auto& c = it["Contour"];
    EXPECT_EQ(c["Used"], 1);
    EXPECT_EQ(c["Sensor"], "TT101.PV");
    EXPECT_EQ(c["Interval"], 0x11223344);
    EXPECT_EQ(c["State"], 0xA1B2);
    EXPECT_EQ(c["StateName"], "Превышение температуры");
    EXPECT_EQ(c["Limit"], "> 120 °C");
    EXPECT_EQ(c["ValueType"], 1);
    ExpectApparatus(c["Rele"],
                    {2, "RL7.OUT", 0x0C0D, 0x55667788, "Реле сработало", "Реле не сработало"});
    ExpectApparatus(c["Prot"], {3, "Q5.POS", 0x0E0F, 0x99AABBCCu, "Выключатель отключен",
                                "Выключатель не отключен"});

    EXPECT_EQ(j["Items"][1]["SensorPlace"], std::string(50, 'P'));
    EXPECT_EQ(j["Items"][1]["Value"], -0.5);
}

TEST(Twdump, BadFilesGiveTheMessageAndExitCode1) {
    const std::string dir = ScratchDir("TwdumpBad");
    WriteText(dir + "magic.twr", std::string(48, 'x'));
    DumpResult r = Twdump(dir + "magic.twr", dir);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "twdump: Неверный формат файла!\n");
    EXPECT_TRUE(r.out.empty());

    Bytes header(48, 0);
    Put32(header, 0, 0x01575754);
    Put32(header, 4, 1881);
    WriteBytes(dir + "size.twr", header);
    r = Twdump(dir + "size.twr", dir);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "twdump: Неверный формат записи файла!\n");

    ASSERT_EQ(::mkfifo((dir + "fifo.twr").c_str(), 0600), 0);  // never waits for a writer
    r = Twdump(dir + "fifo.twr", dir);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "twdump: Не является обычным файлом!\n");

    r = Twdump(dir + "missing.twr", dir);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("No such file or directory"), std::string::npos) << r.err;
}

// Times beside a report: every item ends with them and the header names the
// file; without them, or with a times file that cannot be used, the output is
// byte for byte that of a report without times, and the reason goes to stderr.
TEST(Twdump, ShowsTheTimesAndOtherwisePrintsAsBefore) {
    const std::string dir = ScratchDir("TwdumpTimes");
    TW_File f;
    f.Start.Set(2026, 12, 7, 0, 0, 0);
    f.End.Set(2026, 12, 8, 0, 0, 0);
    f.Add(FullLine());
    f.Add(FullLine());
    f.FileName.Set((dir + "day.twr").c_str());
    ASSERT_TRUE(f.Save());
    const DumpResult plain = Twdump(dir + "day.twr", dir);
    ASSERT_EQ(plain.status, 0) << plain.err;
    EXPECT_EQ(plain.out.find("Times\""), std::string::npos);

    f.Times = {{{7, TW_NoTime}, {TW_NoTime, TW_NoTime}}, {{0, 12}, {25, TW_NoTime}}};
    ASSERT_TRUE(f.SaveTimes());
    const DumpResult timed = Twdump(dir + "day.twr", dir);
    ASSERT_EQ(timed.status, 0) << timed.err;
    EXPECT_EQ(timed.err, "");
    auto j = nlohmann::ordered_json::parse(timed.out);
    EXPECT_EQ(j["TimesFile"], "day.twt");
    EXPECT_EQ(j["Items"][0]["Times"].dump(),
              R"({"Rele":{"Response":7,"Held":null},"Prot":{"Response":null,"Held":null}})");
    EXPECT_EQ(j["Items"][1]["Times"].dump(),
              R"({"Rele":{"Response":0,"Held":12},"Prot":{"Response":25,"Held":null}})");
    // Everything else as it was.
    j.erase("TimesFile");
    for (auto& item : j["Items"])
        item.erase("Times");
    EXPECT_EQ(j, nlohmann::ordered_json::parse(plain.out));

    f.Times.pop_back();
    f.Times.push_back({});
    f.Times.push_back({});  // three entries for two items
    ASSERT_TRUE(TW_WriteTimesFile((dir + "day.twt").c_str(), f, f.Times));
    const DumpResult refused = Twdump(dir + "day.twr", dir);
    EXPECT_EQ(refused.status, 0);
    EXPECT_EQ(refused.out, plain.out);
    EXPECT_EQ(refused.err,
              "twdump: times file not used: " + dir +
                  "day.twt: Файл времен срабатывания не относится к отчету: в нем 3 инцидентов "
                  "за 07.12.2026 00:00:00 - 08.12.2026 00:00:00 (расчет 00.00.0000 00:00:00), в "
                  "отчете 2 за 07.12.2026 00:00:00 - 08.12.2026 00:00:00 (расчет 00.00.0000 "
                  "00:00:00)\n");
}

TEST(Twdump, ShowsTheOperationsBesideAReportOrAlone) {
    const std::string dir = ScratchDir("TwdumpOperations");
    TW_File f;
    f.Start.Set(2026, 12, 7, 0, 0, 0);
    f.End.Set(2026, 12, 8, 0, 0, 0);
    f.Add(FullLine());
    f.FileName.Set((dir + "day.twr").c_str());
    ASSERT_TRUE(f.Save());
    const std::string plain = Twdump(dir + "day.twr", dir).out;
    TW_Operation op = MakeOperation("Q1", TW_RoleApparatus, TW_OpUnexplained, "Датчик"_cp,
                                    PRTime().Set(2026, 12, 7, 3, 12, 44));
    op.State = 2;
    op.SensorState = 7;
    const std::string expected =
        R"([{"Variable":"Q1","Role":"apparatus","State":2,"Class":"unexplained",)"
        R"("Time":"2026-12-07 03:12:44","IncidentStart":null,"Incident":null,"Sensor":"Датчик",)"
        R"("SensorState":7}])";
    struct Row {
        PRTime runTime;
        const char* file;  // dumped
        std::string err;
    };
    PRTime other;
    other.Set(2026, 12, 8, 0, 5, 0);
    const Row rows[] = {
        {f.RunTime, "day.twr", ""},
        {other, "day.twr",
         "twdump: operations file not used: " + dir +
             "day.two: made by another run (2026-12-08 00:05:00)\n"},
        {other, "day.two", ""},
    };
    for (const Row& r : rows) {
        ASSERT_TRUE(TW_WriteOpsFile((dir + "day.two").c_str(), f.Start, f.End, r.runTime, {op}));
        const DumpResult d = Twdump(dir + r.file, dir);
        ASSERT_EQ(d.status, 0) << d.err;
        EXPECT_EQ(d.err, r.err);
        auto j = nlohmann::ordered_json::parse(d.out);
        if (!r.err.empty()) {
            EXPECT_EQ(d.out, plain);
            continue;
        }
        EXPECT_EQ(j["Operations"].dump(), expected);
        if (std::string(r.file) == "day.two") {
            EXPECT_EQ(j["Count"], 1);
            EXPECT_EQ(j["RunTime"], "2026-12-08 00:05:00");
            continue;
        }
        EXPECT_EQ(j["OperationsFile"], "day.two");
        j.erase("OperationsFile");
        j.erase("Operations");
        EXPECT_EQ(j, nlohmann::ordered_json::parse(plain));
    }
    WriteBytes(dir + "bad.two", "TWRO", 4);
    const DumpResult bad = Twdump(dir + "bad.two", dir);
    EXPECT_EQ(bad.status, 1);
    EXPECT_EQ(bad.err, "twdump: Файл срабатываний поврежден или обрезан!\n");
}
