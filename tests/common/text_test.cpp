#include <gtest/gtest.h>

#include <clocale>
#include <cstring>

#include "common/cp1251.h"
#include "common/statstring.h"
#include "common/strutil.h"

using namespace host::literals;

namespace {

TEST(Cp1251, EveryByteSurvivesARoundTrip) {
    std::string all;
    for (int b = 1; b < 256; ++b)
        all.push_back(char(b));
    std::string back;
    ASSERT_TRUE(host::Utf8ToCp1251(host::Cp1251ToUtf8(all), back));
    EXPECT_EQ(back, all);
    EXPECT_EQ(host::Utf16ToCp1251Lossy(host::Cp1251ToUtf16(all)), all);
}

TEST(Cp1251, LiteralsAndConversionsUseTheCodePage) {
    EXPECT_STREQ("Ёё Ая №"_cp, "\xA8\xB8 \xC0\xFF \xB9");
    EXPECT_EQ(host::Cp1251ToUtf8("\xCF\xF0\xE8\xE2\xE5\xF2"), "Привет");
    std::string out;
    EXPECT_FALSE(host::Utf8ToCp1251("漢字", out));
    EXPECT_FALSE(host::Utf8ToCp1251("\xE0\x80", out));  // truncated sequence
    EXPECT_EQ(host::Utf8ToCp1251Lossy("a漢b"), "a?b");
    EXPECT_EQ(host::Cp1251ToUtf16("\x88"), u"€");
}

TEST(Text, BoundedCopiesKeepTheTerminator) {
    char buf[5];
    EXPECT_STREQ(StrCpy(buf, "abcdefgh", sizeof buf), "abcd");
    EXPECT_STREQ(StrCpy(buf, nullptr, sizeof buf), "");
    StrCpy(buf, "ab", sizeof buf);
    EXPECT_STREQ(StrCat(buf, "cdef", sizeof buf), "abcd");

    StatString<6> s("abcdefgh");
    EXPECT_STREQ(s.c_str(), "abcde");
    EXPECT_EQ(s.Length, 5);
    s.Set("ab").Append("cd").Append("xyz");
    EXPECT_STREQ(s, "abcdx");
}

TEST(Text, CompareColumnsAndNumbers) {
    EXPECT_EQ(StrCmp("abc", "abc", -1, 0), 0);
    EXPECT_LT(StrCmp("abc", "abd", -1, 0), 0);
    EXPECT_EQ(StrCmp("abc", "abd", 2, 0), 0);
    EXPECT_EQ(StrCmp("Привет Ё"_cp, "пРИВЕТ ё"_cp, -1, 1), 0);
    EXPECT_NE(StrCmp("Привет"_cp, "пРИВЕТ"_cp, -1, 0), 0);

    EXPECT_STREQ(StrGetCol("  12  Авария x", 1, " "), "12");
    EXPECT_STREQ(StrGetCol("  12  Авария x", 3, " "), "x");
    EXPECT_STREQ(StrGetCol("12", 2, " "), "");

    EXPECT_EQ(Str2Digit("42", 10, -1), 42);
    EXPECT_EQ(Str2Digit("-7", 10, -1), -7);
    EXPECT_EQ(Str2Digit("ff", 16, -1), 255);
    EXPECT_EQ(Str2Digit("4x", 10, -1), -1);
    EXPECT_EQ(Str2Digit("", 10, -1), -1);
    EXPECT_EQ(Str2Digit("99999999999999999999999", 10, -1), -1);
}

TEST(Text, NumbersKeepTheDecimalPointUnderAnyLocale) {
    const char* had = std::setlocale(LC_ALL, "ru_RU.UTF-8");
    if (!had) GTEST_SKIP() << "ru_RU.UTF-8 locale not installed";
    EXPECT_STREQ(Message("%3.3lf", 1234.5678), "1234.568");
    char buf[16];
    StrPrintf(buf, sizeof buf, "%3.3lf|%d", 5.0, 7);
    EXPECT_STREQ(buf, "5.000|7");
    EXPECT_EQ(host::Format("%.1f", 0.25), "0.2");
    std::setlocale(LC_ALL, "C");
}

}  // namespace
