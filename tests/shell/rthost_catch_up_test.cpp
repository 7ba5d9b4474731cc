// `rthost run --catch-up` over a demo plant in a zone with daylight saving:
// each step a catch-up on a given "today", with what it must print and the
// last reported day it must leave recorded.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <sstream>
#include <string>

#include "shell_output.h"
#include "test_env.h"

namespace {

namespace fs = std::filesystem;
using twtest::Bin;
using twtest::ExitCode;
using twtest::ReadText;

TEST(CatchUp, RunsTheMissedDaysOnceEachAndRecordsOnlyWhatIsComplete) {
    const std::string home = twtest::ScratchDir("catch-up");
    const std::string env = "TZ=Europe/Berlin ";
    ASSERT_EQ(ExitCode(env + Bin("rthost") + " demo " + home +
                       " --days 14 --end 2026-04-05 --background 10 >/dev/null"),
              0);
    // A folder where the day's kept values go fails that day alone.
    const std::string taken = home + "Values/values_20260329_000000-20260330_000000.csv";
    struct Step {
        const char* what;
        const char* args;  // after "--catch-up"
        int code;
        std::string lines;  // the lines it prints that start with no blank, in order
        const char* recorded;
    };
    const std::string march29 = "2026-03-29 00:00:00 .. 2026-03-30 00:00:00: ";
    const Step steps[] = {
        {"no earlier report: yesterday alone", "--today 2026-03-26", 0,
         "Catch-up of job Daily: 1 day(s), 2026-03-25 .. 2026-03-25 (no earlier report)\n"
         "2026-03-25 00:00:00 .. 2026-03-26 00:00:00: \n",
         "2026-03-25"},
        {"up to date", "--today 2026-03-26", 0,
         "Catch-up of job Daily: up to date (the last report: 2026-03-25)\n", "2026-03-25"},
        {"missed days over the clock change, the middle one failing", "--today 2026-03-31", 1,
         "Catch-up of job Daily: 5 day(s), 2026-03-26 .. 2026-03-30 (the last report: "
         "2026-03-25)\n2026-03-26 00:00:00 .. 2026-03-27 00:00:00: \n"
         "2026-03-27 00:00:00 .. 2026-03-28 00:00:00: \n"
         "2026-03-28 00:00:00 .. 2026-03-29 00:00:00: \n" +
             march29 + "failed\n2026-03-30 00:00:00 .. 2026-03-31 00:00:00: \n" +
             "5 day(s), 1 failed\n",
         "2026-03-28"},
        {"the failed day again, and the day after it", "--today 2026-03-31", 0,
         "Catch-up of job Daily: 2 day(s), 2026-03-29 .. 2026-03-30 (the last report: "
         "2026-03-28)\n" +
             march29 + "\n2026-03-30 00:00:00 .. 2026-03-31 00:00:00: \n2 day(s), 0 failed\n",
         "2026-03-30"},
        {"the limit: the latest days", "--today 2026-04-05 --catch-up-days 2", 0,
         "Catch-up of job Daily: 2 day(s), 2026-04-03 .. 2026-04-04 (the last report: "
         "2026-03-30)\n"
         "2026-04-03 00:00:00 .. 2026-04-04 00:00:00: \n"
         "2026-04-04 00:00:00 .. 2026-04-05 00:00:00: \n2 day(s), 0 failed\n",
         "2026-03-30"},
    };
    for (const Step& s : steps) {
        const bool failing = std::string(s.what).find("failing") != std::string::npos;
        if (failing) fs::create_directories(taken);
        const int code = ExitCode(env + Bin("rthost") + " run " + home + " --catch-up " + s.args +
                                  " >" + home + "out.txt 2>/dev/null");
        fs::remove_all(taken);
        // Of each day's verdict only "failed" is kept (the counts are the plant's).
        std::string lines;
        std::istringstream out(ReadText(home + "out.txt"));
        for (std::string line; std::getline(out, line);) {
            if (line.empty() || line[0] == ' ') continue;
            const std::size_t verdict = line.find(": ", line.find(" .. "));
            if (line.compare(0, 2, "20") == 0 && verdict != std::string::npos)
                line.erase(verdict + 2 + (line.compare(verdict + 2, 6, "failed") ? 0 : 6));
            lines += line + "\n";
        }
        EXPECT_EQ(code, s.code) << s.what;
        EXPECT_EQ(lines, s.lines) << s.what;
        EXPECT_EQ(ReadText(home + "State/Daily.last-day"), std::string(s.recorded) + "\n")
            << s.what;
    }
    // The limit names what it left out; without the record the newest report
    // counts.
    EXPECT_NE(ReadText(home + "out.txt")
                  .find("  3 earlier day(s) from 2026-03-31 left out, over --catch-up-days 2: "
                        "run them with --from and --to\n"),
              std::string::npos);
    // Under a service, whose journal takes standard output and error, a failed
    // day's line carries the error priority and the log's lines theirs.
    fs::create_directories(taken);
    const std::string journal = home + "journal.txt";
    std::ofstream(journal).close();
    struct stat st {};
    ASSERT_EQ(::stat(journal.c_str(), &st), 0);
    EXPECT_EQ(ExitCode(env + "JOURNAL_STREAM=" + std::to_string(st.st_dev) + ":" +
                       std::to_string(st.st_ino) + " " + Bin("rthost") + " run " + home +
                       " --from 2026-03-29 --to 2026-03-29 >>" + journal + " 2>&1"),
              1);
    fs::remove_all(taken);
    const std::string lines = ReadText(journal);
    EXPECT_NE(lines.find("<3>" + march29 + "failed: "), std::string::npos) << lines;
    EXPECT_NE(lines.find("<6>TW: Анализ контуров...\n"), std::string::npos) << lines;
    fs::remove(home + "State/Daily.last-day");
    ASSERT_EQ(ExitCode(env + Bin("rthost") + " run " + home + " --catch-up --today 2026-04-05 >" +
                       home + "out.txt 2>/dev/null"),
              0);
    EXPECT_EQ(ReadText(home + "out.txt"),
              "Catch-up of job Daily: up to date (the last report: 2026-04-04)\n");
}

}  // namespace
