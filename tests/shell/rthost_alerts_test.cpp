// The alerts of `rthost run` over a demo plant, against an HTTP and an SMTP
// receiver that the test starts: what goes out, once, what does not, a failed
// delivery and its retry, `rthost notify-test`, and a wrong "Notify" node.
#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <regex>
#include <sstream>
#include <string>

#include "alert_sinks.h"
#include "data_files.h"
#include "shell_output.h"
#include "test_env.h"

namespace {

using nlohmann::json;
using twtest::AlertSink;
using twtest::Bin;
using twtest::ReadText;

struct Result {
    int code;
    std::string out;
};

class Alerts : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(twtest::ExitCode(Bin("rthost") + " demo " + home +
                                   " --days 2 --end 2026-03-03 --background 10 >/dev/null"),
                  0);
        ASSERT_NE(hook.Port(), 0);
        ASSERT_NE(mail.Port(), 0);
        job = json::parse(ReadText(home + "Jobs/Daily.json"));
        job["Notify"] = {{"Webhook", hook.Url()},
                         {"Mail",
                          {{"To", "shift@plant.example, chief@plant.example"},
                           {"From", "tripwatch@plant.example"},
                           {"Smtp", mail.Url()}}}};
        SaveJob("Daily", job);
    }
    void SaveJob(const std::string& name, const json& j) {
        twtest::WriteFile(home + "Jobs/" + name + ".json", j.dump(2));
    }
    Result Rthost(const std::string& args) {
        const std::string out = home + "out.txt";
        const int code = twtest::ExitCode(Bin("rthost") + " " + args + " >" + out + " 2>&1");
        return {code, ReadText(out)};
    }
    Result RunDay(const char* day, const char* jobName = "Daily") {
        return Rthost("run " + home + " --job " + jobName + " --from " + day + " --to " + day);
    }
    // The report's items and operations as twdump shows them.
    json Dump(const char* ddmmyyyy) {
        return json::parse(twtest::Shell(Bin("twdump") + " '" + home + "Reports/Daily " + ddmmyyyy +
                                         " 00_00-00_00.twr'"));
    }

    const std::string home = twtest::ScratchDir("home");
    AlertSink hook{"http", twtest::ScratchDir("hook")};
    AlertSink mail{"smtp", twtest::ScratchDir("mail")};
    json job;
};

// The lines of `text` after the line `head`, up to an empty or less indented one,
// without `indent`.
std::string LinesAfter(const std::string& text, const std::string& head,
                       const std::string& indent) {
    std::string lines;
    const std::size_t at = text.find(head);
    if (at == std::string::npos) return "none";
    std::istringstream in(text.substr(at + head.size()));
    for (std::string line; std::getline(in, line) && line.rfind(indent, 0) == 0;) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines += line.substr(indent.size()) + "\n";
    }
    return lines;
}

TEST_F(Alerts, ANewFindingSetGoesOutOnceOnEachChannel) {
    Result r = RunDay("2026-03-01");
    ASSERT_EQ(r.code, 0) << r.out;
    ASSERT_EQ(hook.Count(), 1);
    ASSERT_EQ(mail.Count(), 1);

    // The document: the report's non-operations and unexplained operations
    // with twdump's fields.
    const json sent = json::parse(hook.Part(1, "json"));
    EXPECT_EQ(hook.Part(1, "head"), "POST /hook\nContent-Type: application/json\n");
    EXPECT_EQ(sent["job"], "Daily");
    EXPECT_EQ(sent["period"],
              json({{"start", "2026-03-01 00:00:00"}, {"end", "2026-03-02 00:00:00"}}));
    json nonOps = json::array(), unexplained = json::array();
    const json dump = Dump("01-03-2026");
    for (json item : dump["Items"]) {
        const json& c = item["Contour"];
        if ((c["Rele"]["Used"] != 0 && item["ReleResult"] != 16) ||
            (c["Prot"]["Used"] != 0 && item["ProtResult"] != 16)) {
            item.erase("Times");
            nonOps.push_back(item);
        }
    }
    for (const json& op : dump["Operations"])
        if (op["Class"] == "unexplained") unexplained.push_back(op);
    EXPECT_EQ(sent["non_operations"], nonOps);
    EXPECT_EQ(sent["operations_without_demand"], unexplained);
    ASSERT_FALSE(nonOps.empty() || unexplained.empty());
    const std::string counts = std::to_string(nonOps.size()) + " non-operation(s)";
    EXPECT_NE(
        r.out.find(": " + std::to_string(dump["Count"].get<int>()) + " incident(s), " + counts),
        std::string::npos);

    // The mail: to both, its headers, the findings in words as the summary
    // names the operations.
    EXPECT_EQ(mail.Part(1, "env"),
              "tripwatch@plant.example\nshift@plant.example\nchief@plant.example\n");
    const std::string eml = mail.Part(1, "eml");
    const std::regex headers(
        "From: tripwatch@plant.example\r\n"
        "To: shift@plant.example, chief@plant.example\r\n"
        "Subject: Tripwatch Daily 2026-03-01: " +
        std::to_string(nonOps.size()) + " non-operation\\(s\\), " +
        std::to_string(unexplained.size()) +
        " operation\\(s\\) without demand\r\n"
        "Date: [A-Z][a-z]{2}, \\d\\d [A-Z][a-z]{2} 20\\d\\d \\d\\d:\\d\\d:\\d\\d \\+0300\r\n"
        "Message-ID: <[0-9a-f]{16}\\.\\d+@plant\\.example>\r\n"
        "MIME-Version: 1\\.0\r\n"
        "Content-Type: text/plain; charset=utf-8\r\n"
        "Content-Transfer-Encoding: 8bit\r\n\r\n"
        "Job Daily, period 2026-03-01 00:00:00 \\.\\. 2026-03-02 00:00:00\r\n[\\s\\S]*");
    EXPECT_TRUE(std::regex_match(eml, headers)) << eml;
    const std::string listed = LinesAfter(
        eml, counts.substr(0, counts.find(' ')) + " protection non-operation(s):\r\n", "  ");
    EXPECT_EQ(std::count(listed.begin(), listed.end(), '\n'), long(nonOps.size())) << listed;
    EXPECT_NE(listed.find(" contour \""), std::string::npos) << listed;
    const std::string ops = " operation(s) without demand:\n";
    EXPECT_EQ(
        LinesAfter(eml, std::to_string(unexplained.size()) + " operation(s) without demand:\r\n",
                   "  "),
        LinesAfter(r.out, std::to_string(unexplained.size()) + ops, "    "));

    // The same day again: nothing new. A job whose contours watch no relay or
    // apparatus finds nothing: nothing to tell, nothing recorded.
    r = RunDay("2026-03-01");
    EXPECT_EQ(r.code, 0) << r.out;
    json quiet = job;
    for (int i = 0; i < quiet["Count"].get<int>(); ++i)
        quiet["Item" + std::to_string(i)]["Rele/Used"] =
            quiet["Item" + std::to_string(i)]["Prot/Used"] = false;
    quiet["Commands"] = {{"Count", 0}};
    SaveJob("Quiet", quiet);
    r = RunDay("2026-03-01", "Quiet");
    EXPECT_EQ(r.code, 0) << r.out;
    EXPECT_EQ(hook.Count(), 1);
    EXPECT_EQ(mail.Count(), 1);
    EXPECT_FALSE(std::filesystem::exists(home + "State/Quiet.notified"));

    // Another set for the day (a maintenance window now explains every
    // operation): the day's set goes out again, whole.
    job["Maintenance"] = {
        {"Count", 1},
        {"Item0",
         {{"Variable", "*"}, {"From", "2026-03-01 00:00:00"}, {"To", "2026-03-02 00:00:00"}}}};
    SaveJob("Daily", job);
    r = RunDay("2026-03-01");
    EXPECT_EQ(r.code, 0) << r.out;
    ASSERT_EQ(hook.Count(), 2);
    EXPECT_EQ(mail.Count(), 2);
    const json again = json::parse(hook.Part(2, "json"));
    EXPECT_EQ(again["non_operations"], nonOps);
    EXPECT_EQ(again["operations_without_demand"], json::array());
}

TEST_F(Alerts, AFailedDeliveryFailsTheRunAndGoesOutWithTheNextOne) {
    hook.Answer(500);
    Result r = RunDay("2026-03-02");
    EXPECT_EQ(r.code, 1) << r.out;
    EXPECT_NE(r.out.find("\n  not delivered: webhook " + hook.Url() + ": HTTP status 500\n"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("Оповещение не доставлено: webhook " + hook.Url() + ": HTTP status 500"),
              std::string::npos);  // the log's line
    EXPECT_EQ(hook.Count(), 0);
    EXPECT_EQ(mail.Count(), 1);
    EXPECT_TRUE(std::filesystem::exists(home + "Reports/Daily 02-03-2026 00_00-00_00.twr"));

    // The next run delivers it, and only it.
    hook.Answer(0);
    r = RunDay("2026-03-02");
    EXPECT_EQ(r.code, 0) << r.out;
    EXPECT_EQ(r.out.find("not delivered"), std::string::npos);
    EXPECT_EQ(hook.Count(), 1);
    EXPECT_EQ(mail.Count(), 1);
    EXPECT_EQ(json::parse(hook.Part(1, "json"))["period"]["start"], "2026-03-02 00:00:00");

    // A receiver that is gone.
    mail.Stop();
    job["Maintenance"] = {
        {"Count", 1},
        {"Item0",
         {{"Variable", "*"}, {"From", "2026-03-02 00:00:00"}, {"To", "2026-03-02 12:00:00"}}}};
    SaveJob("Daily", job);
    r = RunDay("2026-03-02");
    EXPECT_EQ(r.code, 1) << r.out;
    EXPECT_NE(r.out.find("\n  not delivered: mail shift@plant.example,chief@plant.example: "
                         "Couldn't connect to server\n"),
              std::string::npos)
        << r.out;
    EXPECT_EQ(hook.Count(), 2);
}

TEST_F(Alerts, NotifyTestSendsOnEveryChannelAndAWrongNodeIsRefused) {
    Result r = Rthost("notify-test " + home + " --job Daily");
    EXPECT_EQ(r.code, 0) << r.out;
    const std::string sentMail = "sent: mail shift@plant.example,chief@plant.example\n";
    EXPECT_EQ(r.out, "sent: webhook " + hook.Url() + "\n" + sentMail);
    ASSERT_EQ(hook.Count(), 1);
    EXPECT_EQ(json::parse(hook.Part(1, "json")), json({{"test", true}, {"job", "Daily"}}));
    ASSERT_EQ(mail.Count(), 1);
    EXPECT_NE(mail.Part(1, "eml").find("\r\nSubject: Tripwatch Daily: test message\r\n"),
              std::string::npos);

    hook.Stop();
    r = Rthost("notify-test " + home + " --job Daily");
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.out,
              "not delivered: webhook " + hook.Url() + ": Couldn't connect to server\n" + sentMail);
    EXPECT_EQ(Rthost("notify-test " + home + " --job None").code, 2);
    EXPECT_EQ(Rthost("notify-test").code, 2);

    // A wrong value stops the run before anything is read, and notify-test too.
    job["Notify"]["Webhook"] = "ftp://hooks.example/x";
    SaveJob("Daily", job);
    const std::string problem = "Файл настроек \"" + home +
                                "Jobs/Daily.json\", узел Notify, ключ \"Webhook\": ожидается "
                                "адрес http:// или https://, записано \"ftp://hooks.example/x\"\n";
    r = RunDay("2026-03-01");
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.out.find("2026-03-01 00:00:00 .. 2026-03-02 00:00:00: failed: " + problem),
              std::string::npos)
        << r.out;
    EXPECT_FALSE(std::filesystem::exists(home + "Reports/Daily 01-03-2026 00_00-00_00.twr"));
    r = Rthost("notify-test " + home + " --job Daily");
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.out, "rthost notify-test: " + problem);
}

}  // namespace
