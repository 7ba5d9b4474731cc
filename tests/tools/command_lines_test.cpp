// Every program exits 2 for a wrong command, option or argument, and 0 for its
// help.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <filesystem>
#include <string>

namespace {

int ExitCode(const std::string& commandLine) {
    const char* bin = std::getenv("TW_BIN_DIR");
    const std::string cmd = "cd " + std::string(bin ? bin : ".") +
                            " && QT_QPA_PLATFORM=offscreen timeout 20 ./" + commandLine +
                            " >/dev/null 2>&1 </dev/null";
    const int rc = std::system(cmd.c_str());
    return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
}

TEST(CommandLines, WrongUseExits2AndHelpExits0) {
    const struct {
        const char* line;
        int code;
    } cases[] = {
        {"rthost", 2},             // no command
        {"rthost frobnicate", 2},  // unknown command
        {"rthost run", 2},         // missing argument
        {"rthost run /nonexistent --bogus", 2},
        {"rthost demo /nonexistent/x --days many", 2},  // not a number
        {"rthost --help", 0},
        {"Tripview --bogus", 2},
        {"Tripview --path", 2},  // an option without its value
        {"Tripview --batch extra", 2},
        {"Tripview --help", 0},
        {"twdump", 2},
        {"twdump a.twr b.twr", 2},
        {"twdump --bogus", 2},
        {"rthost export /nonexistent --from 2024-03-01 --to 2024-03-02", 2},  // not a time
        {"twdump --help", 0},
        // An empty value is no value left out.
        {"Tripview --batch --path /tmp --from 2026-12-01 --to 2026-12-02 --near-miss ''", 2},
        {"Tripview --batch --path /tmp --from 2026-12-01 --to 2026-12-02 --txt ''", 2},
        {"rthost export /tmp --from '2026-12-01 00:00:00' --to '2026-12-02 00:00:00' "
         "--variable ''",
         2},
        {"rthost run /tmp --end ''", 2},
        {"rthost run ''", 2},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ExitCode(c.line), c.code) << c.line;
}

}  // namespace

namespace {

// The GUI libraries, and those of the network and of PostgreSQL, that the
// dynamic loader opens for `commandLine` (run in the build's bin folder), by
// name.
std::string OptionalLibrariesLoaded(const std::string& commandLine) {
    const char* bin = std::getenv("TW_BIN_DIR");
    const std::string cmd =
        "cd " + std::string(bin ? bin : ".") +
        " && LD_DEBUG=files QT_QPA_PLATFORM=offscreen timeout 60 ./" + commandLine +
        " 2>&1 >/dev/null </dev/null | grep -o " +
        "'file=[^ ]*\\(libQt6Gui\\|libQt6Widgets\\|libcurl\\|libpq\\)[^ ]*' | sort -u";
    std::string out;
    if (FILE* p = popen(cmd.c_str(), "r")) {
        char buf[4096];
        for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, p)) > 0;)
            out.append(buf, n);
        pclose(p);
    }
    return out;
}

TEST(CommandLines, HeadlessWorkLoadsNoToolkitNetworkOrDatabase) {
    const std::string empty = std::string(std::getenv("TW_TEST_TMP")) + "/empty-reports";
    std::system(("mkdir -p '" + empty + "'").c_str());
    const std::string batch =
        "Tripview --batch --path '" + empty + "' --from 2026-12-01 --to 2026-12-02";
    // A day of the demo plant: the daily run loads the module, whose forms
    // come only with a dialog; the data commands load nothing more than
    // rthost's start does.
    const std::string home = std::string(std::getenv("TW_TEST_TMP")) + "/gui-free-home";
    std::system(("rm -rf '" + home + "'").c_str());
    ASSERT_EQ(OptionalLibrariesLoaded("rthost demo '" + home + "' --days 1 --end 2026-12-07"), "");
    ASSERT_TRUE(std::ifstream(home + "/Jobs/Daily.json").good());
    const std::string csv = home + "/day.csv";
    for (const std::string& line :
         {std::string("twdump --help"), std::string("rthost --help"),
          "rthost run '" + home + "' --from 2026-12-06 --to 2026-12-07",
          "rthost export '" + home + "' --from '2026-12-06 00:00:00' --to '2026-12-06 01:00:00' " +
              "--output '" + csv + "'",
          "rthost import '" + home + "' '" + csv + "'", batch}) {
        SCOPED_TRACE(line);
        EXPECT_EQ(OptionalLibrariesLoaded(line), "");
    }
    EXPECT_TRUE(std::ifstream(csv).good());  // the export did its work
    std::string reports;
    for (const auto& entry : std::filesystem::directory_iterator(home + "/Reports"))
        reports += entry.path().extension().string();
    EXPECT_NE(reports.find(".twr"), std::string::npos);  // and so did the run
    // The charts need the toolkit: it comes when they are asked for.
    EXPECT_NE(OptionalLibrariesLoaded(batch + " --stats '" + empty + "/stats'"), "");
    // A home whose archive is a database loads libpq when it opens it (here,
    // to fail to reach it).
    std::ofstream(home + "/Archive.json") << R"({"PostgreSQL": "host=/nonexistent"})";
    EXPECT_NE(OptionalLibrariesLoaded("rthost export '" + home + "' --from '2026-12-06 00:00:00' " +
                                      "--to '2026-12-06 01:00:00' --output '" + csv + "'")
                  .find("libpq"),
              std::string::npos);
}

}  // namespace
