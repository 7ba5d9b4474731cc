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

TEST(Utf, Utf8AndUtf16ConvertBothWaysAndMalformedTextStaysReadable) {
    const std::u16string lone(1, char16_t(0xD800));
    // Each pair converts both ways, unpaired surrogates included.
    const std::pair<std::string, std::u16string> kBoth[] = {
        {"", u""},
        {"Ab 1", u"Ab 1"},
        {"Отчёт №1 €", u"Отчёт №1 €"},
        {"\xF0\x9F\x98\x80", u"\U0001F600"},
        {"\xED\xA0\x80"
         "a",
         lone + u"a"},
        {"\xED\xB0\x80", std::u16string(1, char16_t(0xDC00))},
    };
    for (const auto& [utf8, utf16] : kBoth) {
        EXPECT_EQ(host::Utf8ToUtf16(utf8), utf16) << utf8;
        EXPECT_EQ(host::Utf16ToUtf8(utf16), utf8) << utf8;
    }
    // Malformed UTF-8: every byte that begins no complete sequence is U+FFFD.
    const std::pair<std::string, std::u16string> kMalformed[] = {
        {"\x80", u"\uFFFD"},
        {"a\xE0\x80", u"a\uFFFD\uFFFD"},
        {"\xC3", u"\uFFFD"},
        {"\xF8\x88\x80\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD"},
        {"\xC3z\xA9", u"\uFFFDz\uFFFD"},
        {"\xC0\xAF", u"/"},  // overlong forms are decoded, not refused
    };
    for (const auto& [utf8, utf16] : kMalformed)
        EXPECT_EQ(host::Utf8ToUtf16(utf8), utf16) << utf8;
    // A high surrogate before a non-surrogate, and a reversed pair, stay unpaired.
    EXPECT_EQ(host::Utf16ToUtf8(lone + u"b" + char16_t(0xDC00) + lone),
              "\xED\xA0\x80"
              "b\xED\xB0\x80\xED\xA0\x80");
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
