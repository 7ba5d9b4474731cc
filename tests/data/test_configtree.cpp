#include <gtest/gtest.h>

#include <cstring>

#include "common/cp1251.h"
#include "common/lasterror.h"
#include "data/configtree.h"
#include "data_test_util.h"

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
    const std::string path = dir + "/Jobs/Daily.json";
    std::filesystem::create_directories(dir + "/Jobs");
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

    // The file is UTF-8 JSON with the slash key stored as one key.
    const std::string text = twtest::ReadFile(path);
    EXPECT_NE(text.find("\"StateName\": \"Авария\""), std::string::npos) << text;
    EXPECT_NE(text.find("\"Rele/MaxTime\": 30"), std::string::npos) << text;
}

TEST(ConfigTree, ChildrenAreNestedObjectsAndStayValid) {
    const std::string dir = twtest::ScratchDir("children");
    const std::string path = dir + "/tree.json";
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
}

TEST(ConfigTree, ReadOnlyTreeYieldsNullForMissingChildAndIgnoresWrites) {
    const std::string dir = twtest::ScratchDir("readonly");
    const std::string path = dir + "/job.json";
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
    ASSERT_TRUE(fresh.Load((dir + "/none.json").c_str()));
    EXPECT_EQ(fresh.Root()->GetInt("Count", -5), -5);
    EXPECT_NE(fresh.Root()->GetChild("Item0"), nullptr);
}

TEST(ConfigTree, CorruptFileIsRefusedWithPositionAndLeftUnchanged) {
    const std::string dir = twtest::ScratchDir("corrupt");
    const std::string path = dir + "/job.json";
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
    const std::string path = dir + "/job.json";
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
    EXPECT_FALSE(tree.SaveAs((dir + "/missing/job.json").c_str()));
    EXPECT_EQ(std::string(GetIOErrorS_GUI(-2)).rfind("Файл настроек \""_cp + dir, 0), 0u);
}

TEST(ConfigTree, JobFilePathIsUnderJobs) {
    EXPECT_EQ(host::JobFilePath("/home/plant", "Daily"), "/home/plant/Jobs/Daily.json");
    EXPECT_EQ(host::JobFilePath("/home/plant/", "Daily"), "/home/plant/Jobs/Daily.json");
}
