#include "cp1251.h"

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
}  // namespace

std::string Cp1251ToUtf8(std::string_view cp1251) {
    std::string out;
    out.reserve(cp1251.size() * 2);
    for (char c : cp1251)
        AppendUtf8(out, Cp1251ToCodePoint(static_cast<unsigned char>(c)));
    return out;
}

bool Utf8ToCp1251(std::string_view utf8, std::string& out) {
    out.clear();
    out.reserve(utf8.size());
    std::size_t i = 0;
    while (i < utf8.size()) {
        const int b = CodePointToCp1251(DecodeUtf8(utf8, i));
        if (b < 0) return false;
        out.push_back(static_cast<char>(b));
    }
    return true;
}

std::string Utf8ToCp1251Lossy(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    std::size_t i = 0;
    while (i < utf8.size()) {
        const int b = CodePointToCp1251(DecodeUtf8(utf8, i));
        out.push_back(b < 0 ? '?' : static_cast<char>(b));
    }
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

}  // namespace host
