// The contour record and set: byte layout, counting, texts.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "core_test_util.h"
#include "tw_contourarray.h"
#include "tw_strings.h"

using namespace host::literals;
using namespace tw_test;

TEST(Contour, NewContourIsAllZero) {
    const TW_Contour c;
    EXPECT_EQ(BytesOf(&c, sizeof c), Bytes(1692, 0));
}

TEST(Contour, EveryMemberAtItsByteOffset) {
    const TW_Contour c = FullContour();
    const Bytes expected = FullContourImage();
    const Bytes actual = BytesOf(&c, sizeof c);
    ASSERT_EQ(actual.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i)
        ASSERT_EQ(actual[i], expected[i]) << "byte " << i;
}

TEST(Contour, FiftyCharacterSensorFitsWithItsTerminator) {
    TW_Contour c;
    const std::string name(50, 'S');
    std::memcpy(c.Sensor, name.c_str(), 51);
    EXPECT_EQ(std::string(c.Sensor), name);
    EXPECT_EQ(reinterpret_cast<const uint8_t*>(&c)[52], 0);  // Interval untouched
}

TEST(ContourArray, CfgCountCountsUsedContoursOnly) {
    TW_ContourArray set;
    EXPECT_EQ(set.CfgCount(), 0);
    TW_Contour c;
    set.Add(c);
    set.Add(c);
    EXPECT_EQ(set.Count(), 2);
    EXPECT_EQ(set.CfgCount(), 0);
    c.Used = 7;  // any nonzero byte counts
    set.Add(c);
    TW_Contour unused;
    set.Add(unused);
    c.Used = 1;
    set.Add(c);
    EXPECT_EQ(set.CfgCount(), 2);
    set.DeleteNum(2);
    EXPECT_EQ(set.CfgCount(), 1);
    set.DeleteAll();
    EXPECT_EQ(set.Count(), 0);
}

TEST(ContourArray, ElementsAreCopies) {
    TW_ContourArray set;
    TW_Contour c = FullContour();
    TW_Contour* stored = set.AddINT(&c);
    c.Interval = 1;
    EXPECT_EQ(stored->Interval, 0x11223344u);
    EXPECT_EQ(BytesOf(set.ItemINT(0), 1692), FullContourImage());
    EXPECT_EQ(set.ItemINT(1), nullptr);
}

TEST(ContourTexts, OutcomeByteTexts) {
    const std::pair<uint8_t, const char*> cases[] = {
        {0x10, "Сработка"_cp},        {0x00, "Несработка"_cp},      {0x02, "Несработка"_cp},
        {0x01, "Несработка"_cp},      {0x11, "ВКЛ: Ошибка"_cp},     {0x13, "ВКЛ: Ошибка"_cp},
        {0x12, "ВКЛ: Отключение"_cp}, {0x30, "ВКЛ: неизвестно"_cp}, {0xFF, "ВКЛ: Ошибка"_cp},
    };
    for (const auto& [flags, text] : cases)
        EXPECT_STREQ(TW_ONOFF2Str(flags), text) << "flags " << int(flags);
}

namespace {
struct RecordingList : host::StringList {
    std::vector<std::pair<std::string, intptr_t>> entries{{"old", 9}};
    void Clear() override { entries.clear(); }
    void Add(const char* text, intptr_t value) override { entries.emplace_back(text, value); }
};
}  // namespace

TEST(ContourTexts, FillListGivesTheValueTypesInIndexOrder) {
    RecordingList list;
    TWC_FillList(&list);
    ASSERT_EQ(list.entries.size(), 2u);
    EXPECT_EQ(list.entries[0], std::make_pair(std::string("Максимальное"_cp), intptr_t(0)));
    EXPECT_EQ(list.entries[1], std::make_pair(std::string("Минимальное"_cp), intptr_t(1)));
}
