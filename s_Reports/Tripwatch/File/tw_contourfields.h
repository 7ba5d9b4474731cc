// The nineteen stored values of a contour, in the order in which both stored
// forms write them: key name (tree form; the settings file uses "_" where the
// tree uses "/"), kind, default when read, and the member's place in the record.
// Internal to the contour persistence.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "tw_contour.h"

struct TW_ContourField {
    enum Kind { Used, Text, UInt32, UInt16, UInt8 };
    const char* key;
    Kind kind;
    int32_t defaultValue;
    std::size_t offset;  // within TW_Contour
    std::size_t size;    // member size in bytes
};

std::span<const TW_ContourField> TW_ContourFields();

// Reading and writing a member through its table entry.
int32_t TW_GetFieldInt(const TW_Contour& c, const TW_ContourField& f);
// Stores the low bits of `value` that fit the member.
void TW_SetFieldInt(TW_Contour& c, const TW_ContourField& f, int32_t value);
std::string TW_GetFieldText(const TW_Contour& c, const TW_ContourField& f);
// Copies at most size-1 characters.
void TW_SetFieldText(TW_Contour& c, const TW_ContourField& f, const char* text);
