#include "cp1251.h"

#include <cstring>

namespace host {

namespace {
void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out.push_back(char(cp));
    } else if (cp < 0x800) {
        out.push_back(char(0xC0 | (cp >> 6)));
        out.push_back(char(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(char(0xE0 | (cp >> 12)));
        out.push_back(char(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(char(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(char(0xF0 | (cp >> 18)));
        out.push_back(char(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(char(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(char(0x80 | (cp & 0x3F)));
    }
}

void AppendUtf16(std::u16string& out, char32_t cp) {
    if (cp >= 0x10000) {
        cp -= 0x10000;
        out.push_back(char16_t(0xD800 + (cp >> 10)));
        out.push_back(char16_t(0xDC00 + (cp & 0x3FF)));
    } else {
        out.push_back(char16_t(cp));
    }
}

// Calls f with each code point of `utf8` (U+FFFFFFFF for a byte that begins
// no complete sequence) while f returns true; false when f refused one.
template <class F>
bool ForEachCodePoint(std::string_view utf8, F f) {
    for (std::size_t i = 0; i < utf8.size();)
        if (!f(DecodeUtf8(utf8, i))) return false;
    return true;
}

bool IsHighSurrogate(char32_t c) {
    return c >= 0xD800 && c < 0xDC00;
}
bool IsLowSurrogate(char32_t c) {
    return c >= 0xDC00 && c < 0xE000;
}
}  // namespace

std::string& AppendCp1251AsUtf8(std::string& out, std::string_view cp1251) {
    // Every line of the log passes here: ASCII runs are copied whole, and the
    // output is written through a pointer (a cp1251 byte is at most 3 bytes).
    const std::size_t before = out.size();
    out.resize(before + cp1251.size() * 3);
    char* o = out.data() + before;
    for (std::size_t i = 0; i < cp1251.size();) {
        std::size_t ascii = i;
        while (ascii < cp1251.size() && static_cast<unsigned char>(cp1251[ascii]) < 0x80)
            ++ascii;
        std::memcpy(o, cp1251.data() + i, ascii - i);
        o += ascii - i;
        if (ascii == cp1251.size()) break;
        const char32_t cp = Cp1251ToCodePoint(static_cast<unsigned char>(cp1251[ascii]));
        if (cp < 0x800) {
            *o++ = char(0xC0 | (cp >> 6));
        } else {
            *o++ = char(0xE0 | (cp >> 12));
            *o++ = char(0x80 | ((cp >> 6) & 0x3F));
        }
        *o++ = char(0x80 | (cp & 0x3F));
        i = ascii + 1;
    }
    out.resize(std::size_t(o - out.data()));
    return out;
}

std::string Cp1251ToUtf8(std::string_view cp1251) {
    std::string out;
    return AppendCp1251AsUtf8(out, cp1251);
}

bool Utf8ToCp1251(std::string_view utf8, std::string& out) {
    out.clear();
    out.reserve(utf8.size());
    return ForEachCodePoint(utf8, [&](char32_t cp) {
        const int b = CodePointToCp1251(cp);
        if (b >= 0) out.push_back(static_cast<char>(b));
        return b >= 0;
    });
}

std::string Utf8ToCp1251Lossy(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    ForEachCodePoint(utf8, [&](char32_t cp) {
        const int b = CodePointToCp1251(cp);
        out.push_back(b < 0 ? '?' : static_cast<char>(b));
        return true;
    });
    return out;
}

std::u16string Cp1251ToUtf16(std::string_view cp1251) {
    std::u16string out;
    out.reserve(cp1251.size());
    for (char c : cp1251)
        out.push_back(static_cast<char16_t>(Cp1251ToCodePoint(static_cast<unsigned char>(c))));
    return out;
}

std::string Utf16ToCp1251Lossy(std::u16string_view utf16) {
    std::string out;
    out.reserve(utf16.size());
    for (char16_t c : utf16) {
        const int b = CodePointToCp1251(c);
        out.push_back(b < 0 ? '?' : static_cast<char>(b));
    }
    return out;
}

std::u16string Utf8ToUtf16(std::string_view utf8) {
    std::u16string out;
    out.reserve(utf8.size());
    ForEachCodePoint(utf8, [&](char32_t cp) {
        AppendUtf16(out, cp == 0xFFFFFFFF ? 0xFFFD : cp);
        return true;
    });
    return out;
}

std::string Utf16ToUtf8(std::u16string_view utf16) {
    std::string out;
    out.reserve(utf16.size());
    for (std::size_t i = 0; i < utf16.size(); ++i) {
        char32_t c = utf16[i];
        if (IsHighSurrogate(c) && i + 1 < utf16.size() && IsLowSurrogate(utf16[i + 1]))
            c = 0x10000 + ((c - 0xD800) << 10) + (utf16[++i] - 0xDC00);
        AppendUtf8(out, c);
    }
    return out;
}

}  // namespace host
