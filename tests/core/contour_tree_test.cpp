// The contour set in a configuration tree: keys, widths, defaults, failures.
#include <gtest/gtest.h>

#include <string>

#include "common/exception.h"
#include "common/lasterror.h"
#include "core_test_util.h"
#include "config/configtree.h"
#include "mem_config.h"
#include "tw_contourarray.h"

using namespace host::literals;
using namespace tw_test;

namespace {
const char* const kKeys[] = {"Used",         "Sensor",      "Interval",     "State",
                             "StateName",    "Limit",       "ValueType",    "Rele/Used",
                             "Rele/Sensor",  "Rele/State",  "Rele/MaxTime", "Rele/ONName",
                             "Rele/OFFName", "Prot/Used",   "Prot/Sensor",  "Prot/State",
                             "Prot/MaxTime", "Prot/ONName", "Prot/OFFName"};

// FullContour with its Used bytes as the system stores them: flags 0 or 1.
TW_Contour StoredContour() {
    TW_Contour c = FullContour();
    c.Rele.Used = 1;
    c.Prot.Used = 1;
    return c;
}

// The check's message: a fixed text and the source line number.
bool IsItemAssert(const std::string& message) {
    const std::string prefix = "Assert: [it] in s_Reports/Tripwatch/File/i_TWFile:";
    if (message.rfind(prefix, 0) != 0 || message.size() == prefix.size()) return false;
    return message.find_first_not_of("0123456789", prefix.size()) == std::string::npos;
}
}  // namespace

TEST(ContourTree, SavesCountAndNineteenKeysPerItemInOrderAndWidth) {
    TW_ContourArray set;
    set.Add(FullContour());
    TW_Contour unused;
    set.Add(unused);
    MemConfig node;
    set.Save(&node);

    EXPECT_EQ(node.values["Count"].kind, "int");
    EXPECT_EQ(node.values["Count"].text, "2");
    ASSERT_EQ(node.children.size(), 2u);
    MemConfig& item = *node.children["Item0"];
    ASSERT_EQ(item.order.size(), 19u);
    for (int i = 0; i < 19; ++i)
        EXPECT_EQ(item.order[i], kKeys[i]);

    auto v = [&](const char* k) { return item.values[k].kind + ":" + item.values[k].text; };
    EXPECT_EQ(v("Used"), "byte:1");
    EXPECT_EQ(v("Sensor"), "str:TT101.PV");
    EXPECT_EQ(v("Interval"), "dword:287454020");  // 0x11223344
    EXPECT_EQ(v("State"), "word:41394");          // 0xA1B2
    EXPECT_EQ(v("StateName"), std::string("str:") + "Превышение температуры"_cp);
    EXPECT_EQ(v("ValueType"), "byte:1");
    EXPECT_EQ(v("Rele/Used"), "byte:2");  // the Used bytes as stored, not reduced to 0/1
    EXPECT_EQ(v("Rele/MaxTime"), "dword:1432778632");
    EXPECT_EQ(v("Prot/Used"), "byte:3");
    EXPECT_EQ(v("Prot/MaxTime"), "dword:2578103244");  // 0x99AABBCC, unsigned
    EXPECT_EQ(v("Prot/OFFName"), std::string("str:") + "Выключатель не отключен"_cp);
    EXPECT_EQ(node.children["Item1"]->values["Interval"].text, "0");
}

TEST(ContourTree, RoundTripGivesIdenticalRecords) {
    TW_ContourArray set;
    set.Add(StoredContour());
    TW_Contour second = StoredContour();
    second.Used = 0;
    second.Prot.Used = 0;
    std::strcpy(second.Sensor, std::string(50, 'x').c_str());
    set.Add(second);
    MemConfig node;
    set.Save(&node);

    TW_ContourArray back;
    back.Add(TW_Contour());  // replaced, not appended to
    ASSERT_TRUE(back.Load(&node));
    ASSERT_EQ(back.Count(), 2);
    const TW_Contour first = StoredContour();
    EXPECT_EQ(BytesOf(back.ItemINT(0), 1692), BytesOf(&first, 1692));
    EXPECT_EQ(BytesOf(back.ItemINT(1), 1692), BytesOf(&second, 1692));
}

TEST(ContourTree, EmptySetAndMissingCount) {
    MemConfig node;
    TW_ContourArray().Save(&node);
    EXPECT_EQ(node.values["Count"].text, "0");
    EXPECT_TRUE(node.children.empty());

    TW_ContourArray set;
    set.Add(FullContour());
    MemConfig blank;
    set.Load(&blank);
    EXPECT_EQ(set.Count(), 0);
}

TEST(ContourTree, MissingKeysTakeDefaultsFlagsAreFlagsAndTextsAreCut) {
    MemConfig node;
    node.SetInt("Count", 1);
    HConfigItem* item = node.GetChild("Item0");
    item->SetBool("Used", true);
    item->SetInt("Prot/Used", 1);
    item->SetStr("Sensor", std::string(80, 'A').c_str());
    item->SetStr("Limit", std::string(300, 'L').c_str());

    TW_ContourArray set;
    ASSERT_TRUE(set.Load(&node));
    ASSERT_EQ(set.Count(), 1);
    const TW_Contour& c = *set.ItemINT(0);
    EXPECT_EQ(c.Used, 1);
    EXPECT_EQ(c.Prot.Used, 1);
    EXPECT_EQ(std::string(c.Sensor), std::string(50, 'A'));
    EXPECT_EQ(std::string(c.Limit), std::string(250, 'L'));
    EXPECT_EQ(c.Interval, 10u);
    EXPECT_EQ(c.Rele.MaxTime, 10u);
    EXPECT_EQ(c.Prot.MaxTime, 10u);
    EXPECT_EQ(c.State, 0);
    EXPECT_EQ(c.Rele.Used, 0);
    EXPECT_EQ(c.StateName[0], 0);
}

TEST(ContourTree, SaveWithoutAChildRaisesTheAssertAndLoadNamesTheMissingItem) {
    TW_ContourArray set;
    for (int i = 0; i < 3; ++i)
        set.Add(StoredContour());
    MemConfig node;
    node.refuseAfter = 1;
    try {
        set.Save(&node);
        FAIL() << "no exception";
    } catch (const host::Exception& e) {
        EXPECT_TRUE(IsItemAssert(e.what())) << e.what();
    }
    EXPECT_EQ(node.values["Count"].text, "3");
    EXPECT_EQ(node.children.size(), 1u);  // Item0 was written before the failure
    EXPECT_EQ(node.children["Item0"]->order.size(), 19u);

    // "Count" promises three items; the set ends before the missing one.
    TW_ContourArray back;
    EXPECT_FALSE(back.Load(&node));
    EXPECT_EQ(std::string(GetIOErrorS_GUI(-2)),
              "Настройки, ключ \"Count\": записано 3, но узла Item1 нет"_cp);
    EXPECT_EQ(back.Count(), 1);
}

TEST(ContourTree, RoundTripThroughTheJsonTreeFile) {
    const std::string dir = ScratchDir("ContourTreeJson");
    const std::string path = dir + "job.json";
    TW_ContourArray set;
    set.Add(StoredContour());
    TW_Contour c = StoredContour();
    c.Interval = 0xFFFFFFFF;
    c.Used = 0;
    set.Add(c);
    {
        HConfigTree tree;
        set.Save(tree.Root());
        ASSERT_TRUE(tree.SaveAs(path.c_str()));
    }
    HConfigTree tree;
    ASSERT_TRUE(tree.Load(path.c_str(), true));
    TW_ContourArray back;
    ASSERT_TRUE(back.Load(tree.Root())) << GetIOErrorS_GUI(-2);
    ASSERT_EQ(back.Count(), 2);
    const TW_Contour first = StoredContour();
    EXPECT_EQ(BytesOf(back.ItemINT(0), 1692), BytesOf(&first, 1692));
    EXPECT_EQ(BytesOf(back.ItemINT(1), 1692), BytesOf(&c, 1692));
}
