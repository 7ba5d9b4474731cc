// The whole chain as a user runs it: rthost makes a demo plant, runs the daily
// report for two consecutive days, and twdump shows that every planted incident
// is in exactly one report, with its outcome bytes and its lines' response times;
// then Tripview --batch gathers the protection non-operations and the statistics
// of both days.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "planted_operations.h"
#include "shell_output.h"
#include "test_env.h"

namespace {

using twtest::Bin;
using twtest::ExitCode;
using twtest::ReadText;

TEST(EndToEnd, TwoDaysOfTheDemoPlantReportEveryPlantedIncidentOnce) {
    const std::string home = twtest::ScratchDir("demo");
    ASSERT_EQ(
        ExitCode(Bin("rthost") + " demo " + home +
                 " --days 3 --end 2026-10-27 --seed 5 --background 200 >" + home + "demo.out"),
        0);
    const auto planted = nlohmann::json::parse(ReadText(home + "demo-incidents.json"));
    const std::string lastDay = planted["lastDay"];  // YYYY-MM-DD
    // The last two archive days: the day before lastDay and lastDay itself.
    std::tm tm{};
    strptime(lastDay.c_str(), "%Y-%m-%d", &tm);
    tm.tm_isdst = -1;
    tm.tm_mday -= 1;
    mktime(&tm);
    char firstDay[16];
    std::strftime(firstDay, sizeof firstDay, "%Y-%m-%d", &tm);
    ASSERT_EQ(ExitCode(Bin("rthost") + " run " + home + " --job Daily --from " + firstDay +
                       " --to " + lastDay + " >" + home + "run.out 2>" + home + "run.err"),
              0)
        << ReadText(home + "run.out") << ReadText(home + "run.err");
    const std::string out = ReadText(home + "run.out");
    EXPECT_NE(out.find("2 day(s), 0 failed"), std::string::npos) << out;
    EXPECT_NE(out.find("non-operation(s)"), std::string::npos) << out;

    // Every incident of both reports, by sensor and times.
    std::map<std::string, std::pair<int, int>> reported;
    std::map<std::string, nlohmann::json> times;
    int reports = 0, nonOperations = 0;
    for (const auto& entry : std::filesystem::directory_iterator(home + "Reports")) {
        if (entry.path().extension() != ".twr") continue;
        ++reports;
        ASSERT_EQ(
            ExitCode(Bin("twdump") + " '" + entry.path().string() + "' >" + home + "dump.json"), 0);
        const auto dump = nlohmann::json::parse(ReadText(home + "dump.json"));
        // A calendar day, from midnight to midnight, 23 or 25 hours when the clocks change.
        EXPECT_EQ(dump["Start"].get<std::string>().substr(10), " 00:00:00") << entry.path();
        for (const auto& item : dump["Items"]) {
            const std::string key = item["Contour"]["Sensor"].get<std::string>() + " " +
                                    item["Start"].get<std::string>() + " " +
                                    item["End"].get<std::string>();
            EXPECT_EQ(reported.count(key), 0u) << "reported twice: " << key;
            reported[key] = {item["ReleResult"].get<int>(), item["ProtResult"].get<int>()};
            times[key] = item["Times"];
            const auto& c = item["Contour"];
            if ((c["Rele"]["Used"].get<int>() && item["ReleResult"].get<int>() != 0x10) ||
                (c["Prot"]["Used"].get<int>() && item["ProtResult"].get<int>() != 0x10))
                ++nonOperations;
        }
    }
    EXPECT_EQ(reports, 2);

    const std::string from = std::string(firstDay) + " 00:00:00";
    int expected = 0, acrossMidnight = 0;
    for (const auto& inc : planted["incidents"]) {
        const std::string end = inc["end"];
        if (end <= from) continue;  // ended before the two days
        ++expected;
        const std::string key =
            inc["sensor"].get<std::string>() + " " + inc["start"].get<std::string>() + " " + end;
        auto it = reported.find(key);
        ASSERT_NE(it, reported.end()) << "not reported: " << key;
        EXPECT_EQ(it->second.first, inc["relay"].get<int>()) << key;
        EXPECT_EQ(it->second.second, inc["apparatus"].get<int>()) << key;
        const nlohmann::json& t = times[key];
        EXPECT_EQ(t["Rele"]["Response"], inc["relayResponse"]) << key;
        EXPECT_EQ(t["Rele"]["Held"], inc["relayHeld"]) << key;
        EXPECT_EQ(t["Prot"]["Response"], inc["apparatusResponse"]) << key;
        EXPECT_EQ(t["Prot"]["Held"], inc["apparatusHeld"]) << key;
        if (inc["crossesMidnight"].get<bool>()) ++acrossMidnight;
    }
    EXPECT_EQ(int(reported.size()), expected);
    EXPECT_GT(acrossMidnight, 0);
    // Every operation of a relay or breaker of both days, once, with its class;
    // the demo plants each class.
    const auto classes = twtest::ExpectPlantedOperations(home, from);
    for (const char* cls :
         {"demand", "short_demand", "by_relay", "commanded", "maintenance", "unexplained"})
        EXPECT_GT(classes.count(cls) ? classes.at(cls) : 0, 0) << cls;
    EXPECT_NE(out.find(" operation(s) without demand:\n"), std::string::npos) << out;
    // The text and spreadsheet reports of both days are there too.
    int txt = 0, xls = 0;
    for (const auto& entry : std::filesystem::directory_iterator(home + "Reports")) {
        txt += entry.path().extension() == ".txt";
        xls += entry.path().extension() == ".xls";
    }
    EXPECT_EQ(txt, 2);
    EXPECT_EQ(xls, 2);

    // The second-level report of the two days.
    std::strftime(firstDay, sizeof firstDay, "%Y-%m-%d", &tm);
    std::tm after{};
    strptime(lastDay.c_str(), "%Y-%m-%d", &after);
    after.tm_isdst = -1;
    after.tm_mday += 1;
    mktime(&after);
    char to[16];
    std::strftime(to, sizeof to, "%Y-%m-%d", &after);
    ASSERT_EQ(ExitCode(Bin("Tripview") + " --batch --path " + home + "Reports --from " + firstDay +
                       " --to " + to + " --txt " + home + "Second --stats " + home + "Second >" +
                       home + "batch.out 2>" + home + "batch.err"),
              0)
        << ReadText(home + "batch.err");
    const std::string batch = ReadText(home + "batch.out");
    EXPECT_NE(batch.find("2 report(s) of the period:"), std::string::npos) << batch;
    EXPECT_NE(batch.find("\n" + std::to_string(nonOperations) + " non-operation(s)\n"),
              std::string::npos)
        << batch;
    EXPECT_GT(nonOperations, 0);
    int texts = 0;
    for (const auto& entry : std::filesystem::directory_iterator(home + "Second"))
        texts += entry.path().extension() == ".txt";
    EXPECT_EQ(texts, 1);
    // The statistics: the charts beside them, a row per contour, then the
    // plant's with every incident.
    for (const char* chart : {"misoperation_rate.pdf", "misoperation_rate.png",
                              "response_times.pdf", "response_times.png"})
        EXPECT_NE(batch.find("chart: " + home + "Second/" + chart + "\n"), std::string::npos)
            << chart << batch;
    std::istringstream stats(ReadText(home + "Second/stats.csv"));
    std::string row, last;
    int rows = 0;
    while (std::getline(stats, row)) {
        ++rows;
        last = row;
    }
    EXPECT_GT(rows, 2);
    EXPECT_EQ(last.substr(0, last.find(',', last.find(',', 2) + 1)),
              "*," + std::to_string(reported.size()) + "," +
                  std::to_string(int(reported.size()) - nonOperations));
}

}  // namespace

namespace {

// The inputs under examples/ still do what their README says.
TEST(EndToEnd, TheExamplesWork) {
    const std::string home = twtest::ScratchDir("examples");
    const std::string examples = std::string(std::getenv("TW_SOURCE_DIR")) + "/examples/";
    ASSERT_EQ(ExitCode(Bin("rthost") + " demo " + home + " --end 2026-12-08 >/dev/null 2>&1"), 0);
    ASSERT_EQ(ExitCode(Bin("rthost") + " import " + home + " " + examples +
                       "late-breaker.csv >/dev/null"),
              0);
    ASSERT_EQ(ExitCode(Bin("rthost") + " run " + home +
                       " --job Daily --end \"2026-12-09 00:00\" >" + home + "run.out 2>/dev/null"),
              0);
    const std::string out = ReadText(home + "run.out");
    EXPECT_NE(out.find("1 incident(s), 1 non-operation(s)"), std::string::npos) << out;
    // The other lines of the plant have no samples on the example's day.
    EXPECT_NE(
        out.find("\n  29 contour(s) without data in the period: U1.P02.Sensor, U1.P03.Sensor, "),
        std::string::npos)
        << out;
    // A day the archive does not hold is a failed day, not a clean one.
    EXPECT_EQ(
        ExitCode(Bin("rthost") + " run " + home + " --job Daily --end \"2026-12-20 00:00\" >" +
                 home + "empty.out 2>/dev/null"),
        1);
    EXPECT_EQ(ReadText(home + "empty.out"),
              "2026-12-19 00:00:00 .. 2026-12-20 00:00:00: failed: Нет данных для переменных\n");
    ASSERT_EQ(ExitCode(Bin("twdump") + " '" + home + "Reports/Daily 08-12-2026 00_00-00_00.twr' >" +
                       home + "dump.json"),
              0);
    const auto dump = nlohmann::json::parse(ReadText(home + "dump.json"));
    ASSERT_EQ(dump["Items"].size(), 1u);
    const auto& item = dump["Items"][0];
    EXPECT_EQ(item["Start"], "2026-12-08 10:00:00");
    EXPECT_EQ(item["End"], "2026-12-08 10:05:00");
    EXPECT_EQ(item["Value"].get<double>(), 104.8);
    EXPECT_EQ(item["ReleResult"], 0x10);
    EXPECT_EQ(item["ProtResult"], 0);
}

}  // namespace

namespace {

// One CSV field as LibreOffice wrote it: its text, and whether it was quoted.
struct CsvField {
    std::string text;
    bool quoted = false;
};

// The records of a CSV text (quoted fields may hold commas, "" and line breaks).
std::vector<std::vector<CsvField>> ParseCsv(const std::string& s) {
    std::vector<std::vector<CsvField>> rows;
    std::vector<CsvField> row(1);
    bool inQuotes = false;
    for (std::size_t i = 0; i < s.size(); ++i) {
        CsvField& f = row.back();
        const char ch = s[i];
        if (inQuotes) {
            if (ch != '"')
                f.text += ch;
            else if (i + 1 < s.size() && s[i + 1] == '"')
                f.text += s[++i];
            else
                inQuotes = false;
        } else if (ch == '"' && f.text.empty()) {
            inQuotes = f.quoted = true;
        } else if (ch == ',') {
            row.emplace_back();
        } else if (ch == '\n') {
            rows.push_back(std::move(row));
            row.assign(1, CsvField{});
        } else {
            f.text += ch;
        }
    }
    if (row.size() > 1 || !row[0].text.empty() || row[0].quoted) rows.push_back(std::move(row));
    return rows;
}

// The first number before `what` in `text` ("64 incident(s)"), or -1.
int CountBefore(const std::string& text, const std::string& what) {
    std::smatch m;
    return std::regex_search(text, m, std::regex("([0-9]+) " + what)) ? std::stoi(m[1]) : -1;
}

// LibreOffice Calc opens the daily report's spreadsheet (with the demo's
// template) and the second-level one (without a template) as tables: above the
// items exactly one header row, then every item in a row of its own, the
// moments and values as numbers (unquoted, with a decimal point), no page
// headers or page numbers among them.
TEST(EndToEnd, SpreadsheetsOpenInCalcAsTables) {
    const std::string home = twtest::ScratchDir("calc");
    ASSERT_EQ(ExitCode(Bin("rthost") + " demo " + home +
                       " --days 2 --end 2026-10-27 --seed 5 --background 200 >/dev/null"),
              0);
    ASSERT_EQ(ExitCode(Bin("rthost") + " run " + home + " --job Daily --end '2026-10-27 00:00' >" +
                       home + "run.out 2>/dev/null"),
              0);
    ASSERT_EQ(ExitCode(Bin("Tripview") + " --batch --path " + home +
                       "Reports --from 2026-10-26 --to 2026-10-27 --xls " + home + "Second >" +
                       home + "batch.out 2>/dev/null"),
              0)
        << ReadText(home + "batch.out");
    const int incidents = CountBefore(ReadText(home + "run.out"), "incident\\(s\\)");
    const int nonOperations = CountBefore(ReadText(home + "batch.out"), "non-operation\\(s\\)");
    ASSERT_GT(nonOperations, 0);
    ASSERT_GT(incidents, nonOperations);

    const std::string daily = home + "Reports/Daily 26-10-2026 00_00-00_00.xls";
    const std::string second = home + "Second/ 26-10-2026 00_00-00_00.xls";
    ASSERT_TRUE(std::filesystem::exists(daily));
    ASSERT_TRUE(std::filesystem::exists(second));
    // Its own profile, so that tests running at once do not share one.
    const std::string convert = "soffice -env:UserInstallation=file://" + home +
                                "lo-profile --headless --norestore --convert-to "
                                "'csv:Text - txt - csv (StarCalc):44,34,76,1' --outdir " +
                                home + "csv '" + daily + "' '" + second + "' >" + home +
                                "soffice.out 2>&1";
    ASSERT_EQ(ExitCode(convert), 0) << "LibreOffice (libreoffice-calc-nogui) must be installed\n"
                                    << ReadText(home + "soffice.out");

    const std::vector<std::string> captions = {"Объект контроля",
                                               "Датчик: значение, начало",
                                               "Датчик: значение, оконч.",
                                               "Датчик: значение, макс.",
                                               "Датчик: место (объект)",
                                               "Датчик: наимен.",
                                               "Датчик: порог",
                                               "Датчик: событие",
                                               "Выходное реле: наимен.",
                                               "Выходное реле: cостоян.",
                                               "Защищаемый аппарат: место (объект)",
                                               "Защищаемый аппарат: наимен.",
                                               "Защищаемый аппарат: состоян.",
                                               "Примечание"};
    const std::regex moment("[0-3][0-9]\\.[01][0-9]\\.2026 [0-2][0-9]:[0-5][0-9]:[0-5][0-9]");
    const std::regex value("-?[0-9]+\\.[0-9]{3}");
    const struct {
        std::string csv;
        int items;
        std::string firstRow;  // the template's first text, or the report's title
    } sheets[] = {
        {home + "csv/Daily 26-10-2026 00_00-00_00.csv", incidents,
         "Отчет контроля отключения оборудования (демонстрационная установка)"},
        {home + "csv/ 26-10-2026 00_00-00_00.csv", nonOperations,
         "Срабатывание автоматической защиты"},
    };
    for (const auto& sheet : sheets) {
        SCOPED_TRACE(sheet.csv);
        const std::string text = ReadText(sheet.csv);
        ASSERT_FALSE(text.empty()) << "LibreOffice could not load the file";
        EXPECT_EQ(text.find("Страница"), std::string::npos) << "a page number among the rows";
        const auto rows = ParseCsv(text);
        ASSERT_FALSE(rows.empty());
        EXPECT_EQ(rows[0][0].text, sheet.firstRow);
        int headers = 0;
        std::size_t header = 0;
        for (std::size_t r = 0; r < rows.size(); ++r)
            if (rows[r][0].text == captions[0]) ++headers, header = r;
        ASSERT_EQ(headers, 1) << "exactly one header row";
        ASSERT_GE(rows[header].size(), captions.size());
        for (std::size_t c = 0; c < captions.size(); ++c)
            EXPECT_EQ(rows[header][c].text, captions[c]) << "column " << c;
        EXPECT_EQ(rows[header - 1][0].text, "Срабатывание автоматической защиты");
        ASSERT_EQ(int(rows.size() - header - 1), sheet.items) << "one row per item, no others";
        for (std::size_t r = header + 1; r < rows.size(); ++r) {
            ASSERT_GE(rows[r].size(), 4u) << "row " << r;
            for (int c : {1, 2})
                EXPECT_TRUE(!rows[r][c].quoted && std::regex_match(rows[r][c].text, moment))
                    << "row " << r << ": " << rows[r][c].text;
            EXPECT_TRUE(!rows[r][3].quoted && std::regex_match(rows[r][3].text, value))
                << "row " << r << ": " << rows[r][3].text;
            EXPECT_TRUE(rows[r][0].quoted && !rows[r][0].text.empty()) << "row " << r;
        }
    }
}

}  // namespace
