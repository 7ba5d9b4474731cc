#include "strutil.h"

#include <array>
#include <cerrno>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <locale.h>

#include "perthread.h"

namespace host {

namespace {
// Formats with the C locale active on this thread, so that "%3.3lf" always
// writes a decimal point.
class CNumericScope {
  public:
    CNumericScope() {
        static locale_t c = newlocale(LC_ALL_MASK, "C", locale_t(0));
        previous_ = uselocale(c);
    }
    ~CNumericScope() { uselocale(previous_); }

  private:
    locale_t previous_;
};

char* RingBuffer(std::size_t& size) {
    constexpr int kSlots = 8;
    constexpr std::size_t kSize = 4096;
    auto& buffers = PerThread<std::array<std::array<char, kSize>, kSlots>>();
    thread_local int next = 0;
    char* b = buffers[next].data();
    next = (next + 1) % kSlots;
    size = kSize;
    return b;
}
}  // namespace

std::string FormatV(const char* format, va_list args) {
    CNumericScope scope;
    va_list copy;
    va_copy(copy, args);
    char small[512];
    const int n = std::vsnprintf(small, sizeof small, format, copy);
    va_end(copy);
    if (n < 0) return std::string();
    if (std::size_t(n) < sizeof small) return std::string(small, std::size_t(n));
    std::string out(std::size_t(n), '\0');
    std::vsnprintf(out.data(), out.size() + 1, format, args);
    return out;
}

std::string Format(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string s = FormatV(format, args);
    va_end(args);
    return s;
}

char UpperCp1251(char c) {
    const auto b = static_cast<unsigned char>(c);
    if (b >= 'a' && b <= 'z') return char(b - 32);
    if (b >= 0xE0) return char(b - 32);  // а..я -> А..Я
    if (b == 0xB8) return char(0xA8);    // ё -> Ё
    return c;
}

}  // namespace host

char* StrCpy(char* dst, const char* src, int size) {
    if (!dst || size <= 0) return dst;
    int i = 0;
    if (src)
        for (; i < size - 1 && src[i]; ++i)
            dst[i] = src[i];
    dst[i] = '\0';
    return dst;
}

char* StrCat(char* dst, const char* src, int size) {
    if (!dst || size <= 0) return dst;
    int len = 0;
    while (len < size - 1 && dst[len])
        ++len;
    StrCpy(dst + len, src, size - len);
    return dst;
}

int StrCmp(const char* a, const char* b, int length, int ignoreCase) {
    if (!a) a = "";
    if (!b) b = "";
    for (int i = 0; length < 0 || i < length; ++i) {
        char ca = a[i], cb = b[i];
        if (ignoreCase) {
            ca = host::UpperCp1251(ca);
            cb = host::UpperCp1251(cb);
        }
        if (ca != cb)
            return static_cast<unsigned char>(ca) < static_cast<unsigned char>(cb) ? -1 : 1;
        if (!ca) return 0;
    }
    return 0;
}

const char* StrGetCol(const char* text, int column, const char* delimiters) {
    std::size_t size = 0;
    char* out = host::RingBuffer(size);
    out[0] = '\0';
    if (!text || column < 1) return out;
    if (!delimiters) delimiters = " ";
    auto isDelim = [&](char c) { return c && std::strchr(delimiters, c) != nullptr; };
    const char* p = text;
    for (int col = 1;; ++col) {
        while (isDelim(*p))
            ++p;
        if (!*p) return out;
        const char* start = p;
        while (*p && !isDelim(*p))
            ++p;
        if (col == column) {
            std::size_t n = std::size_t(p - start);
            if (n > size - 1) n = size - 1;
            std::memcpy(out, start, n);
            out[n] = '\0';
            return out;
        }
    }
}

long Str2Digit(const char* word, int radix, long fallback) {
    if (!word || !*word || radix < 2 || radix > 36) return fallback;
    char* end = nullptr;
    errno = 0;
    const long v = std::strtol(word, &end, radix);
    if (errno == ERANGE || end == word || *end != '\0') return fallback;
    return v;
}

const char* Message(const char* format, ...) {
    std::size_t size = 0;
    char* out = host::RingBuffer(size);
    va_list args;
    va_start(args, format);
    const std::string s = host::FormatV(format, args);
    va_end(args);
    StrCpy(out, s.c_str(), int(size));
    return out;
}

int StrPrintf(char* dst, int size, const char* format, ...) {
    va_list args;
    va_start(args, format);
    const std::string s = host::FormatV(format, args);
    va_end(args);
    StrCpy(dst, s.c_str(), size);
    return size > 0 ? int(std::strlen(dst)) : 0;
}
