#include <gtest/gtest.h>

#include <regex>

#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "common/cp1251.h"

#include "archive/data_home.h"

using namespace host::literals;

namespace {

struct Result {
    int code;
    std::string out, err;
};

// Runs rthost with the arguments, after `env` (assignments, a wrapper), its
// standard output going to `out` (default: captured); captures its output.
Result Rthost(const std::string& args, const std::string& dir, const std::string& env = "",
              std::string out = "") {
    if (out.empty()) out = dir + "stdout.txt";
    const std::string bin = std::string(std::getenv("TW_BIN_DIR")) + "/rthost";
    const std::string cmd = env + " " + bin + " " + args + " >" + out + " 2>" + dir + "stderr.txt";
    const int status = std::system(cmd.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, twtest::ReadFile(dir + "stdout.txt"),
            twtest::ReadFile(dir + "stderr.txt")};
}

// A home with the variables T1..T4 and CSV files of them.
std::string CsvHome(const std::string& name) {
    const std::string home = twtest::ScratchDir(name);
    twtest::WriteConfig(home, "a.rtdb", 1, PRTime().Set(2024, 1, 1), {"T1", "T2", "T3", "T4"});
    return home;
}

// The CSV of one sample of T1 at noon of 1, 2 and 3 March 2024 with this value.
std::string ThreeDays(int value) {
    std::string csv = "variable,time,state,value\n";
    for (int day = 1; day <= 3; ++day)
        csv += "T1,2024-03-0" + std::to_string(day) + " 12:00:00,0," + std::to_string(value) + "\n";
    return csv;
}

// The CSV as an export writes it: each time with its offset (Moscow, +03:00).
std::string Exported(const std::string& csv) {
    return std::regex_replace(csv, std::regex("( \\d\\d:\\d\\d:\\d\\d),"), "$1+03:00,");
}

const char* kExportMarch = " --from '2024-03-01 00:00:00' --to '2024-03-04 00:00:00'";

// The names in the archive folder other than day files and its LOCK and ZONE.
std::vector<std::string> StrayFiles(const std::string& home) {
    std::vector<std::string> names;
    for (auto& e : std::filesystem::directory_iterator(home + "Archive")) {
        const std::string n = e.path().filename().string();
        if (n != "LOCK" && n != "ZONE" && !(n.size() == 14 && n.ends_with(".rta")))
            names.push_back(n);
    }
    return names;
}

}  // namespace

TEST(RthostData, ImportThenExportOfThePeriodGivesTheSameSamples) {
    const std::string home = twtest::ScratchDir("home");
    twtest::WriteConfig(home, "a.rtdb", 1, PRTime().Set(2024, 1, 1), {"T1", "T2"});
    const std::string csv =
        "variable,time,state,value\n"
        "T1,2024-03-01 10:00:00,1,1.5\n"
        "T1,2024-03-02 00:00:00,0,2\n"
        "T2,2024-03-01 23:59:59,3,-0.25\n";
    twtest::WriteFile(home + "in.csv", csv);
    Result r = Rthost("import " + home + " " + home + "in.csv", home);
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.err, "Imported 3 samples into 2 day file(s)\n");

    r = Rthost("export " + home + " --from '2024-03-01 00:00:00' --to '2024-03-02 00:00:00'", home);
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, Exported(csv));

    r = Rthost("export " + home + " --from '2024-03-01 00:00:00' --to '2024-03-01 23:59:59' " +
                   "--variable T1",
               home);
    EXPECT_EQ(r.out, "variable,time,state,value\nT1,2024-03-01 10:00:00+03:00,1,1.5\n");

    // A time of the repeated hour without its offset: the first pass, said.
    const std::string berlin = twtest::ScratchDir("berlin");
    twtest::WriteConfig(berlin, "a.rtdb", 1, PRTime().Set(2024, 1, 1), {"T1"});
    twtest::WriteFile(berlin + "in.csv", "variable,time,state,value\nT1,2024-10-27 02:30:00,1,1\n");
    r = Rthost("import " + berlin + " " + berlin + "in.csv", berlin, "TZ=Europe/Berlin");
    EXPECT_EQ(r.err,
              "Imported 1 samples into 1 day file(s)\nWarning: 1 sample(s) in a repeated hour "
              "without a UTC offset taken as its first pass\n");
}

TEST(RthostData, RefusedImportExitsNonZeroNamingFileAndLine) {
    const std::string home = twtest::ScratchDir("refused");
    twtest::WriteConfig(home, "a.rtdb", 1, PRTime().Set(2024, 1, 1), {"T1"});
    twtest::WriteFile(home + "bad.csv",
                      "variable,time,state,value\nT1,2024-03-01 10:00:00,1,1\nT1,2024-03-01 "
                      "10:00:01,9,1\n");
    const Result r = Rthost("import " + home + " " + home + "bad.csv", home);
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err,
              "rthost import: Файл \"" + home +
                  "bad.csv\", строка 3: состояние 9 вне диапазона переменной \"T1\" (0..3)\n");
    EXPECT_FALSE(std::filesystem::exists(home + "Archive/2024-03-01.rta"));

    const Result e = Rthost("export " + home + " --from 2024-03-01 --to 2024-03-02", home);
    EXPECT_EQ(e.code, 2);
    EXPECT_EQ(e.err, "rthost export: a time must be YYYY-MM-DD HH:MM:SS\n");
}

TEST(RthostData, DemoPrintsWhatItMade) {
    const std::string home = twtest::ScratchDir("demo");
    const Result r = Rthost("demo " + home + "plant --days 1 --background 10", home);
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out.rfind("Demo plant in " + home + "plant\n", 0), 0u) << r.out;
    EXPECT_NE(r.out.find("32 contours, 109 variables"), std::string::npos) << r.out;
    EXPECT_TRUE(std::filesystem::exists(home + "plant/Jobs/Daily.json"));
    EXPECT_TRUE(std::filesystem::exists(home + "plant/demo-incidents.json"));
}

TEST(RthostData, DemoRefusesAnExistingHomeUnlessForced) {
    const std::string home = twtest::ScratchDir("demo-again");
    const std::string args = "demo " + home + " --days 1 --background 0";
    ASSERT_EQ(Rthost(args, home).code, 0);
    const std::string job = twtest::ReadFile(home + "Jobs/Daily.json") + "edited";
    twtest::WriteFile(home + "Jobs/Daily.json", job);
    Result r = Rthost(args, home);
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(r.err, "rthost demo: " + home +
                         " is already a home (it holds Archive); --force replaces its archive, "
                         "configuration and job\n");
    EXPECT_EQ(twtest::ReadFile(home + "Jobs/Daily.json"), job);
    r = Rthost(args + " --force", home);
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_NE(twtest::ReadFile(home + "Jobs/Daily.json"), job);
}

TEST(RthostData, ExportToAFullStandardOutputFails) {
    const std::string home = CsvHome("full");
    twtest::WriteFile(home + "in.csv", ThreeDays(1));
    ASSERT_EQ(Rthost("import " + home + " " + home + "in.csv", home).code, 0);
    const Result r = Rthost("export " + home + kExportMarch, home, "", "/dev/full");
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, "rthost export: standard output not written: No space left on device (28)\n");
}

// Every reader and writer takes the archive's lock: while another program
// holds it they wait, then give up naming the archive; imports at once all
// keep their samples.
TEST(RthostData, ImportsAndExportsAreSerialisedByTheArchiveLock) {
    const std::string home = CsvHome("locked");
    for (int v = 1; v <= 4; ++v)
        twtest::WriteFile(home + "" + std::to_string(v) + ".csv",
                          "variable,time,state,value\nT" + std::to_string(v) +
                              ",2024-03-01 12:00:00,0," + std::to_string(v) + "\n");
    ASSERT_EQ(Rthost("import " + home + " " + home + "1.csv", home).code, 0);
    {
        host::archive::ArchiveAccess held;
        ASSERT_TRUE(held.Open(home.c_str(), host::archive::Access::Write));
        for (const std::string command : {"import", "export"}) {
            const Result r = Rthost(
                command + " " + home + " " + (command == "import" ? home + "2.csv" : kExportMarch),
                home, "TW_ARCHIVE_LOCK_WAIT=0.2");
            EXPECT_EQ(r.code, 1);
            EXPECT_EQ(r.err, "rthost " + command + ": Архив \"" + home +
                                 "Archive/\" занят другой программой: блокировка не получена "
                                 "за 0.2 с\n");
        }
    }
    const std::string bin = std::string(std::getenv("TW_BIN_DIR")) + "/rthost import " + home;
    const std::string together =
        "for v in 1 2 3 4; do " + bin + " " + home + "$v.csv 2>/dev/null & done; wait";
    ASSERT_EQ(std::system(together.c_str()), 0);
    const Result r = Rthost("export " + home + kExportMarch, home);
    EXPECT_EQ(r.out,
              Exported("variable,time,state,value\nT1,2024-03-01 12:00:00,0,1\nT2,2024-03-01 "
                       "12:00:00,0,2\nT3,2024-03-01 12:00:00,0,3\nT4,2024-03-01 "
                       "12:00:00,0,4\n"));
}

// An import of three days killed at each step of its change (temporary files
// written, journal in place, renames) or after a delay leaves every day old or
// every day new, and the next opening leaves no temporary file behind.
TEST(RthostData, KilledImportLeavesEveryDayOldOrEveryDayNew) {
    const std::string home = CsvHome("killed");
    twtest::WriteFile(home + "old.csv", ThreeDays(1));
    twtest::WriteFile(home + "new.csv", ThreeDays(2));
    std::vector<std::string> kills;
    for (int step = 1; step <= 7; ++step)
        kills.push_back("TW_ARCHIVE_KILL_AT=" + std::to_string(step));
    for (const char* delay : {"0.01", "0.03", "0.05", "0.07", "0.1", "0.15"})
        kills.push_back(std::string("timeout -s KILL ") + delay);
    for (std::size_t k = 0; k < kills.size(); ++k) {
        ASSERT_EQ(Rthost("import " + home + " " + home + "old.csv", home).code, 0);
        const Result killed = Rthost("import " + home + " " + home + "new.csv", home, kills[k]);
        const Result after = Rthost("export " + home + kExportMarch, home);
        ASSERT_EQ(after.code, 0) << kills[k] << after.err;
        if (k < 7) {
            EXPECT_NE(killed.code, 0) << kills[k];
            EXPECT_EQ(after.out, Exported(ThreeDays(k < 3 ? 1 : 2))) << kills[k];
        } else {
            EXPECT_TRUE(after.out == Exported(ThreeDays(1)) || after.out == Exported(ThreeDays(2)))
                << kills[k];
        }
        EXPECT_EQ(StrayFiles(home), std::vector<std::string>()) << kills[k];
    }
}

// The archive remembers its zone: read in another one, it says which, instead
// of calling its files damaged; an archive from before that is read as it was.
TEST(RthostData, ArchiveReadInAnotherZoneNamesBothZones) {
    const std::string home = CsvHome("zone");
    twtest::WriteFile(home + "in.csv", ThreeDays(1));
    ASSERT_EQ(Rthost("import " + home + " " + home + "in.csv", home).code, 0);
    const std::string exportMarch = "export " + home + kExportMarch;
    Result r = Rthost(exportMarch, home, "TZ=UTC");
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, "rthost export: Архив \"" + home +
                         "Archive/\" записан в часовом поясе Europe/Moscow, а программа "
                         "работает в поясе UTC: запустите ее с TZ=Europe/Moscow\n");
    r = Rthost("import " + home + " " + home + "in.csv", home, "TZ=UTC");
    EXPECT_EQ(r.code, 1);
    for (const char* same :
         {"TZ=:Europe/Moscow", "TZ=/usr/share/zoneinfo/Europe/Moscow", "TZ=W-SU"})
        EXPECT_EQ(Rthost(exportMarch, home, same).out, Exported(ThreeDays(1))) << same;
    std::filesystem::remove(home + "Archive/ZONE");
    EXPECT_EQ(Rthost(exportMarch, home).out, Exported(ThreeDays(1)));
    EXPECT_FALSE(std::filesystem::exists(home + "Archive/ZONE"));
}

// A home whose outputs or log would not fit a path fails naming the path, and
// writes nothing outside itself (a cut path would lead into its parent).
TEST(RthostData, AHomeTooLongForItsPathsFailsNamingThePath) {
    struct Case {
        std::size_t length;  // of the home's path
        const char* where;   // the line that names the path
        std::string tail;    // what the path names after the home
    };
    const Case cases[] = {
        {240, "stdout", "Values/values_20261207_000000-20261208_000000.csv"},
        {280, "stderr", ""},
    };
    for (const Case& c : cases) {
        const std::string parent = twtest::ScratchDir("long" + std::to_string(c.length));
        std::string home = parent;
        while (home.size() < c.length)
            home += std::string(std::min<std::size_t>(50, c.length - home.size() - 1), 'x') + "/";
        home.pop_back();
        ASSERT_EQ(
            Rthost("demo " + home + " --days 1 --end 2026-11-21 --background 10", parent).code, 0);
        const Result r = Rthost("run " + home + " --job Daily --end '2026-11-21 00:00'", parent);
        EXPECT_EQ(r.code, 1) << c.length;
        const std::string message = "Путь длиннее 260 символов: " + home + "/" + c.tail + "\n";
        if (c.where == std::string("stdout"))
            EXPECT_TRUE(r.out.ends_with("failed: " + message)) << r.out;
        else
            EXPECT_EQ(r.err, "rthost run: " + message);
        // The parent holds the home's first folder and the command's own files.
        std::vector<std::string> entries;
        for (const auto& e : std::filesystem::directory_iterator(parent))
            entries.push_back(e.path().filename().string());
        std::sort(entries.begin(), entries.end());
        const std::string first =
            home.substr(parent.size(), home.find('/', parent.size()) - parent.size());
        EXPECT_EQ(entries, (std::vector<std::string>{"stderr.txt", "stdout.txt", first}))
            << c.length;
    }
}
