// The operations file beside a report: its bytes, built from the byte table of
// OPERATIONS_FORMAT.md, its name, and every refusal.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>

#include "common/lasterror.h"
#include "core_test_util.h"
#include "tw_opsfile.h"

using namespace host::literals;
using namespace tw_test;

namespace {

// An operations file from the byte table: the header, then `count` entries of
// `entrySize` bytes: relay "K1" state 1, class `cls`, at 03:12:44, tied to item 2
// of an incident at 03:12:40 of contour "T1" (state 5).
Bytes OpsImage(uint32_t count, uint8_t cls = 0, uint32_t entrySize = 140, uint32_t version = 1) {
    Bytes b = SideFileHeader("TWRO", version, entrySize, count);
    for (uint32_t i = 0; i < count; ++i) {
        const std::size_t at = b.size();
        b.resize(at + std::max<uint32_t>(entrySize, 140), 0);
        PutText(b, at, "K1");
        Put8(b, at + 51, 0);
        Put16(b, at + 52, 1);
        Put8(b, at + 54, cls);
        PutTime(b, at + 56, 2026, 12, 7, 3, 12, 44);
        PutTime(b, at + 68, 2026, 12, 7, 3, 12, 40);
        Put32(b, at + 80, 2);
        PutText(b, at + 84, "T1");
        Put16(b, at + 136, 5);
    }
    return b;
}

TW_Operation Op() {
    TW_Operation op =
        MakeOperation("K1", TW_RoleRelay, TW_OpDemand, "T1", PRTime().Set(2026, 12, 7, 3, 12, 44));
    op.IncidentStart.Set(2026, 12, 7, 3, 12, 40);
    op.Incident = 2;
    return op;
}

TEST(OpsFile, BytesAsTheTableSaysAndEveryRefusal) {
    EXPECT_EQ(TW_OpsFileName("/r/Daily 07-12-2026 00_00-00_00.twr"),
              "/r/Daily 07-12-2026 00_00-00_00.two");
    EXPECT_EQ(TW_OpsFileName("/r/a.bin"), "/r/a.bin.two");
    const std::string dir = ScratchDir("OpsFile");
    PRTime start, end, run;
    start.Set(2026, 12, 7);
    end.Set(2026, 12, 8);
    run.Set(2026, 12, 8, 0, 5, 30);
    ASSERT_TRUE(TW_WriteOpsFile((dir + "day.two").c_str(), start, end, run, {Op(), Op()}));
    EXPECT_EQ(ReadBytes(dir + "day.two"), OpsImage(2));
    ASSERT_TRUE(TW_WriteOpsFile((dir + "none.two").c_str(), start, end, run, {}));
    EXPECT_EQ(ReadBytes(dir + "none.two"), OpsImage(0));

    Bytes cut = OpsImage(2);
    cut.pop_back();
    Bytes hugeCount = OpsImage(2);
    Put32(hugeCount, 48, 0xFFFFFFFF);
    Bytes shortHeader = OpsImage(0);
    shortHeader.pop_back();
    Bytes badRole = OpsImage(1);
    Put8(badRole, 52 + 51, 2);
    const struct {
        Bytes bytes;
        std::string problem;  // empty: read
        uint8_t cls = 0;
    } cases[] = {
        {OpsImage(2, TW_OpUnexplained), "", TW_OpUnexplained},
        {OpsImage(1, TW_OpByRelay, 144), "", TW_OpByRelay},  // longer entries, read by their start
        {Bytes{}, "Неверный формат файла срабатываний!"_cp},
        {Bytes(52, 'x'), "Неверный формат файла срабатываний!"_cp},
        {shortHeader, "Файл срабатываний поврежден или обрезан!"_cp},
        {OpsImage(1, 0, 140, 2), "Неизвестная версия файла срабатываний: 2"_cp},
        {OpsImage(1, 0, 139), "Неверный формат записи файла срабатываний!"_cp},
        {cut, "Файл срабатываний поврежден или обрезан!"_cp},
        {hugeCount, "Файл срабатываний поврежден или обрезан!"_cp},
        {OpsImage(2, 6), "Неверная запись 1 файла срабатываний: класс 6, роль 0"_cp},
        {badRole, "Неверная запись 1 файла срабатываний: класс 0, роль 2"_cp},
    };
    for (const auto& c : cases) {
        WriteBytes(dir + "in.two", c.bytes);
        TW_OpsHeader header;
        std::vector<TW_Operation> ops{Op()};
        const bool ok = TW_ReadOpsFile((dir + "in.two").c_str(), header, ops);
        EXPECT_EQ(ok, c.problem.empty()) << c.problem;
        if (!ok) {
            EXPECT_EQ(GetIOErrorS_GUI(-2), c.problem);
            EXPECT_TRUE(ops.empty());
            continue;
        }
        ASSERT_FALSE(ops.empty());
        EXPECT_EQ(header.RunTime, run);
        EXPECT_EQ(ops.size(), header.Count);
        EXPECT_EQ(TW_OperationText(ops.back()),
                  "07.12.2026 03:12:44 relay \"K1\" (contour \"T1\"): " +
                      std::string(TW_OpClassName(c.cls)));
        EXPECT_EQ(ops.back().Incident, 2);
    }
    std::filesystem::remove(dir + "in.two");
    ASSERT_EQ(::mkfifo((dir + "in.two").c_str(), 0600), 0);  // never waits for a writer
    TW_OpsHeader header;
    std::vector<TW_Operation> ops;
    EXPECT_FALSE(TW_ReadOpsFile((dir + "in.two").c_str(), header, ops));
    EXPECT_EQ(std::string(GetIOErrorS_GUI(-2)), "Не является обычным файлом!"_cp);
}

}  // namespace
