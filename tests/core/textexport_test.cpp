// The text report: every line against an expected file, under a locale with a
// decimal comma; naming, logging and failures.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <clocale>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "common/lasterror.h"
#include "core_test_util.h"
#include "plantdb/dbdatabase.h"
#include "runtime/rtlog.h"
#include "tw_file.h"

using namespace host::literals;
using namespace tw_test;

namespace {

// Switches to a locale whose decimal separator is a comma for one test.
class CommaLocale {
  public:
    CommaLocale() {
        for (const char* name : {"ru_RU.UTF-8", "ru_RU.utf8", "de_DE.UTF-8", "de_DE.utf8"}) {
            if (std::setlocale(LC_ALL, name)) {
                char buf[16];
                std::snprintf(buf, sizeof buf, "%.1f", 1.5);
                active_ = std::string(buf) == "1,5";
                if (active_) return;
            }
        }
        std::setlocale(LC_ALL, "C");
    }
    ~CommaLocale() { std::setlocale(LC_ALL, "C"); }
    bool Active() const { return active_; }

  private:
    bool active_ = false;
};

std::vector<std::string> SplitCrLf(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t end = text.find("\r\n", pos);
        if (end == std::string::npos) {
            lines.push_back(text.substr(pos) + "<no CR LF>");
            break;
        }
        lines.push_back(text.substr(pos, end - pos));
        pos = end + 2;
    }
    return lines;
}

void Report(TW_File& f) {
    f.Start.Set(2026, 12, 7, 0, 0, 0);
    f.End.Set(2026, 12, 7, 23, 59, 0);
    f.RunTime.Set(2026, 12, 8, 0, 5, 30);
    f.Add(FullLine());  // relay 0x11, apparatus 0x10, value 1234.5678
    TW_ContourLine second = FullLine();
    second.Value = 5;
    second.ReleResult = 0x10;
    second.ProtResult = 0x00;
    second.Contour.Rele.Used = 0;
    second.Contour.Prot.Used = 0;
    std::memset(second.ObjectName, 'O', sizeof second.ObjectName);  // no terminating zero
    std::strcpy(second.Contour.Limit, "\"quoted\"");
    // Line breaks inside texts become blanks: one line per item.
    std::strcpy(second.Contour.Rele.ONName, "Реле\r\nсработало"_cp);
    std::strcpy(second.Contour.Prot.OFFName, "Выключатель не\nотключен"_cp);
    second.Start.Set(2026, 12, 7, 23, 0, 1);
    second.End.Set(2026, 12, 8, 0, 30, 2);
    f.Add(second);
}

const char* const kItem1 =
    "Item: \"1\", \"Котел 1\", \"10:11:12\", \"13:14:15\", \"1234.568\", \"Топка\", \"TT101.PV\", "
    "\"> 120 °C\", \"Превышение температуры\", \"Y\", \"RL7.OUT\", 11, \"Реле не сработало\", "
    "\"Y\", \"<не задан>\", \"Q5.POS\", 10, \"Выключатель отключен\"";

std::string Item2() {
    return "Item: \"2\", \"" + std::string(50, 'O') +
           "\", \"23:00:01\", \"00:30:02\", \"5.000\", \"Топка\", \"TT101.PV\", \"\"quoted\"\", "
           "\"Превышение температуры\", \"N\", \"RL7.OUT\", 10, \"Реле  сработало\", \"N\", "
           "\"<не задан>\", \"Q5.POS\", 00, \"Выключатель не отключен\"";
}

std::vector<std::string> Cp(const std::vector<std::string>& utf8) {
    std::vector<std::string> out;
    for (const auto& s : utf8)
        out.push_back(host::Utf8ToCp1251Lossy(s));
    return out;
}

// The lines of the text export of Report() saved as `name`, with the `cfg`
// line after the ID unless it is empty.
std::vector<std::string> ReportLines(const std::string& name, const std::string& cfg = {}) {
    std::vector<std::string> lines = {
        "ID: \"TWReport1\"",
        "Start: \"07-12-2026 00:00\"",
        "End: \"07-12-2026 23:59\"",
        "Run: \"08-12-2026 00:05\"",
        "File: \"" + name + "\"",
        "Count: \"2\"",
        kItem1,
        Item2(),
    };
    if (!cfg.empty()) lines.insert(lines.begin() + 1, cfg);
    return Cp(lines);
}

}  // namespace

TEST(TextExport, LinesWithConfigUnderADecimalCommaLocale) {
    CommaLocale locale;
    if (!locale.Active()) GTEST_SKIP() << "no locale with a decimal comma is installed";
    const std::string dir = ScratchDir("TxtConfig");
    TW_File f;
    Report(f);
    HDBDatabase db;
    db.ConfigId = 0x00ABCDEF;
    db.ConfigTime.Set(2026, 12, 1, 8, 9, 10);
    f.Config = &db;

    host::LogCapture log;
    ASSERT_TRUE(f.ExportToText((dir + "Report").c_str()));
    const std::string name = dir + "Report 07-12-2026 00_00-23_59.txt";
    EXPECT_EQ(SplitCrLf(ReadText(name)),
              ReportLines(name, "Cfg: \"00ABCDEF\", \"01-12-2026 08:09:10\""));
    ASSERT_EQ(log.lines.size(), 1u);
    EXPECT_EQ(log.lines[0], "Сохранение отчета: ["_cp + name + "]...");
    EXPECT_EQ(f.FileName.Length, 0);  // the report's own name is not changed
}

TEST(TextExport, WithoutConfigStartFollowsId) {
    CommaLocale locale;
    const std::string dir = ScratchDir("TxtNoConfig");
    TW_File f;
    Report(f);
    f.FileName.Set((dir + "Report 07-12-2026 00_00-23_59.twr").c_str());
    ASSERT_TRUE(f.ExportToText(nullptr));  // the folder of FileName, then the period
    const std::string name = dir + " 07-12-2026 00_00-23_59.txt";
    EXPECT_EQ(SplitCrLf(ReadText(name)), ReportLines(name));
}

TEST(TextExport, EmptyReportAndASecondExport) {
    const std::string dir = ScratchDir("TxtEmpty");
    TW_File f;
    f.Start.Set(2026, 1, 2, 3, 4, 0);
    f.End.Set(2026, 1, 2, 5, 6, 0);
    ASSERT_TRUE(f.ExportToText((dir + "E").c_str()));
    ASSERT_TRUE(f.ExportToText((dir + "E").c_str()));
    const std::string first = dir + "E 02-01-2026 03_04-05_06.txt";
    const std::string second = dir + "E 02-01-2026 03_04-05_06 (1).txt";
    EXPECT_EQ(ReadText(first),
              "ID: \"TWReport1\"\r\nStart: \"02-01-2026 03:04\"\r\n"
              "End: \"02-01-2026 05:06\"\r\nRun: \"00-00-0000 00:00\"\r\n"
              "File: \"" +
                  first + "\"\r\nCount: \"0\"\r\n");
    EXPECT_NE(ReadText(second).find("File: \"" + second + "\"\r\n"), std::string::npos);
}

TEST(TextExport, FileThatCannotBeCreatedIsLoggedAndFails) {
    const std::string dir = ScratchDir("TxtNoFolder");
    TW_File f;
    host::LogCapture log;
    host::ClearError();
    EXPECT_FALSE(f.ExportToText((dir + "none/R").c_str()));
    EXPECT_EQ(GetIOErrorN(), unsigned(ENOENT));
    ASSERT_EQ(log.lines.size(), 1u);
    EXPECT_EQ(log.lines[0],
              "Сохранение отчета: ["_cp + dir + "none/R 00-00-0000 00_00-00_00.txt]...");
}

TEST(TextExport, WriteFailureRemovesTheIncompleteFile) {
    const std::string dir = ScratchDir("TxtDiskFull");
    TW_File f;
    for (int i = 0; i < 200; ++i)
        f.Add(FullLine());
    bool ok = false;
    unsigned error = 0;
    {
        tw_test::ScopedFileSizeLimit limit(16 * 1024);
        host::ClearError();
        ok = f.ExportToText((dir + "R").c_str());
        error = GetIOErrorN();
    }
    EXPECT_FALSE(ok);
    EXPECT_EQ(error, unsigned(EFBIG));
    EXPECT_TRUE(std::filesystem::is_empty(dir));
}
