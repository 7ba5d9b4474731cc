#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "common/cp1251.h"
#include "config/cfgstorage.h"
#include "test_env.h"

using namespace host::literals;

namespace {

std::string ReadAll(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), {});
}

TEST(CfgStorage, ValuesSurviveASaveAndALoadUnderTheirKeyPath) {
    const std::string file = twtest::ScratchDir("cfg") + "new/folder/Tripview.hcfg";
    {
        HCfgStorage store(file.c_str());
        EXPECT_TRUE(store.Load());  // no file yet: an empty store
        HStorageLink link;
        link.SetStorage(&store);
        link.SetKeyPath("IDE");
        EXPECT_EQ(link.Read("Path", ""), "");
        EXPECT_EQ(link.Read("2/Sec0", int32_t(300)), 300);
        EXPECT_EQ(link.Read("Start", 0.0), 0.0);
        link.Write("Path", "/srv/Отчеты"_cp);
        link.Write("2/Sec0", int32_t(250));
        link.Write("Start", 46362.25);
        ASSERT_TRUE(store.Save());  // creates the missing folders
    }
    EXPECT_NE(ReadAll(file).find("\"2/Sec0\": 250"), std::string::npos);
    HCfgStorage store(file.c_str());
    ASSERT_TRUE(store.Load());
    HStorageLink link;
    link.SetStorage(&store);
    link.SetKeyPath("IDE");
    EXPECT_EQ(link.Read("Path", ""), "/srv/Отчеты"_cp);
    EXPECT_EQ(link.Read("2/Sec0", int32_t(300)), 250);
    EXPECT_EQ(link.Read("Start", 0.0), 46362.25);
    EXPECT_EQ(link.Read("Path", int32_t(7)), 7);  // a text read as a number
    link.SetKeyPath("Other");
    EXPECT_EQ(link.Read("Path", "none"), "none");
}

TEST(CfgStorage, ADamagedFileIsKeptAsideAndTheDefaultsApply) {
    const std::string dir = twtest::ScratchDir("cfg-damaged");
    const std::string file = dir + "Tripview.hcfg";
    std::ofstream(file) << "{\"IDE\": {\"Path\": ";
    HCfgStorage store(file.c_str());
    EXPECT_FALSE(store.Load());
    HStorageLink link;
    link.SetStorage(&store);
    link.SetKeyPath("IDE");
    EXPECT_EQ(link.Read("Path", "default"), "default");
    link.Write("Path", "/x");
    ASSERT_TRUE(store.Save());
    EXPECT_EQ(ReadAll(file + ".damaged"), "{\"IDE\": {\"Path\": ");
    EXPECT_NE(ReadAll(file).find("/x"), std::string::npos);
}

}  // namespace
