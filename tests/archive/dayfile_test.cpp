#include <gtest/gtest.h>

#include <zlib.h>

#include <cstring>
#include <random>

#include "common/cp1251.h"
#include "common/lasterror.h"
#include "archive/dayfile/archivefile.h"
#include "config/configtree.h"
#include "archive/data_home.h"

using namespace host::archive;
using namespace host::literals;

namespace {

struct Bytes {
    std::string s;
    Bytes& u8(uint8_t v) {
        s += char(v);
        return *this;
    }
    Bytes& u16(uint16_t v) { return u8(uint8_t(v)).u8(uint8_t(v >> 8)); }
    Bytes& u32(uint32_t v) { return u16(uint16_t(v)).u16(uint16_t(v >> 16)); }
    Bytes& u64(uint64_t v) { return u32(uint32_t(v)).u32(uint32_t(v >> 32)); }
    Bytes& raw(const std::string& r) {
        s += r;
        return *this;
    }
};

uint32_t Crc(const std::string& s) {
    return uint32_t(crc32(0, reinterpret_cast<const Bytef*>(s.data()), uInt(s.size())));
}

}  // namespace

// The file of one day with two variables, laid out field by field from the
// format's byte tables.
TEST(ArchiveFile, EncodedDayMatchesTheByteLayout) {
    const Day day = DayOf(twtest::At(2024, 3, 1, 12));
    ASSERT_EQ(day.Begin, twtest::At(2024, 3, 1));
    ASSERT_EQ(day.End - day.Begin, 86400);
    EXPECT_EQ(DayFileName(day), "2024-03-01.rta");

    const std::vector<VariableSamples> vars = {
        {"T2", {{day.Begin + 60, 1, 0.5}}},
        {"A", {{day.Begin + 1, 0, -2.0}, {day.Begin + 86399, 3, 1e300}}},
        {"Empty", {}},
    };
    const std::string file = EncodeDayFile(day, vars);

    Bytes samplesA, samplesT2;
    samplesA.u32(1).u16(0).u64(0xC000000000000000ull);      // -2.0
    samplesA.u32(86399).u16(3).u64(0x7E37E43C8800759Cull);  // 1e300
    samplesT2.u32(60).u16(1).u64(0x3FE0000000000000ull);    // 0.5
    Bytes meta;
    meta.u32(0).u32(0).u32(2).u32(Crc(samplesA.s));
    meta.u32(2).u32(2).u32(1).u32(Crc(samplesT2.s));
    meta.raw(std::string("A\0T2\0", 5));
    Bytes header;
    header.raw("RTHA").u16(1).u16(48).u64(uint64_t(day.Begin)).u32(86400);
    header.u16(2024).u8(3).u8(1).u32(2).u32(5).u32(3).u32(Crc(meta.s));
    header.u32(Crc(header.s)).u32(0);
    ASSERT_EQ(header.s.size(), 48u);
    const std::string expected = header.s + meta.s + samplesA.s + samplesT2.s;
    ASSERT_EQ(file.size(), expected.size());
    EXPECT_EQ(file, expected);

    const std::string dir = twtest::ScratchDir("layout");
    twtest::WriteFile(dir + "2024-03-01.rta", file);
    DayFile f;
    ASSERT_TRUE(f.Open((dir + "2024-03-01.rta").c_str())) << GetIOErrorS_GUI(-2);
    ASSERT_EQ(f.Count(), 2);
    EXPECT_EQ(f.Find("T2"), 1);
    EXPECT_EQ(f.Find("B"), -1);
    std::vector<VariableSamples> back;
    ASSERT_TRUE(f.ReadAll(back));
    EXPECT_EQ(back[0].Name, "A");
    EXPECT_EQ(back[0].Samples, vars[1].Samples);
    EXPECT_EQ(back[1].Samples, vars[0].Samples);
}

TEST(ArchiveFile, DayFileNamesAndDaylightSavingDays) {
    Day d;
    EXPECT_TRUE(DayOfFileName("2024-02-29.rta", d));
    EXPECT_EQ(d.Begin, twtest::At(2024, 2, 29));
    EXPECT_FALSE(DayOfFileName("2023-02-29.rta", d));
    EXPECT_FALSE(DayOfFileName("2024-13-01.rta", d));
    EXPECT_FALSE(DayOfFileName("2024-03-01.rta.tmpABCDEF", d));
    EXPECT_FALSE(DayOfFileName("2024-3-01.rta", d));

    setenv("TZ", "Europe/Berlin", 1);
    tzset();
    const Day spring = DayOf(twtest::At(2024, 3, 31, 12));
    const Day autumn = DayOf(twtest::At(2024, 10, 27, 12));
    setenv("TZ", "Europe/Moscow", 1);
    tzset();
    EXPECT_EQ(spring.End - spring.Begin, 82800);
    EXPECT_EQ(autumn.End - autumn.Begin, 90000);
}

// Every truncation and many random corruptions of a valid file, and random
// bytes, are refused with the file's name or read without harm; never a crash.
TEST(ArchiveFile, CorruptAndTruncatedFilesAreRefusedByName) {
    const Day day = DayOf(twtest::At(2024, 3, 2, 12));
    std::vector<VariableSamples> vars;
    for (int v = 0; v < 5; ++v) {
        VariableSamples s{"V" + std::to_string(v), {}};
        for (int k = 0; k < 20; ++k)
            s.Samples.push_back({day.Begin + k * 100 + v, uint16_t(k % 4), k * 1.5});
        vars.push_back(s);
    }
    const std::string good = EncodeDayFile(day, vars);
    const std::string dir = twtest::ScratchDir("fuzz");
    const std::string path = dir + "2024-03-02.rta";
    const std::string prefix = "Файл архива \""_cp + path + "\"";

    auto tryRead = [&](const std::string& bytes) {
        twtest::WriteFile(path, bytes);
        DayFile f;
        if (!f.Open(path.c_str())) {
            EXPECT_EQ(std::string(GetIOErrorS_GUI(-2)).rfind(prefix, 0), 0u);
            return false;
        }
        std::vector<VariableSamples> all;
        if (!f.ReadAll(all)) {
            EXPECT_EQ(std::string(GetIOErrorS_GUI(-2)).rfind(prefix, 0), 0u);
            return false;
        }
        return true;
    };

    ASSERT_TRUE(tryRead(good));
    for (std::size_t n = 0; n < good.size(); ++n)
        EXPECT_FALSE(tryRead(good.substr(0, n))) << n;
    EXPECT_FALSE(tryRead(good + "x"));

    std::mt19937 rng(1234);
    int refused = 0;
    for (int round = 0; round < 250; ++round) {
        std::string bad = good;
        const int flips = 1 + int(rng() % 3);
        for (int k = 0; k < flips; ++k)
            bad[rng() % bad.size()] ^= char(1 + rng() % 255);
        if (!tryRead(bad)) ++refused;
    }
    EXPECT_EQ(refused, 250);  // every flip hits a checked field or a CRC

    // A variable's samples are read and checked on their own: a damaged block
    // fails only the variable it belongs to.
    std::string oneBad = good;
    oneBad[oneBad.size() - 20 * kSampleSize + 8] ^= 1;  // in the last variable's values
    twtest::WriteFile(path, oneBad);
    DayFile f;
    ASSERT_TRUE(f.Open(path.c_str()));
    std::string raw;
    for (int v = 0; v < f.Count() - 1; ++v)
        EXPECT_TRUE(f.ReadRaw(v, raw)) << v;
    EXPECT_FALSE(f.ReadRaw(f.Count() - 1, raw));

    for (int round = 0; round < 100; ++round) {
        std::string noise(rng() % 400, '\0');
        for (char& c : noise)
            c = char(rng());
        if (round % 2 == 0 && noise.size() >= 4) std::memcpy(noise.data(), "RTHA", 4);
        EXPECT_FALSE(tryRead(noise));
    }
}

// The JSON reader of the configuration tree meets the same treatment.
TEST(ArchiveFile, RandomJsonFilesNeverCrashTheTreeReader) {
    const std::string dir = twtest::ScratchDir("jsonfuzz");
    const std::string path = dir + "job.json";
    const std::string good =
        "{\"Count\": 1, \"Item0\": {\"Used\": 1, \"Sensor\": \"Т1\", \"Rele/Used\": 0}}";
    std::mt19937 rng(99);
    for (int round = 0; round < 150; ++round) {
        std::string bytes = good.substr(0, rng() % (good.size() + 1));
        if (round % 3 == 0)
            for (int k = 0; k < 3 && !bytes.empty(); ++k)
                bytes[rng() % bytes.size()] = char(rng());
        twtest::WriteFile(path, bytes);
        HConfigTree tree;
        if (tree.Load(path.c_str())) {
            HConfigItem* item = tree.Root()->GetChild("Item0");
            (void)tree.Root()->GetInt("Count", 0);
            if (item) (void)item->GetStr("Sensor", "");
        } else {
            EXPECT_EQ(std::string(GetIOErrorS_GUI(-2)).rfind("Файл настроек \""_cp + path, 0), 0u);
            EXPECT_EQ(twtest::ReadFile(path), bytes);
        }
    }
}
