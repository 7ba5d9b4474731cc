// The TrueType reader of the PDF writer: characters to glyphs and advances of
// DejaVu Sans, damaged files refused without reading past them, and subsets
// that keep glyph ids and read back.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "common/osfile.h"
#include "report/truetype_font.h"

using host::report::TrueTypeFont;

namespace {

const char* const kFont = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

std::string FontBytes() {
    std::string data;
    host::ReadWholeFile(kFont, data);
    return data;
}

void Put32(std::string& d, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        d[at + std::size_t(i)] = char(v >> (24 - 8 * i));
}

}  // namespace

TEST(TrueTypeFont, MapsCharactersAndMeasuresGlyphs) {
    const std::string data = FontBytes();
    if (data.empty()) GTEST_SKIP() << "DejaVu Sans is not installed";
    TrueTypeFont font;
    std::string error;
    ASSERT_TRUE(font.Load(data, &error)) << error;
    EXPECT_EQ(font.UnitsPerEm(), 2048);
    EXPECT_GT(font.Ascender(), 0);
    EXPECT_LT(font.Descender(), 0);
    // Latin, Cyrillic and punctuation of the code page have glyphs of their own.
    std::vector<std::uint16_t> glyphs;
    for (char32_t cp : {U'A', U'z', U'0', U'А', U'я', U'Ё', U'ё', U'№', U'«', U'—'}) {
        const std::uint16_t g = font.GlyphOf(cp);
        EXPECT_NE(g, 0) << std::uint32_t(cp);
        for (std::uint16_t other : glyphs)
            EXPECT_NE(g, other) << std::uint32_t(cp);
        glyphs.push_back(g);
    }
    EXPECT_EQ(font.GlyphOf(0x10FFFF), 0);
    EXPECT_EQ(font.GlyphOf(0xE000), 0);  // private use: none in DejaVu Sans
    // Proportional advances: "W" is wider than "i"; digits are all alike.
    EXPECT_GT(font.Advance(font.GlyphOf(U'W')), font.Advance(font.GlyphOf(U'i')));
    EXPECT_EQ(font.Advance(font.GlyphOf(U'1')), font.Advance(font.GlyphOf(U'8')));
    EXPECT_EQ(font.Advance(0xFFFF), font.Advance(std::uint16_t(font.GlyphCount() - 1)));
}

TEST(TrueTypeFont, DamagedFilesAreRefused) {
    const std::string data = FontBytes();
    if (data.empty()) GTEST_SKIP() << "DejaVu Sans is not installed";
    std::string error;
    for (std::size_t size : {std::size_t(0), std::size_t(11), std::size_t(100), std::size_t(4096),
                             data.size() / 2, data.size() - 1}) {
        TrueTypeFont font;
        EXPECT_FALSE(font.Load(data.substr(0, size), &error)) << size;
        EXPECT_FALSE(error.empty());
    }
    TrueTypeFont font;
    EXPECT_FALSE(font.Load(std::string(64, 'x'), &error));
    EXPECT_EQ(error, "not a TrueType font");

    // A table that claims to reach past the end of the file.
    std::string longTable = data;
    Put32(longTable, 12 + 12, std::uint32_t(data.size()));
    EXPECT_FALSE(font.Load(longTable, &error));
    EXPECT_EQ(error, "table outside the file");

    // More tables than the directory has room for.
    std::string manyTables = data.substr(0, 64);
    manyTables[4] = char(0xFF);
    EXPECT_FALSE(font.Load(manyTables, &error));
    EXPECT_EQ(error, "truncated table directory");

    // Every byte of the character map overwritten: refused, or read within bounds.
    for (int fill : {0x00, 0xFF}) {
        std::string bad = data;
        const std::uint32_t tables = std::uint8_t(data[4]) << 8 | std::uint8_t(data[5]);
        for (std::uint32_t i = 0; i < tables; ++i) {
            const std::size_t rec = 12 + i * 16;
            if (data.compare(rec, 4, "cmap") != 0) continue;
            const auto u32 = [&](std::size_t at) {
                return std::uint32_t(std::uint8_t(data[at])) << 24 |
                       std::uint32_t(std::uint8_t(data[at + 1])) << 16 |
                       std::uint32_t(std::uint8_t(data[at + 2])) << 8 | std::uint8_t(data[at + 3]);
            };
            const std::uint32_t at = u32(rec + 8), length = u32(rec + 12);
            for (std::uint32_t j = 4; j < length; ++j)
                bad[at + j] = char(fill);
        }
        TrueTypeFont damaged;
        if (damaged.Load(bad, &error)) damaged.GlyphOf(U'Ж');
    }
}

TEST(TrueTypeFont, SubsetKeepsGlyphIdsAndMapAndReadsBack) {
    const std::string data = FontBytes();
    if (data.empty()) GTEST_SKIP() << "DejaVu Sans is not installed";
    TrueTypeFont font;
    std::string error;
    ASSERT_TRUE(font.Load(data, &error)) << error;
    std::vector<bool> used(std::size_t(font.GlyphCount()), false);
    // "Й" is composed of "И" and a breve in many fonts.
    for (char32_t cp : {U'A', U'Й', U'ё'})
        used[font.GlyphOf(cp)] = true;
    const std::string subset = font.Subset(used);
    EXPECT_LT(subset.size(), data.size() / 10);

    TrueTypeFont small;
    ASSERT_TRUE(small.Load(subset, &error)) << error;
    EXPECT_EQ(small.GlyphCount(), font.GlyphCount());
    EXPECT_EQ(small.UnitsPerEm(), font.UnitsPerEm());
    EXPECT_EQ(small.GlyphOf(U'Й'), font.GlyphOf(U'Й'));
    for (int g = 0; g < font.GlyphCount(); g += 97)
        EXPECT_EQ(small.Advance(std::uint16_t(g)), font.Advance(std::uint16_t(g)));
    // The whole file sums to the magic number once checkSumAdjustment is in.
    std::uint32_t sum = 0;
    ASSERT_EQ(subset.size() % 4, 0u);
    for (std::size_t i = 0; i < subset.size(); i += 4)
        sum += std::uint32_t(std::uint8_t(subset[i])) << 24 |
               std::uint32_t(std::uint8_t(subset[i + 1])) << 16 |
               std::uint32_t(std::uint8_t(subset[i + 2])) << 8 | std::uint8_t(subset[i + 3]);
    EXPECT_EQ(sum, 0xB1B0AFBAu);
}
