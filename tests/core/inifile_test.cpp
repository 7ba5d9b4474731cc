// The INI-file class behind ".ws" files: lookup rules, numbers, quoting, writing.
#include <gtest/gtest.h>

#include <string>

#include "common/cp1251.h"
#include "common/lasterror.h"
#include "common/inifile.h"
#include "core_test_util.h"

using namespace host::literals;

TEST(IniFile, NamesIgnoreCaseAndTheFirstOfANameWins) {
    const auto ini = host::IniFile::FromText(
        "[Секция]\r\nКлюч=1\r\nключ=2\r\n[СЕКЦИЯ]\r\nДругой=3\r\n[b]\r\n k = v \r\n"_cp);
    EXPECT_TRUE(ini.SectionExists("секция"_cp));
    EXPECT_EQ(ini.ReadInteger("СЕКЦИЯ"_cp, "КЛЮЧ"_cp, 0), 1);
    EXPECT_FALSE(ini.ValueExists("секция"_cp, "Другой"_cp));  // only the first section is searched
    EXPECT_EQ(ini.ReadString("B", "K", "-"), "v");
    EXPECT_EQ(ini.ReadString("B", "missing", "-"), "-");
    EXPECT_FALSE(ini.SectionExists("c"));
}

TEST(IniFile, IntegersAndBooleans) {
    const auto ini = host::IniFile::FromText(
        "[s]\nmax=2147483647\nmin=-2147483648\nover=2147483648\nhex=0xFFFFFFFF\ndollar=$10\n"
        "text=12a\nempty=\nsign=-\nplus=+7\nb0=0\nb1=2\n");
    EXPECT_EQ(ini.ReadInteger("s", "max", 0), 2147483647);
    EXPECT_EQ(ini.ReadInteger("s", "min", 0), INT32_MIN);
    EXPECT_EQ(ini.ReadInteger("s", "over", 5), 5);
    EXPECT_EQ(ini.ReadInteger("s", "hex", 5), -1);
    EXPECT_EQ(ini.ReadInteger("s", "dollar", 5), 16);
    EXPECT_EQ(ini.ReadInteger("s", "text", 5), 5);
    EXPECT_EQ(ini.ReadInteger("s", "empty", 5), 5);
    EXPECT_EQ(ini.ReadInteger("s", "sign", 5), 5);
    EXPECT_EQ(ini.ReadInteger("s", "plus", 5), 7);
    EXPECT_FALSE(ini.ReadBool("s", "b0", true));
    EXPECT_TRUE(ini.ReadBool("s", "b1", false));
    EXPECT_TRUE(ini.ReadBool("s", "text", true));
}

TEST(IniFile, WritesOnceAtomicallyWithCrLf) {
    const std::string dir = twtest::ScratchDir("IniWrite");
    const std::string path = dir + "a.ini";
    tw_test::WriteText(path, "[old]\nx=1\n");
    host::IniFile ini(path.c_str());
    ini.WriteInteger("Old", "X", -5);  // replaces in place, keeps the stored names
    ini.WriteBool("new", "flag", true);
    ini.WriteString("new", "text", "Текст"_cp);
    EXPECT_EQ(tw_test::ReadText(path), "[old]\nx=1\n");  // nothing written before UpdateFile
    ASSERT_TRUE(ini.UpdateFile());
    EXPECT_EQ(tw_test::ReadText(path),
              std::string("[old]\r\nx=-5\r\n\r\n[new]\r\nflag=1\r\ntext=") + "Текст"_cp + "\r\n");
    ini.EraseSection("OLD");
    EXPECT_FALSE(ini.SectionExists("old"));
    EXPECT_EQ(ini.ReadInteger("new", "flag", 0), 1);

    host::IniFile bad = host::IniFile::Create((dir + "missing/a.ini").c_str());
    EXPECT_FALSE(bad.UpdateFile());
    EXPECT_EQ(std::string(GetIOErrorS_GUI(-2)).rfind("Не удалось записать файл"_cp, 0), 0u);
}
