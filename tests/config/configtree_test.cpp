#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

#include "common/cp1251.h"
#include "common/lasterror.h"
#include "common/strutil.h"
#include "config/configcheck.h"
#include "config/configtree.h"
#include "data_files.h"

using namespace host::literals;

TEST(ConfigTree, ReadsGiveDefaultsForMissingKeysAndOtherTypes) {
    HConfigTree tree;
    HConfigItem* root = tree.Root();
    EXPECT_EQ(root->GetInt("Count", 7), 7);
    EXPECT_TRUE(root->GetBool("SaveBIN", true));
    EXPECT_DOUBLE_EQ(root->GetDate("CfgDate", 45000.5), 45000.5);
    EXPECT_STREQ(root->GetStr("Name", "Reports"), "Reports");

    root->SetStr("Text", "12");
    root->SetInt("Number", 12);
    EXPECT_EQ(root->GetInt("Text", -1), -1);
    EXPECT_FALSE(root->GetBool("Number", false));
    EXPECT_STREQ(root->GetStr("Number", "dflt"), "dflt");
}

TEST(ConfigTree, TypedValuesSurviveSaveAndLoad) {
    const std::string dir = twtest::ScratchDir("roundtrip");
    const std::string path = dir + "Jobs/Daily.json";
    std::filesystem::create_directories(dir + "Jobs");
    {
        HConfigTree tree;
        HConfigItem* root = tree.Root();
        root->SetBool("SaveBIN", true);
        root->SetByte("Used", 0xFE);
        root->SetWord("State", 65535);
        root->SetInt("Interval", -2147483647 - 1);
        root->SetDate("CfgDate", 45123.75);
        root->SetStr("StateName", "Авария"_cp);
        root->SetInt("Rele/MaxTime", 30);
        root->SetDWord("Prot/MaxTime", 4294967295u);
        root->SetInt("Счетчик"_cp, 5);  // a key is cp1251 too
        ASSERT_TRUE(tree.SaveAs(path.c_str())) << GetIOErrorS_GUI(-2);
    }
    HConfigTree tree;
    ASSERT_TRUE(tree.Load(path.c_str()));
    HConfigItem* root = tree.Root();
    EXPECT_TRUE(root->GetBool("SaveBIN", false));
    EXPECT_EQ(root->GetInt("Used", 0), 0xFE);
    EXPECT_EQ(root->GetInt("State", 0), 65535);
    EXPECT_EQ(root->GetInt("Interval", 0), -2147483647 - 1);
    EXPECT_DOUBLE_EQ(root->GetDate("CfgDate", 0), 45123.75);
    EXPECT_STREQ(root->GetStr("StateName", ""), "Авария"_cp);
    EXPECT_EQ(root->GetInt("Rele/MaxTime", 0), 30);
    EXPECT_EQ(root->GetInt("Счетчик"_cp, 0), 5);
    // What the writes store, the checked reads of the same kind take unchanged.
    HConfigCheck check;
    EXPECT_TRUE(check.Bool(*root, "SaveBIN", false));
    EXPECT_EQ(check.Int(*root, "Used", 0, 255, 0), 0xFE);
    EXPECT_EQ(check.Int(*root, "State", 0, 65535, 0), 65535);
    EXPECT_EQ(check.Int(*root, "Interval", INT32_MIN, INT32_MAX, 0), INT32_MIN);
    EXPECT_EQ(check.Int(*root, "Prot/MaxTime", 0, UINT32_MAX, 0), UINT32_MAX);
    EXPECT_DOUBLE_EQ(check.Date(*root, "CfgDate", 0), 45123.75);
    EXPECT_EQ(check.Str(*root, "StateName", ""), "Авария"_cp);
    EXPECT_TRUE(check.Ok()) << check.Problem();

    // The file is UTF-8 JSON with the slash key stored as one key.
    const std::string text = twtest::ReadFile(path);
    EXPECT_NE(text.find("\"StateName\": \"Авария\""), std::string::npos) << text;
    EXPECT_NE(text.find("\"Rele/MaxTime\": 30"), std::string::npos) << text;
    EXPECT_NE(text.find("\"Счетчик\": 5"), std::string::npos) << text;
}

TEST(ConfigTree, ChildrenAreNestedObjectsAndStayValid) {
    const std::string dir = twtest::ScratchDir("children");
    const std::string path = dir + "tree.json";
    HConfigTree tree;
    HConfigItem* root = tree.Root();
    root->SetInt("Count", 2);
    HConfigItem* item0 = root->GetChild("Item0");
    ASSERT_NE(item0, nullptr);
    EXPECT_EQ(root->GetChild("Item0"), item0);
    item0->SetStr("Sensor", "T1"_cp);
    HConfigItem* item1 = root->GetChild("Item1");
    item1->SetStr("Sensor", "T2");
    // Writing more keys into the parent must not invalidate earlier children.
    for (int i = 0; i < 50; ++i)
        root->SetInt(("K" + std::to_string(i)).c_str(), i);
    item0->SetInt("Interval", 5);
    EXPECT_EQ(item0->GetInt("Interval", 0), 5);
    HConfigItem* deep = item1->GetChild("Sub")->GetChild("Deeper");
    deep->SetInt("X", 3);
    ASSERT_TRUE(tree.SaveAs(path.c_str()));

    HConfigTree back;
    ASSERT_TRUE(back.Load(path.c_str(), true));
    EXPECT_EQ(back.Root()->GetInt("Count", 0), 2);
    ASSERT_NE(back.Root()->GetChild("Item1"), nullptr);
    EXPECT_STREQ(back.Root()->GetChild("Item1")->GetStr("Sensor", ""), "T2");
    EXPECT_EQ(back.Root()->GetChild("Item0")->GetInt("Interval", 0), 5);
    EXPECT_EQ(back.Root()->GetChild("Item1")->GetChild("Sub")->GetChild("Deeper")->GetInt("X", 0),
              3);
    // A child read between writes that move its parent's members, or that turn
    // its key into a plain value, finds its object anew.
    EXPECT_STREQ(item0->GetStr("Sensor", ""), "T1");
    for (int i = 50; i < 200; ++i)
        root->SetInt(("K" + std::to_string(i)).c_str(), i);
    EXPECT_STREQ(item0->GetStr("Sensor", ""), "T1");
    root->SetInt("Item0", 7);
    EXPECT_STREQ(item0->GetStr("Sensor", "none"), "none");
}

TEST(ConfigTree, ReadOnlyTreeYieldsNullForMissingChildAndIgnoresWrites) {
    const std::string dir = twtest::ScratchDir("readonly");
    const std::string path = dir + "job.json";
    twtest::WriteFile(path, "{\"Item0\": {\"Used\": 1}, \"Count\": 1, \"Plain\": 4}");
    HConfigTree tree;
    ASSERT_TRUE(tree.Load(path.c_str(), true));
    EXPECT_EQ(tree.Root()->GetChild("Item1"), nullptr);
    EXPECT_EQ(tree.Root()->GetChild("Plain"), nullptr);  // a value is not a child
    ASSERT_NE(tree.Root()->GetChild("Item0"), nullptr);
    tree.Root()->SetInt("Count", 9);
    EXPECT_EQ(tree.Root()->GetInt("Count", 0), 1);
    EXPECT_FALSE(tree.Save());
    EXPECT_EQ(twtest::ReadFile(path), "{\"Item0\": {\"Used\": 1}, \"Count\": 1, \"Plain\": 4}");

    // A missing file is an empty tree; writable, GetChild creates.
    HConfigTree fresh;
    ASSERT_TRUE(fresh.Load((dir + "none.json").c_str()));
    EXPECT_EQ(fresh.Root()->GetInt("Count", -5), -5);
    EXPECT_NE(fresh.Root()->GetChild("Item0"), nullptr);
}

TEST(ConfigTree, CorruptFileIsRefusedWithPositionAndLeftUnchanged) {
    const std::string dir = twtest::ScratchDir("corrupt");
    const std::string path = dir + "job.json";
    const std::string bad = "{\n  \"Count\": 2,\n  \"Item0\": {\"Used\" 1}\n}\n";
    twtest::WriteFile(path, bad);
    HConfigTree tree;
    tree.Root()->SetInt("Before", 1);
    EXPECT_FALSE(tree.Load(path.c_str()));
    EXPECT_EQ(std::string(GetIOErrorS_GUI(-2)),
              "Файл настроек \""_cp + path + "\" поврежден: ошибка JSON в строке 3, позиция 20"_cp);
    EXPECT_EQ(tree.Root()->GetInt("Before", 0), 1);  // the tree is kept
    EXPECT_EQ(twtest::ReadFile(path), bad);

    twtest::WriteFile(path, "[1, 2]");
    EXPECT_FALSE(tree.Load(path.c_str()));
    EXPECT_EQ(std::string(GetIOErrorS_GUI(-2)),
              "Файл настроек \""_cp + path + "\" поврежден: корень не объект JSON"_cp);
}

TEST(ConfigTree, SaveReplacesTheFileAtomicallyAndLeavesNoTemporaryFile) {
    const std::string dir = twtest::ScratchDir("atomic");
    const std::string path = dir + "job.json";
    HConfigTree tree;
    ASSERT_TRUE(tree.Load(path.c_str()));
    tree.Root()->SetInt("A", 1);
    ASSERT_TRUE(tree.Save());
    tree.Root()->SetInt("A", 2);
    ASSERT_TRUE(tree.Save());
    int files = 0;
    for (auto& e : std::filesystem::directory_iterator(dir)) {
        (void)e;
        ++files;
    }
    EXPECT_EQ(files, 1);
    EXPECT_EQ(twtest::ReadFile(path), "{\n  \"A\": 2\n}\n");
    // A folder that does not exist: the save fails and says so.
    EXPECT_FALSE(tree.SaveAs((dir + "missing/job.json").c_str()));
    EXPECT_EQ(std::string(GetIOErrorS_GUI(-2)).rfind("Файл настроек \""_cp + dir, 0), 0u);
}

TEST(ConfigTree, JobFilePathIsUnderJobs) {
    EXPECT_EQ(host::JobFilePath("/home/plant", "Daily"), "/home/plant/Jobs/Daily.json");
    EXPECT_EQ(host::JobFilePath("/home/plant/", "Daily"), "/home/plant/Jobs/Daily.json");
}

TEST(ConfigCheck, EachKindTakesItsOwnValuesAndARefusalNamesFileNodeKeyAndExpectation) {
    const std::string path = twtest::ScratchDir("check") + "job.json";
    // Kinds: 'b' flag (default true), 'w' integer 0..65535 (default 7), 'd' date
    // (default 1.5), 's' text (default "dflt"). `expected` is the value read or,
    // for a refusal, the message after the key.
    struct Row {
        std::string json;
        char kind;
        bool refused;
        std::string expected;
    };
    const std::string flag = "ожидается флаг (true, false, 1 или 0), записано "_cp;
    const std::string word = "ожидается целое число от 0 до 65535, записано "_cp;
    const std::string text = "ожидается текст в кавычках, записано "_cp;
    const Row rows[] = {
        {"true", 'b', false, "1"},
        {"false", 'b', false, "0"},
        {"0", 'b', false, "0"},
        {"1", 'b', false, "1"},
        {"2", 'b', true, flag + "2"},
        {"\"false\"", 'b', true, flag + "\"false\""},
        {"65535", 'w', false, "65535"},
        {"0", 'w', false, "0"},
        {"65536", 'w', true, word + "65536"},
        {"-1", 'w', true, word + "-1"},
        {"20.0", 'w', true, word + "20.0"},
        {"\"20\"", 'w', true, word + "\"20\""},
        {"true", 'w', true, word + "true"},
        {"18446744073709551615", 'w', true, word + "18446744073709551615"},
        {"\"" + std::string(50, 'x') + "\"", 'w', true,
         word + "\"" + std::string(40, 'x') + "...\""},
        {"45000", 'd', false, "45000.000"},
        {"45000.25", 'd', false, "45000.250"},
        {"\"2026-12-01\"", 'd', true,
         "ожидается дата (число дней от 30.12.1899), записано \"2026-12-01\""_cp},
        {"\"Отчет\"", 's', false, "Отчет"_cp},
        {"5", 's', true, text + "5"},
        {"null", 's', true, text + "null"},
        {"[1, 2]", 's', true, text + "[1,2]"},
        {"{\"a\": 1}", 's', true, text + "{\"a\":1}"},
    };
    std::string json = "{\"Name\": \"x\", \"Item0\": {";
    for (std::size_t i = 0; i < std::size(rows); ++i)
        json += (i ? ", \"K" : "\"K") + std::to_string(i) + "\": " + rows[i].json;
    twtest::WriteFile(path, json + "}}");
    HConfigTree tree;
    ASSERT_TRUE(tree.Load(path.c_str(), true));
    HConfigItem& item = *tree.Root()->GetChild("Item0");
    const std::string dflt[] = {"1", "7", "1.500", "dflt"};
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        const Row& r = rows[i];
        const std::string key = "K" + std::to_string(i);
        HConfigCheck check;
        std::string read;
        switch (r.kind) {
            case 'b':
                read = check.Bool(item, key.c_str(), true) ? "1" : "0";
                break;
            case 'w':
                read = std::to_string(check.Int(item, key.c_str(), 0, 65535, 7));
                break;
            case 'd':
                read = host::Format("%.3f", check.Date(item, key.c_str(), 1.5));
                break;
            default:
                read = check.Str(item, key.c_str(), "dflt");
                break;
        }
        const int d = r.kind == 'b' ? 0 : r.kind == 'w' ? 1 : r.kind == 'd' ? 2 : 3;
        EXPECT_EQ(read, r.refused ? dflt[d] : r.expected) << r.json;
        EXPECT_EQ(check.Problem(), r.refused ? "Файл настроек \""_cp + path +
                                                   "\", узел Item0, ключ \""_cp + key +
                                                   "\": " + r.expected
                                             : "")
            << r.json;
    }

    // A missing key gives its default; the first problem is kept, at the root
    // without a node; Report hands it to the last error.
    HConfigCheck check;
    EXPECT_EQ(check.Int(*tree.Root(), "Count", 0, 9, 4), 4);
    EXPECT_TRUE(check.Report());
    check.Bool(*tree.Root(), "Name", false);
    check.Int(item, "K4", 0, 1, 0);
    EXPECT_FALSE(check.Report());
    EXPECT_EQ(std::string(GetIOErrorS_GUI(-2)),
              "Файл настроек \""_cp + path + "\", ключ \"Name\": "_cp + flag + "\"x\"");
    // A tree without a file names no file.
    HConfigTree bare;
    bare.Root()->GetChild("Item2")->SetInt("Used", 5);
    HConfigCheck inMemory;
    inMemory.Bool(*bare.Root()->GetChild("Item2"), "Used", false);
    EXPECT_EQ(inMemory.Problem(), "Настройки, узел Item2, ключ \"Used\": "_cp + flag + "5");
}
