// Naming report files: period text, counter, extension, limits; writing a new
// file under such a name without replacing one.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "common/osfile.h"
#include "core_test_util.h"
#include "tw_file.h"

using namespace tw_test;
using namespace host::literals;

namespace {
TW_File& Period(TW_File& f, int d1, int mo1, int y1, int h1, int mi1, int h2, int mi2) {
    f.Start.Set(y1, mo1, d1, h1, mi1, 0);
    f.End.Set(y1, mo1, d1, h2, mi2, 0);
    return f;
}
}  // namespace

TEST(MakeFileName, PlainThenCountedNamesNeverTaken) {
    const std::string dir = ScratchDir("NamePlain");
    const std::string base = dir + "Report";
    TW_File f;
    Period(f, 7, 12, 2026, 0, 0, 23, 59);
    // Each name taken by a file before the next is chosen.
    StatString<261> a, b, c;
    f.MakeFileName(a, base.c_str(), nullptr);
    WriteText(a.c_str(), "a");
    f.MakeFileName(b, base.c_str(), nullptr);
    WriteText(b.c_str(), "b");
    f.MakeFileName(c, base.c_str(), nullptr);
    EXPECT_EQ(std::string(a), base + " 07-12-2026 00_00-23_59.twr");
    EXPECT_EQ(std::string(b), base + " 07-12-2026 00_00-23_59 (1).twr");
    EXPECT_EQ(std::string(c), base + " 07-12-2026 00_00-23_59 (2).twr");

    StatString<261> t;
    f.MakeFileName(t, base.c_str(), "txt");
    EXPECT_EQ(std::string(t), base + " 07-12-2026 00_00-23_59.txt");
    WriteText(t.c_str(), "t");
    f.MakeFileName(t, base.c_str(), "txt");
    EXPECT_EQ(std::string(t), base + " 07-12-2026 00_00-23_59 (1).txt");

    // A file made by someone else is skipped just the same.
    WriteText(dir + "Other 07-12-2026 00_00-23_59.twr", "x");
    f.MakeFileName((dir + "Other").c_str(), nullptr);
    EXPECT_EQ(std::string(f.FileName), dir + "Other 07-12-2026 00_00-23_59 (1).twr");
    EXPECT_EQ(ReadText(dir + "Other 07-12-2026 00_00-23_59.twr"), "x");
}

TEST(MakeFileName, PeriodUsesTheStartDateAcrossMidnight) {
    const std::string dir = ScratchDir("NameMidnight");
    TW_File f;
    f.Start.Set(2026, 12, 7, 22, 0, 0);
    f.End.Set(2026, 12, 8, 2, 0, 0);
    f.MakeFileName((dir + "R").c_str(), nullptr);
    EXPECT_EQ(std::string(f.FileName), dir + "R 07-12-2026 22_00-02_00.twr");
}

TEST(MakeFileName, EmptyBaseIsAFileInTheCurrentFolder) {
    const std::string dir = ScratchDir("NameEmptyBase");
    const auto cwd = std::filesystem::current_path();
    std::filesystem::current_path(dir);
    TW_File f;
    Period(f, 1, 2, 2027, 8, 5, 9, 6);
    StatString<261> out;
    f.MakeFileName(out, "", nullptr);
    StatString<261> null;
    f.MakeFileName(null, nullptr, "txt");
    std::filesystem::current_path(cwd);
    EXPECT_EQ(std::string(out), " 01-02-2027 08_05-09_06.twr");
    EXPECT_EQ(std::string(null), " 01-02-2027 08_05-09_06.txt");
    EXPECT_TRUE(std::filesystem::is_empty(dir));  // choosing a name creates nothing
}

TEST(MakeFileName, LongNamesKeepPeriodAndCounterOnDisk) {
    const std::string dir = ScratchDir("NameLimitDisk");
    const auto cwd = std::filesystem::current_path();
    std::filesystem::current_path(dir);
    // 260 characters in all, 255 in the file's own name (the file system's limit);
    // "ж" takes two of those bytes.
    const std::string period = " 07-12-2026 00_00-23_59";
    struct Row {
        std::string folder, name, first, eleventh;
    };
    const Row rows[] = {
        {"abcd/", std::string(300, 'n'), std::string(230, 'n'), std::string(225, 'n')},
        {"ab/", std::string(300, 'n'), std::string(230, 'n'), std::string(225, 'n')},
        {std::string(200, 'f') + "/", std::string(100, 'n'), std::string(34, 'n'),
         std::string(29, 'n')},
        {"cd/", std::string(200, "ж"_cp[0]), std::string(115, "ж"_cp[0]),
         std::string(112, "ж"_cp[0])},
    };
    for (const Row& r : rows) {
        std::filesystem::create_directories(host::OsPath(r.folder.c_str()));
        TW_File f;
        Period(f, 7, 12, 2026, 0, 0, 23, 59);
        std::set<std::string> names;
        for (int i = 0; i < 12; ++i) {
            StatString<261> out;
            f.MakeFileName(out, (r.folder + r.name).c_str(), "t");
            ASSERT_TRUE(names.insert(out.c_str()).second) << out.c_str();
            WriteText(host::OsPath(out), "x");  // the file system takes the name
            EXPECT_LE(out.Length, 260);
        }
        EXPECT_TRUE(names.count(r.folder + r.first + period + ".t")) << r.folder;
        EXPECT_TRUE(names.count(r.folder + r.eleventh + period + " (11).t")) << r.folder;
    }
    std::filesystem::current_path(cwd);
}

TEST(MakeFileName, ConcurrentWritersTakeDistinctNames) {
    const std::string dir = ScratchDir("NameConcurrent");
    const std::string base = dir + "R";
    std::vector<std::string> names(8);
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t)
        threads.emplace_back([&, t] {
            TW_File f;
            Period(f, 7, 12, 2026, 0, 0, 23, 59);
            f.Add(FullLine());
            f.MakeFileName(base.c_str(), nullptr);
            if (f.Save()) names[std::size_t(t)] = f.FileName.c_str();
        });
    for (auto& th : threads)
        th.join();
    EXPECT_EQ(std::set<std::string>(names.begin(), names.end()).size(), 8u);
    int files = 0;
    for (const auto& e : std::filesystem::directory_iterator(dir)) {
        ++files;
        TW_File back;
        EXPECT_TRUE(back.Load(e.path().c_str()) && back.Count() == 1) << e.path();
    }
    EXPECT_EQ(files, 8);  // no temporary file stays
}
