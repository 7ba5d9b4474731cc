// TW_ContourLine: one incident of a report, a plain 1880-byte record holding a
// copy of its contour; it is stored whole in the report file. Texts are
// zero-terminated cp1251; every byte no member fills is zero.
#pragma once

#include <cstddef>
#include <cstdint>

#include "common/prtime.h"
#include "tw_contour.h"

struct TW_ContourLine {
    TW_Contour Contour;            // the contour as configured when the report was computed
    PRTime Start;                  // the sensor entered the contour's state
    PRTime End;                    // the sensor left it
    char ObjectName[50] = {};      // object of the sensor variable, at most 49 characters
    uint8_t Pad1[2] = {};          // zero
    double Value = 0;              // extreme sensor value of the interval (ValueType)
    char SensorPlace[50] = {};     // place of the sensor variable
    char ProtObjectName[50] = {};  // object of the apparatus variable
    uint8_t ReleResult = 0;        // outcome byte of the relay line
    uint8_t ProtResult = 0;        // outcome byte of the apparatus line
    uint8_t Pad2[2] = {};          // zero
};

static_assert(sizeof(TW_ContourLine) == 1880);
static_assert(offsetof(TW_ContourLine, Contour) == 0);
static_assert(offsetof(TW_ContourLine, Start) == 1692);
static_assert(offsetof(TW_ContourLine, End) == 1704);
static_assert(offsetof(TW_ContourLine, ObjectName) == 1716);
static_assert(offsetof(TW_ContourLine, Pad1) == 1766);
static_assert(offsetof(TW_ContourLine, Value) == 1768);
static_assert(offsetof(TW_ContourLine, SensorPlace) == 1776);
static_assert(offsetof(TW_ContourLine, ProtObjectName) == 1826);
static_assert(offsetof(TW_ContourLine, ReleResult) == 1876);
static_assert(offsetof(TW_ContourLine, ProtResult) == 1877);
static_assert(offsetof(TW_ContourLine, Pad2) == 1878);
static_assert(sizeof(double) == 8);

// A protection non-operation: a line in use (the relay first, then the
// apparatus) whose outcome is anything but exactly "operated" (0x10). The
// second-level report gathers these; a line not in use never counts.
inline bool TW_IsNonOperation(const TW_ContourLine& line) {
    if (line.Contour.Rele.Used && line.ReleResult != 0x10) return true;
    return line.Contour.Prot.Used && line.ProtResult != 0x10;
}
