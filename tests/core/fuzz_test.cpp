// Random and mutated report and settings files: readers never crash, never read
// past their buffers (run under the sanitizers in CI) and allocate only for data
// actually present.
#include <gtest/gtest.h>
#include <zlib.h>

#include <random>
#include <string>
#include <vector>

#include "core_test_util.h"
#include "tw_contourarray.h"
#include "tw_file.h"

using namespace tw_test;

namespace {

void WriteGzip(const std::string& path, const Bytes& b) {
    gzFile gz = gzopen(path.c_str(), "wb1");
    ASSERT_NE(gz, nullptr);
    if (!b.empty()) gzwrite(gz, b.data(), unsigned(b.size()));
    gzclose(gz);
}

Bytes ValidStream() {
    Bytes b(48, 0);
    Put32(b, 0, 0x01575754);
    Put32(b, 4, 1880);
    PutTime(b, 8, 2026, 12, 7, 0, 0, 0);
    PutTime(b, 20, 2026, 12, 7, 23, 59, 0);
    Put32(b, 44, 3);
    const Bytes item = FullLineImage();
    for (int i = 0; i < 3; ++i)
        b.insert(b.end(), item.begin(), item.end());
    return b;
}

uint32_t Get32(const Bytes& b, std::size_t at) {
    return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 |
           uint32_t(b[at + 3]) << 24;
}

// The mutations every binary reader gets (kinds 0-2): random bytes of a random
// length below `maxRandom`, a few flipped bytes anywhere, or each header field
// at `fields` set to one of `interesting`.
void MutateCommon(Bytes& b, std::mt19937& rng, int kind, std::size_t maxRandom,
                  const std::vector<std::size_t>& fields,
                  const std::vector<uint32_t>& interesting) {
    switch (kind) {
        case 0:
            b.resize(rng() % maxRandom);
            for (auto& x : b)
                x = uint8_t(rng());
            break;
        case 1:
            for (int k = 0; k < 4; ++k)
                b[rng() % b.size()] = uint8_t(rng());
            break;
        case 2:
            for (const std::size_t at : fields)
                Put32(b, at, interesting[rng() % interesting.size()]);
            break;
    }
}

}  // namespace

TEST(Fuzz, MutatedReportFiles) {
    const std::string dir = ScratchDir("FuzzTwr");
    const std::string path = dir + "f.twr";
    std::mt19937 rng(20261207);
    const Bytes valid = ValidStream();
    const std::vector<uint32_t> interesting = {0,    1,    2,          1000,      1879,
                                               1880, 1881, 0x7FFFFFFF, 0xFFFFFFFF};
    for (int round = 0; round < 1500; ++round) {
        Bytes b = valid;
        MutateCommon(b, rng, round % 5, 6000, {4, 44}, interesting);
        switch (round % 5) {
            case 3:  // cut anywhere
                b.resize(rng() % b.size());
                break;
            case 4:  // header values mutated, tail cut
                Put32(b, 4, rng() % 2000);
                Put32(b, 44, rng());
                b.resize(48 + rng() % (b.size() - 48));
                break;
        }
        if (rng() % 2) {
            WriteGzip(path, b);
        } else {
            WriteBytes(path, b);
        }

        TW_File f;
        const int32_t header = f.LoadHeader(path.c_str());
        const bool loaded = f.Load(path.c_str());
        if (b.size() >= 48 && Get32(b, 0) == 0x01575754) {
            const uint32_t recordSize = Get32(b, 4), count = Get32(b, 44);
            if (loaded) {
                // Only items whose bytes were present were kept.
                EXPECT_EQ(uint32_t(f.Count()), count);
                EXPECT_LE(uint64_t(f.Count()) * recordSize, b.size() - 48);
                EXPECT_EQ(header, int32_t(count));
            }
        } else {
            EXPECT_FALSE(loaded) << round;
            EXPECT_EQ(header, 0) << round;
        }
        if (!loaded) {
            EXPECT_LE(f.Count(), 0) << round;
        }
    }
}

TEST(Fuzz, RandomAndMutatedSettingsFiles) {
    const std::string dir = ScratchDir("FuzzWs");
    const std::string path = dir + "f.ws";
    std::mt19937 rng(7);
    TW_ContourArray source;
    for (int i = 0; i < 3; ++i)
        source.Add(FullContour());
    ASSERT_TRUE(source.Save(path.c_str()));
    const std::string valid = ReadText(path);
    const char alphabet[] = "[]=;\r\n \"'Item0123-xUsedState\xC0\xFF";
    for (int round = 0; round < 1000; ++round) {
        std::string text = valid;
        if (round % 2) {
            text.resize(rng() % 3000);
            for (char& c : text)
                c = alphabet[rng() % (sizeof alphabet - 1)];
        } else {
            for (int k = 0; k < 8; ++k)
                text[rng() % text.size()] = char(rng());
        }
        WriteText(path, text);
        TW_ContourArray set;
        ASSERT_TRUE(set.Load(path.c_str()));
        std::size_t sections = 0;
        for (char c : text)
            sections += c == '[';
        EXPECT_LE(std::size_t(set.Count()), sections);
        for (int i = 0; i < set.Count(); ++i) {
            const TW_Contour& c = *set.ItemINT(i);
            EXPECT_LE(c.Used, 1);
            EXPECT_EQ(c.Sensor[50], 0);
            EXPECT_EQ(c.Limit[250], 0);
            EXPECT_EQ(c.Prot.OFFName[250], 0);
        }
    }
}

// Times beside a sound report: whatever their bytes, the report loads, and it
// has times only when they are exactly one per item.
TEST(Fuzz, MutatedTimesFiles) {
    const std::string dir = ScratchDir("FuzzTimes");
    TW_File report;
    report.Start.Set(2026, 12, 7);
    report.End.Set(2026, 12, 8);
    for (int i = 0; i < 3; ++i)
        report.Add(FullLine());
    report.Times.assign(3, TW_IncidentTimes{{1, 2}, {3, 4}});
    report.FileName.Set((dir + "f.twr").c_str());
    ASSERT_TRUE(report.Save() && report.SaveTimes());
    const Bytes valid = ReadBytes(dir + "f.twt");
    std::mt19937 rng(20261208);
    const std::vector<uint32_t> interesting = {0, 1, 2, 3, 15, 16, 17, 0x7FFFFFFF, 0xFFFFFFFF};
    for (int round = 0; round < 500; ++round) {
        Bytes b = valid;
        MutateCommon(b, rng, round % 4, 200, {4 + 4 * (rng() % 2), 48}, interesting);
        if (round % 4 == 3) b.resize(rng() % (b.size() * 2));  // cut or grown anywhere
        WriteBytes(dir + "f.twt", b);
        TW_File back;
        ASSERT_TRUE(back.Load((dir + "f.twr").c_str())) << round;
        EXPECT_EQ(back.Count(), 3);
        EXPECT_TRUE(back.Times.empty() || back.Times.size() == 3u) << round;
        // Either the times, or the reason there are none.
        EXPECT_NE(back.Times.empty(), back.TimesProblem.empty()) << round;
        if (b == valid) {
            EXPECT_FALSE(back.Times.empty()) << round;
        }
    }
}
