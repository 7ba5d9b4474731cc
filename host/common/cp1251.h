// Windows-1251 (Cyrillic) codec, and the one converter between UTF-8 and UTF-16.
// Every text inside the system is a cp1251 byte string; these functions convert
// at the edges (file names, console, Qt, JSON, SQLite, spreadsheet strings). The `_cp` literal
// turns a UTF-8 source literal into its cp1251 bytes at compile time, so no Cyrillic text is
// written by hand as escape sequences.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace host {

// Unicode code points of the bytes 0x80..0xFF. 0x98 has no character in the code
// page; it maps to U+0098 so that every byte survives a round trip.
inline constexpr std::array<char16_t, 128> kCp1251High = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, 0x20AC, 0x2030, 0x0409, 0x2039,
    0x040A, 0x040C, 0x040B, 0x040F, 0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x0098, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, 0x00A0, 0x040E, 0x045E, 0x0408,
    0x00A4, 0x0490, 0x00A6, 0x00A7, 0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7, 0x0451, 0x2116, 0x0454, 0x00BB,
    0x0458, 0x0405, 0x0455, 0x0457, 0x0410, 0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0417,
    0x0418, 0x0419, 0x041A, 0x041B, 0x041C, 0x041D, 0x041E, 0x041F, 0x0420, 0x0421, 0x0422, 0x0423,
    0x0424, 0x0425, 0x0426, 0x0427, 0x0428, 0x0429, 0x042A, 0x042B, 0x042C, 0x042D, 0x042E, 0x042F,
    0x0430, 0x0431, 0x0432, 0x0433, 0x0434, 0x0435, 0x0436, 0x0437, 0x0438, 0x0439, 0x043A, 0x043B,
    0x043C, 0x043D, 0x043E, 0x043F, 0x0440, 0x0441, 0x0442, 0x0443, 0x0444, 0x0445, 0x0446, 0x0447,
    0x0448, 0x0449, 0x044A, 0x044B, 0x044C, 0x044D, 0x044E, 0x044F};

// The Unicode code point of one cp1251 byte.
constexpr char32_t Cp1251ToCodePoint(unsigned char b) {
    return b < 0x80 ? char32_t(b) : char32_t(kCp1251High[b - 0x80]);
}

// The cp1251 byte of a code point, or -1 when the code page has none.
constexpr int CodePointToCp1251(char32_t cp) {
    if (cp < 0x80) return int(cp);
    if (cp >= 0x0410 && cp <= 0x044F) return int(cp - 0x0410 + 0xC0);
    for (int i = 0; i < 128; ++i)
        if (kCp1251High[i] == cp) return 0x80 + i;
    return -1;
}

// Decodes one UTF-8 sequence at s[i]; advances i. Returns U+FFFFFFFF for a
// malformed sequence (and advances by one byte).
constexpr char32_t DecodeUtf8(std::string_view s, std::size_t& i) {
    const auto b0 = static_cast<unsigned char>(s[i]);
    auto cont = [&](std::size_t k) -> int {
        if (i + k >= s.size()) return -1;
        const auto c = static_cast<unsigned char>(s[i + k]);
        return (c & 0xC0) == 0x80 ? (c & 0x3F) : -1;
    };
    if (b0 < 0x80) {
        i += 1;
        return b0;
    }
    int need = 0;
    char32_t cp = 0;
    if ((b0 & 0xE0) == 0xC0) {
        need = 1;
        cp = b0 & 0x1F;
    } else if ((b0 & 0xF0) == 0xE0) {
        need = 2;
        cp = b0 & 0x0F;
    } else if ((b0 & 0xF8) == 0xF0) {
        need = 3;
        cp = b0 & 0x07;
    } else {
        i += 1;
        return 0xFFFFFFFF;
    }
    for (int k = 1; k <= need; ++k) {
        const int c = cont(std::size_t(k));
        if (c < 0) {
            i += 1;
            return 0xFFFFFFFF;
        }
        cp = (cp << 6) | char32_t(c);
    }
    i += std::size_t(need) + 1;
    return cp;
}

// A UTF-8 literal captured as a template argument (for the `_cp` literal).
template <std::size_t N>
struct Utf8Literal {
    char text[N]{};
    constexpr Utf8Literal(const char (&s)[N]) {
        for (std::size_t i = 0; i < N; ++i)
            text[i] = s[i];
    }
};

// The cp1251 form of a UTF-8 literal: at most as many bytes as the literal.
template <std::size_t N>
struct Cp1251Literal {
    std::array<char, N> bytes{};
    std::size_t size = 0;
};

template <std::size_t N>
consteval Cp1251Literal<N> EncodeCp1251Literal(const Utf8Literal<N>& lit) {
    Cp1251Literal<N> out;
    std::string_view s(lit.text, N - 1);
    std::size_t i = 0;
    while (i < s.size()) {
        const char32_t cp = DecodeUtf8(s, i);
        const int b = CodePointToCp1251(cp);
        if (b < 0) throw "character without a cp1251 form in a _cp literal";
        out.bytes[out.size++] = static_cast<char>(b);
    }
    out.bytes[out.size] = '\0';
    return out;
}

template <Utf8Literal S>
inline constexpr auto kCp1251Of = EncodeCp1251Literal(S);

namespace literals {
// "Текст"_cp is a pointer to the zero-terminated cp1251 bytes of the literal,
// with static storage duration.
template <Utf8Literal S>
constexpr const char* operator""_cp() {
    return kCp1251Of<S>.bytes.data();
}
}  // namespace literals

// Runtime conversions. Utf8ToCp1251 returns false (and leaves `out` partial)
// when the text holds a character without a cp1251 form or is not valid UTF-8.
std::string Cp1251ToUtf8(std::string_view cp1251);
// The same appended to `out`; returns `out`.
std::string& AppendCp1251AsUtf8(std::string& out, std::string_view cp1251);
bool Utf8ToCp1251(std::string_view utf8, std::string& out);
// Lossy form for display texts: characters without a cp1251 form become '?'.
std::string Utf8ToCp1251Lossy(std::string_view utf8);
std::u16string Cp1251ToUtf16(std::string_view cp1251);
std::string Utf16ToCp1251Lossy(std::u16string_view utf16);
// Never fails: a byte that begins no complete UTF-8 sequence becomes U+FFFD;
// code points above U+FFFF become surrogate pairs.
std::u16string Utf8ToUtf16(std::string_view utf8);
// Never fails: a surrogate pair becomes one code point; an unpaired surrogate
// is written as the three-byte sequence of its own value.
std::string Utf16ToUtf8(std::u16string_view utf16);

}  // namespace host
