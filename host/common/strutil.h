// Text helpers of the host's common utilities. Texts are zero-terminated cp1251
// byte strings; a copy into a buffer of n bytes keeps at most n-1 characters.
// Numbers are always formatted with a decimal point, whatever LC_NUMERIC says.
#pragma once

#include <cstdarg>
#include <string>

// Copies at most size-1 characters of src (null = empty) and terminates; returns dst.
char* StrCpy(char* dst, const char* src, int size);
// Appends as much of src as fits into a buffer of `size` bytes; returns dst.
char* StrCat(char* dst, const char* src, int size);
// Compares two texts: <0, 0, >0. `length` < 0 compares whole texts, otherwise at
// most `length` characters; `ignoreCase` nonzero folds Latin and Cyrillic case.
int StrCmp(const char* a, const char* b, int length = -1, int ignoreCase = 0);
// The column `column` (counting from 1) of `text` split at any of the characters
// of `delimiters`; runs of delimiters count as one. Empty when there is no such
// column. The result lives in a per-thread ring of buffers.
const char* StrGetCol(const char* text, int column, const char* delimiters);
// The integer value of a whole word in the radix (2..36), or `fallback` when the
// word is empty, holds anything else or does not fit a long.
long Str2Digit(const char* word, int radix, long fallback);
// printf-formatted text in a per-thread ring of buffers (each up to 4095 characters).
const char* Message(const char* format, ...) __attribute__((format(printf, 1, 2)));
// Bounded printf into a buffer of `size` bytes; returns the length written.
int StrPrintf(char* dst, int size, const char* format, ...) __attribute__((format(printf, 3, 4)));

namespace host {
// printf into a std::string, numbers in the C locale.
std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string FormatV(const char* format, va_list args);
// cp1251 case folding to upper case (Latin and Cyrillic letters).
char UpperCp1251(char c);
}  // namespace host
