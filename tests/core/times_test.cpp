// The times file beside a report: its bytes, built from the byte table of
// TIMES_FORMAT.md, its name, reading it back with the report, and every refusal.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <string>

#include "common/lasterror.h"
#include "core_test_util.h"
#include "tw_file.h"

using namespace host::literals;
using namespace tw_test;

namespace {

constexpr uint32_t kNone = 0xFFFFFFFF;

// A times file from the byte table: header, then `entries` of `entrySize` bytes
// (at least 16) whose first 16 are the four times.
Bytes TimesImage(uint32_t count, const std::vector<std::array<uint32_t, 4>>& entries,
                 uint32_t entrySize = 16, uint32_t version = 1) {
    Bytes b = SideFileHeader("TWRT", version, entrySize, count);
    for (const auto& e : entries) {
        const std::size_t at = b.size();
        b.resize(at + std::max<uint32_t>(entrySize, 16), 0);
        for (std::size_t i = 0; i < 4; ++i)
            Put32(b, at + 4 * i, e[i]);
    }
    return b;
}

// A report of two items with times, to be saved as `path`.
void TwoItems(TW_File& f, const std::string& path) {
    f.Start.Set(2026, 12, 7, 0, 0, 0);
    f.End.Set(2026, 12, 8, 0, 0, 0);
    f.RunTime.Set(2026, 12, 8, 0, 5, 30);
    f.Add(FullLine());
    f.Add(FullLine());
    f.Times = {{{3, kNone}, {12, 40}}, {{kNone, kNone}, {kNone, kNone}}};
    f.FileName.Set(path.c_str());
}

}  // namespace

TEST(TimesFile, BytesAsTheTableSaysAndNameBesideTheReport) {
    EXPECT_EQ(TW_TimesFileName("/r/Daily 07-12-2026 00_00-00_00.twr"),
              "/r/Daily 07-12-2026 00_00-00_00.twt");
    EXPECT_EQ(TW_TimesFileName("/r/a.TWR"), "/r/a.twt");
    EXPECT_EQ(TW_TimesFileName("/r/a.bin"), "/r/a.bin.twt");
    EXPECT_EQ(TW_TimesFileName("twr"), "twr.twt");

    const std::string dir = ScratchDir("TimesGolden");
    TW_File f;
    TwoItems(f, dir + "day.twr");
    ASSERT_TRUE(f.Save());
    StatString<261> written;
    ASSERT_TRUE(f.SaveTimes(&written));
    EXPECT_STREQ(written.c_str(), (dir + "day.twt").c_str());
    EXPECT_EQ(ReadBytes(dir + "day.twt"),
              TimesImage(2, {{3, kNone, 12, 40}, {kNone, kNone, kNone, kNone}}));

    // Read back with the report; the report bytes are those of a report without times.
    TW_File back;
    ASSERT_TRUE(back.Load((dir + "day.twr").c_str()));
    ASSERT_NE(back.TimesOf(1), nullptr);
    EXPECT_EQ(back.TimesOf(0)->Prot.Held, 40u);
    EXPECT_EQ(back.TimesOf(1)->Rele.Response, kNone);
    EXPECT_EQ(back.TimesProblem, "");
    TW_File plain;
    TwoItems(plain, dir + "plain.twr");
    ASSERT_TRUE(plain.Save());
    EXPECT_EQ(Gunzip(dir + "plain.twr"), Gunzip(dir + "day.twr"));

    // Without a times file: no times, no problem; entries longer than 16 bytes
    // are read by their first 16.
    ASSERT_TRUE(back.Load((dir + "plain.twr").c_str()));
    EXPECT_EQ(back.TimesOf(0), nullptr);
    EXPECT_EQ(back.TimesProblem, "");
    WriteBytes(dir + "plain.twt", TimesImage(2, {{1, 2, 3, 4}, {5, 6, 7, 8}}, 20));
    ASSERT_TRUE(back.Load((dir + "plain.twr").c_str()));
    ASSERT_NE(back.TimesOf(1), nullptr);
    EXPECT_EQ(back.TimesOf(1)->Prot.Held, 8u);

    // Nothing is written for a report without times in step with its items.
    TW_File untimed;
    TwoItems(untimed, dir + "untimed.twr");
    untimed.Times.pop_back();
    ASSERT_TRUE(untimed.SaveTimes(&written));
    EXPECT_STREQ(written.c_str(), "");
    EXPECT_FALSE(std::filesystem::exists(dir + "untimed.twt"));
    // Removing items keeps the times of the rest.
    f.DeleteNum(0);
    ASSERT_NE(f.TimesOf(0), nullptr);
    EXPECT_EQ(f.TimesOf(0)->Rele.Response, kNone);
    f.DeleteAll();
    EXPECT_TRUE(f.Times.empty());
}

// A times file that cannot be used leaves the report loaded, without times,
// with the reason.
TEST(TimesFile, RefusedFilesLeaveTheReportWithoutTimes) {
    const std::string dir = ScratchDir("TimesRefused");
    TW_File f;
    TwoItems(f, dir + "day.twr");
    ASSERT_TRUE(f.Save());
    const std::array<uint32_t, 4> e{1, 2, 3, 4};
    Bytes cut = TimesImage(2, {e, e});
    cut.pop_back();
    Bytes late = TimesImage(2, {e, e});
    PutTime(late, 36, 2026, 12, 8, 0, 5, 31);  // another run of the same day
    Bytes shortHeader = TimesImage(0, {});
    shortHeader.pop_back();
    Bytes hugeCount = TimesImage(2, {e, e});
    Put32(hugeCount, 48, 0xFFFFFFFF);
    const struct {
        Bytes bytes;
        std::string problem;
    } cases[] = {
        {Bytes{}, "Неверный формат файла времен срабатывания!"_cp},
        {Bytes(52, 'x'), "Неверный формат файла времен срабатывания!"_cp},
        {shortHeader, "Файл времен срабатывания поврежден или обрезан!"_cp},
        {TimesImage(2, {e, e}, 16, 2), "Неизвестная версия файла времен срабатывания: 2"_cp},
        {TimesImage(2, {e, e}, 15), "Неверный формат записи файла времен срабатывания!"_cp},
        {cut, "Файл времен срабатывания поврежден или обрезан!"_cp},
        {hugeCount, "Файл времен срабатывания поврежден или обрезан!"_cp},
        {TimesImage(3, {e, e, e}),
         "Файл времен срабатывания не относится к отчету: в нем 3 инцидентов за 07.12.2026 "
         "00:00:00 - 08.12.2026 00:00:00 (расчет 08.12.2026 00:05:30), в отчете 2 за "
         "07.12.2026 00:00:00 - 08.12.2026 00:00:00 (расчет 08.12.2026 00:05:30)"_cp},
        {late,
         "Файл времен срабатывания не относится к отчету: в нем 2 инцидентов за 07.12.2026 "
         "00:00:00 - 08.12.2026 00:00:00 (расчет 08.12.2026 00:05:31), в отчете 2 за "
         "07.12.2026 00:00:00 - 08.12.2026 00:00:00 (расчет 08.12.2026 00:05:30)"_cp},
    };
    TW_File back;
    for (const auto& c : cases) {
        WriteBytes(dir + "day.twt", c.bytes);
        ASSERT_TRUE(back.Load((dir + "day.twr").c_str()));
        EXPECT_EQ(back.Count(), 2);
        EXPECT_TRUE(back.Times.empty());
        EXPECT_EQ(back.TimesProblem, c.problem);
        EXPECT_EQ(GetIOErrorN(), 0u);
    }
    std::filesystem::remove(dir + "day.twt");
    ASSERT_EQ(::mkfifo((dir + "day.twt").c_str(), 0600), 0);  // never waits for a writer
    ASSERT_TRUE(back.Load((dir + "day.twr").c_str()));
    EXPECT_EQ(back.TimesProblem, "Не является обычным файлом!"_cp);
    // The next load of a report without a times file forgets the problem.
    TW_File other;
    TwoItems(other, dir + "other.twr");
    ASSERT_TRUE(other.Save());
    ASSERT_TRUE(back.Load((dir + "other.twr").c_str()));
    EXPECT_EQ(back.TimesProblem, "");
}
