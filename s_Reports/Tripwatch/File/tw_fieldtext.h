// Fixed text fields of the records: reading stops at the terminating zero or at
// the field's end, whichever comes first (a field read from a file may lack its
// zero); writing keeps at most size-1 characters and zeroes the rest.
#pragma once

#include <cstddef>
#include <cstring>
#include <string>

template <std::size_t N>
std::string TW_FieldText(const char (&field)[N]) {
    return std::string(field, strnlen(field, N));
}

template <std::size_t N>
void TW_SetField(char (&field)[N], const char* text) {
    std::memset(field, 0, N);
    if (text) std::memcpy(field, text, strnlen(text, N - 1));
}
