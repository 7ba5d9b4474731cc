#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>

#include "data_home.h"

namespace {

struct Result {
    int code;
    std::string out, err;
};

// Runs rthost with the arguments; captures its output.
Result Rthost(const std::string& args, const std::string& dir) {
    const std::string bin = std::string(std::getenv("TW_BIN_DIR")) + "/rthost";
    const std::string cmd = bin + " " + args + " >" + dir + "/stdout.txt 2>" + dir + "/stderr.txt";
    const int status = std::system(cmd.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, twtest::ReadFile(dir + "/stdout.txt"),
            twtest::ReadFile(dir + "/stderr.txt")};
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
    twtest::WriteFile(home + "/in.csv", csv);
    Result r = Rthost("import " + home + " " + home + "/in.csv", home);
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.err, "Imported 3 samples into 2 day file(s)\n");

    r = Rthost("export " + home + " --from '2024-03-01 00:00:00' --to '2024-03-02 00:00:00'", home);
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, csv);

    r = Rthost("export " + home + " --from '2024-03-01 00:00:00' --to '2024-03-01 23:59:59' " +
                   "--variable T1",
               home);
    EXPECT_EQ(r.out, "variable,time,state,value\nT1,2024-03-01 10:00:00,1,1.5\n");
}

TEST(RthostData, RefusedImportExitsNonZeroNamingFileAndLine) {
    const std::string home = twtest::ScratchDir("refused");
    twtest::WriteConfig(home, "a.rtdb", 1, PRTime().Set(2024, 1, 1), {"T1"});
    twtest::WriteFile(home + "/bad.csv",
                      "variable,time,state,value\nT1,2024-03-01 10:00:00,1,1\nT1,2024-03-01 "
                      "10:00:01,9,1\n");
    const Result r = Rthost("import " + home + " " + home + "/bad.csv", home);
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err,
              "rthost import: Файл \"" + home +
                  "/bad.csv\", строка 3: состояние 9 вне диапазона переменной \"T1\" (0..3)\n");
    EXPECT_FALSE(std::filesystem::exists(home + "/Archive/2024-03-01.rta"));

    const Result e = Rthost("export " + home + " --from 2024-03-01 --to 2024-03-02", home);
    EXPECT_EQ(e.code, 1);
    EXPECT_EQ(e.err, "rthost export: a time must be YYYY-MM-DD HH:MM:SS\n");
}

TEST(RthostData, DemoPrintsWhatItMade) {
    const std::string home = twtest::ScratchDir("demo");
    const Result r = Rthost("demo " + home + "/plant --days 1 --background 10", home);
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out.rfind("Demo plant in " + home + "/plant\n", 0), 0u) << r.out;
    EXPECT_NE(r.out.find("32 contours, 106 variables"), std::string::npos) << r.out;
    EXPECT_TRUE(std::filesystem::exists(home + "/plant/Jobs/Daily.json"));
    EXPECT_TRUE(std::filesystem::exists(home + "/plant/demo-incidents.json"));
}
