// StatString<N>: a fixed text buffer of N bytes (at most N-1 characters and a
// terminating zero) followed by its length. Longer texts are cut at N-1.
#pragma once

#include <cstdint>
#include <cstring>

template <int N>
struct StatString {
    static_assert(N > 1);
    char Text[N] = {};
    int32_t Length = 0;

    StatString() = default;
    explicit StatString(const char* s) { Set(s); }

    static constexpr int Capacity() { return N - 1; }

    // Copies at most N-1 characters of `s` (null = empty).
    StatString& Set(const char* s) {
        Length = 0;
        return Append(s);
    }
    // Appends as much of `s` as fits.
    StatString& Append(const char* s) {
        if (s) {
            while (*s && Length < N - 1)
                Text[Length++] = *s++;
        }
        Text[Length] = '\0';
        return *this;
    }
    void Clear() {
        Length = 0;
        Text[0] = '\0';
    }
    bool Empty() const { return Length == 0; }
    const char* c_str() const { return Text; }
    operator const char*() const { return Text; }
    // Re-reads the length after the text was written through Text directly.
    void Sync() {
        Text[N - 1] = '\0';
        Length = int32_t(std::strlen(Text));
    }
};
