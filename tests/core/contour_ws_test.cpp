// The contour set as a ".ws" settings file: exact text, round trips, the rules
// of the INI reader, files from Windows and from Python's configparser.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>

#include "common/lasterror.h"
#include "core_test_util.h"
#include "tw_contourarray.h"

using namespace host::literals;
using namespace tw_test;

namespace {

// FullContour() as the file form gives it back: the Used bytes become 1 or 0.
TW_Contour FullContourAsBooleans() {
    TW_Contour c = FullContour();
    c.Rele.Used = 1;
    c.Prot.Used = 1;
    return c;
}

const std::string kItem0Text = std::string() +
                               "[Item0]\r\n"
                               "Used=1\r\n"
                               "Sensor=TT101.PV\r\n"
                               "Interval=287454020\r\n"
                               "State=41394\r\n"
                               "StateName=" +
                               "Превышение температуры"_cp +
                               "\r\n"
                               "Limit=" +
                               "> 120 °C"_cp +
                               "\r\n"
                               "ValueType=1\r\n"
                               "Rele_Used=1\r\n"
                               "Rele_Sensor=RL7.OUT\r\n"
                               "Rele_State=3085\r\n"
                               "Rele_MaxTime=1432778632\r\n"
                               "Rele_ONName=" +
                               "Реле сработало"_cp +
                               "\r\n"
                               "Rele_OFFName=" +
                               "Реле не сработало"_cp +
                               "\r\n"
                               "Prot_Used=1\r\n"
                               "Prot_Sensor=Q5.POS\r\n"
                               "Prot_State=3599\r\n"
                               "Prot_MaxTime=-1716864052\r\n"
                               "Prot_ONName=" +
                               "Выключатель отключен"_cp +
                               "\r\n"
                               "Prot_OFFName=" +
                               "Выключатель не отключен"_cp + "\r\n";

// Saves the set of FullContour() and `second` as `path`; false when it fails.
bool SaveFullAnd(const TW_Contour& second, const std::string& path) {
    TW_ContourArray set;
    set.Add(FullContour());
    set.Add(second);
    return set.Save(path.c_str());
}

}  // namespace

TEST(ContourWs, WritesTheKeysInOrderAsCp1251WithCrLf) {
    const std::string path = ScratchDir("WsText") + "set.ws";
    TW_Contour empty;
    ASSERT_TRUE(SaveFullAnd(empty, path));
    const std::string item1 =
        "[Item1]\r\nUsed=0\r\nSensor=\r\nInterval=0\r\nState=0\r\nStateName=\r\nLimit=\r\n"
        "ValueType=0\r\nRele_Used=0\r\nRele_Sensor=\r\nRele_State=0\r\nRele_MaxTime=0\r\n"
        "Rele_ONName=\r\nRele_OFFName=\r\nProt_Used=0\r\nProt_Sensor=\r\nProt_State=0\r\n"
        "Prot_MaxTime=0\r\nProt_ONName=\r\nProt_OFFName=\r\n";
    EXPECT_EQ(ReadText(path), kItem0Text + "\r\n" + item1);
}

TEST(ContourWs, RoundTripKeepsEveryValue) {
    const std::string path = ScratchDir("WsRoundTrip") + "set.ws";
    TW_ContourArray set;
    set.Add(FullContourAsBooleans());
    TW_Contour big;
    big.Interval = 3000000000u;  // above 2147483647: written as a negative decimal
    big.Rele.MaxTime = 0xFFFFFFFFu;
    big.State = 0xFFFF;
    big.ValueType = 200;
    std::memset(big.StateName, 'z', 250);
    set.Add(big);
    ASSERT_TRUE(set.Save(path.c_str()));
    const std::string text = ReadText(path);
    EXPECT_NE(text.find("Interval=-1294967296\r\n"), std::string::npos);
    EXPECT_NE(text.find("Rele_MaxTime=-1\r\n"), std::string::npos);
    EXPECT_NE(text.find("State=65535\r\n"), std::string::npos);
    EXPECT_NE(text.find("ValueType=200\r\n"), std::string::npos);

    TW_ContourArray back;
    ASSERT_TRUE(back.Load(path.c_str()));
    ASSERT_EQ(back.Count(), 2);
    const TW_Contour expected0 = FullContourAsBooleans();
    EXPECT_EQ(BytesOf(back.ItemINT(0), 1692), BytesOf(&expected0, 1692));
    EXPECT_EQ(BytesOf(back.ItemINT(1), 1692), BytesOf(&big, 1692));
}

TEST(ContourWs, ShorterSetReplacesTheWholeFile) {
    const std::string path = ScratchDir("WsShorter") + "set.ws";
    TW_ContourArray set;
    for (int i = 0; i < 3; ++i)
        set.Add(FullContourAsBooleans());
    ASSERT_TRUE(set.Save(path.c_str()));
    set.DeleteNum(2);
    set.DeleteNum(1);
    ASSERT_TRUE(set.Save(path.c_str()));
    EXPECT_EQ(ReadText(path), kItem0Text);

    TW_ContourArray back;
    ASSERT_TRUE(back.Load(path.c_str()));
    EXPECT_EQ(back.Count(), 1);
}

TEST(ContourWs, LoadingStopsAtTheFirstMissingSection) {
    const std::string path = ScratchDir("WsGap") + "set.ws";
    WriteText(path, "[Item0]\nSensor=A\n[Item1]\nSensor=B\n[Item3]\nSensor=D\n");
    TW_ContourArray set;
    ASSERT_TRUE(set.Load(path.c_str()));
    ASSERT_EQ(set.Count(), 2);
    EXPECT_STREQ(set.ItemINT(1)->Sensor, "B");
}

TEST(ContourWs, ValuesFollowTheIniRules) {
    const std::string path = ScratchDir("WsRules") + "set.ws";
    const std::string text =
        "; a comment\n"
        "[item0]\n"        // section names ignore case
        "STATE=70000\n"    // low 16 bits: 4464
        "interval=ten\n"   // not a number: default 10
        "Used=5\n"         // booleans from integers
        "Rele_Used=yes\n"  // not a number: default false
        "Prot_Used=-1\n"
        "ValueType=0x101\n"           // hexadecimal, low 8 bits
        "Rele_MaxTime=99999999999\n"  // out of range: default 10
        "Sensor = " +
        std::string(70, 'S') +
        "  \n"  // trimmed, cut to 50
        "Limit=" +
        std::string(300, 'L') +
        "\n"  // cut to 250
        "StateName=\"  quoted  \"\n";
    WriteText(path, text);
    TW_ContourArray set;
    set.Add(FullContour());
    ASSERT_TRUE(set.Load(path.c_str()));
    ASSERT_EQ(set.Count(), 1);
    const TW_Contour& c = *set.ItemINT(0);
    EXPECT_EQ(c.State, 4464);
    EXPECT_EQ(c.Interval, 10u);
    EXPECT_EQ(c.Used, 1);
    EXPECT_EQ(c.Rele.Used, 0);
    EXPECT_EQ(c.Prot.Used, 1);
    EXPECT_EQ(c.ValueType, 1);
    EXPECT_EQ(c.Rele.MaxTime, 10u);
    EXPECT_EQ(c.Prot.MaxTime, 10u);  // missing key: default
    EXPECT_EQ(std::string(c.Sensor), std::string(50, 'S'));
    EXPECT_EQ(std::string(c.Limit), std::string(250, 'L'));
    EXPECT_STREQ(c.StateName, "  quoted  ");
}

TEST(ContourWs, TextsWithOuterSpacesOrQuotesRoundTrip) {
    const std::string path = ScratchDir("WsQuotes") + "set.ws";
    TW_ContourArray set;
    TW_Contour c;
    std::strcpy(c.StateName, " leading and trailing ");
    std::strcpy(c.Limit, "\"in quotes\"");
    std::strcpy(c.Rele.ONName, "line\r\nbreak");  // stays on its line
    set.Add(c);
    ASSERT_TRUE(set.Save(path.c_str()));
    TW_ContourArray back;
    ASSERT_TRUE(back.Load(path.c_str()));
    ASSERT_EQ(back.Count(), 1);
    EXPECT_STREQ(back.ItemINT(0)->StateName, " leading and trailing ");
    EXPECT_STREQ(back.ItemINT(0)->Limit, "\"in quotes\"");
    EXPECT_STREQ(back.ItemINT(0)->Rele.ONName, "line  break");
}

TEST(ContourWs, FileWrittenOnWindowsReadsTheSame) {
    const std::string path = ScratchDir("WsWindows") + "set.ws";
    // As the Windows INI class leaves it: CR LF, cp1251, names in any case,
    // spaces around the equals sign after hand editing.
    std::string text = kItem0Text;
    text.replace(text.find("Rele_Sensor="), 12, "RELE_SENSOR = ");
    text.replace(text.find("[Item0]"), 7, "[ITEM0]");
    text += "\r\n[Item1]\r\nSensor=" + std::string("Датчик"_cp) + "\r\n";
    WriteText(path, text);

    TW_ContourArray set;
    ASSERT_TRUE(set.Load(path.c_str()));
    ASSERT_EQ(set.Count(), 2);
    const TW_Contour expected = FullContourAsBooleans();
    EXPECT_EQ(BytesOf(set.ItemINT(0), 1692), BytesOf(&expected, 1692));
    EXPECT_STREQ(set.ItemINT(1)->Sensor, "Датчик"_cp);
    EXPECT_EQ(set.ItemINT(1)->Interval, 10u);
}

TEST(ContourWs, MissingFileIsAnEmptySet) {
    const std::string dir = ScratchDir("WsMissing");
    TW_ContourArray set;
    set.Add(FullContour());
    EXPECT_TRUE(set.Load((dir + "none.ws").c_str()));
    EXPECT_EQ(set.Count(), 0);
}

TEST(ContourWs, FailuresReturnFalseWithTheReason) {
    const std::string dir = ScratchDir("WsFailures");
    TW_ContourArray set;
    set.Add(FullContour());
    host::ClearError();
    EXPECT_FALSE(set.Save((dir + "no/such/folder/set.ws").c_str()));
    EXPECT_EQ(std::string(GetIOErrorS_GUI(-2)).rfind("Не удалось записать файл"_cp, 0), 0u)
        << GetIOErrorS_GUI(-2);

    host::ClearError();
    EXPECT_FALSE(set.Load(dir.c_str()));  // a folder cannot be read as a file
    EXPECT_EQ(std::string(GetIOErrorS_GUI(-2)).rfind("Не удалось прочитать файл"_cp, 0), 0u)
        << GetIOErrorS_GUI(-2);
    EXPECT_EQ(set.Count(), 1);  // nothing was replaced
}

TEST(ContourWs, PythonConfigparserReadsOurFile) {
    if (std::system("python3 -c 'import configparser' >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "python3 is not available";
    const std::string dir = ScratchDir("WsPython");
    const std::string path = dir + "set.ws";
    TW_Contour c;
    c.Interval = 3000000000u;
    ASSERT_TRUE(SaveFullAnd(c, path));

    const std::string script =
        "import configparser, sys\n"
        "p = configparser.RawConfigParser()\n"
        "p.optionxform = str\n"
        "p.read(sys.argv[1], encoding='cp1251')\n"
        "with open(sys.argv[2], 'w', encoding='utf-8', newline='\\n') as out:\n"
        "    for s in p.sections():\n"
        "        for k, v in p.items(s):\n"
        "            out.write(s + '|' + k + '|' + v + '\\n')\n";
    WriteText(dir + "read.py", script);
    const std::string cmd = "python3 " + dir + "read.py " + path + " " + dir + "out.txt";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    const std::string out = ReadText(dir + "out.txt");
    EXPECT_NE(out.find("Item0|StateName|Превышение температуры\n"), std::string::npos) << out;
    EXPECT_NE(out.find("Item0|Limit|> 120 °C\n"), std::string::npos);
    EXPECT_NE(out.find("Item0|Prot_MaxTime|-1716864052\n"), std::string::npos);
    EXPECT_NE(out.find("Item1|Interval|-1294967296\n"), std::string::npos);
    EXPECT_NE(out.find("Item1|Prot_OFFName|\n"), std::string::npos);
    // 2 sections of 19 keys each.
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 38);
}

TEST(ContourWs, TheExampleSetLoads) {
    const std::string path = std::string(std::getenv("TW_SOURCE_DIR")) + "/examples/one-line.ws";
    TW_ContourArray set;
    ASSERT_TRUE(set.Load(path.c_str()));
    ASSERT_EQ(set.Count(), 1);
    const TW_Contour& c = *set.ItemINT(0);
    EXPECT_STREQ(c.Sensor, "U1.P01.Sensor");
    EXPECT_STREQ(c.StateName, "Перегрев"_cp);
    EXPECT_EQ(c.Prot.MaxTime, 40u);
    EXPECT_EQ(c.Rele.State, 1);
}
