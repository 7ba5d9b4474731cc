// TW_Contour: one protection contour (sensor, output relay, protected apparatus),
// a plain 1692-byte record copied byte for byte into every incident row of a
// report file. TW_ContourSignal is the layout of its relay and apparatus
// sections. Texts are zero-terminated cp1251 strings; integers little-endian;
// every byte no member fills is zero (all members, padding included, start at 0).
#pragma once

#include <cstddef>
#include <cstdint>

// The relay (`Rele`) or apparatus (`Prot`) section of a contour, 564 bytes.
struct TW_ContourSignal {
    uint8_t Used = 0;        // the section is evaluated
    char Sensor[51] = {};    // signal variable name, at most 50 characters
    uint16_t State = 0;      // state code that means "operated"
    uint8_t Pad1[2] = {};    // zero
    uint32_t MaxTime = 0;    // response window in seconds from the start; 0 = whole excursion
    char ONName[251] = {};   // text of an operated signal
    char OFFName[251] = {};  // text of a signal that did not operate
    uint8_t Pad2[2] = {};    // zero
};

// The contour record, 1692 bytes: sensor section, then `Rele`, then `Prot`.
struct TW_Contour {
    uint8_t Used = 0;          // the contour takes part in the report
    char Sensor[51] = {};      // sensor variable name, at most 50 characters
    uint32_t Interval = 0;     // minimum excursion length in seconds
    uint16_t State = 0;        // state code of an excursion
    char StateName[251] = {};  // event name, shown in reports only
    char Limit[251] = {};      // threshold as free text, shown in reports only
    uint8_t ValueType = 0;     // 0 = maximum, 1 = minimum of the sensor value
    uint8_t Pad1[3] = {};      // zero
    TW_ContourSignal Rele;     // output relay
    TW_ContourSignal Prot;     // protected apparatus

    // Edits the contour in the contour editor dialog over `owner` (a QWidget*,
    // may be null); true when the user accepted, and only then is the contour
    // changed. Defined and exported by the plug-in (Tripplug), where the dialog
    // lives: Tripcore has no user interface.
    __attribute__((visibility("default"))) bool Edit(void* owner);
};

// Value types: the index is the stored `ValueType`.
inline constexpr uint8_t TW_ValueMax = 0;
inline constexpr uint8_t TW_ValueMin = 1;

// Outcome byte of a relay or apparatus line of an incident.
inline constexpr uint8_t TW_Operated = 0x10;    // in its state within the response window
inline constexpr uint8_t TW_AfterError = 0x01;  // afterwards left it for an error state
inline constexpr uint8_t TW_AfterOff = 0x02;    // afterwards left it for another state

static_assert(sizeof(TW_ContourSignal) == 564);
static_assert(offsetof(TW_ContourSignal, Used) == 0);
static_assert(offsetof(TW_ContourSignal, Sensor) == 1);
static_assert(offsetof(TW_ContourSignal, State) == 52);
static_assert(offsetof(TW_ContourSignal, Pad1) == 54);
static_assert(offsetof(TW_ContourSignal, MaxTime) == 56);
static_assert(offsetof(TW_ContourSignal, ONName) == 60);
static_assert(offsetof(TW_ContourSignal, OFFName) == 311);
static_assert(offsetof(TW_ContourSignal, Pad2) == 562);

static_assert(sizeof(TW_Contour) == 1692);
static_assert(offsetof(TW_Contour, Used) == 0);
static_assert(offsetof(TW_Contour, Sensor) == 1);
static_assert(offsetof(TW_Contour, Interval) == 52);
static_assert(offsetof(TW_Contour, State) == 56);
static_assert(offsetof(TW_Contour, StateName) == 58);
static_assert(offsetof(TW_Contour, Limit) == 309);
static_assert(offsetof(TW_Contour, ValueType) == 560);
static_assert(offsetof(TW_Contour, Pad1) == 561);
static_assert(offsetof(TW_Contour, Rele) == 564);
static_assert(offsetof(TW_Contour, Prot) == 1128);
static_assert(offsetof(TW_Contour, Rele) + offsetof(TW_ContourSignal, MaxTime) == 620);
static_assert(offsetof(TW_Contour, Prot) + offsetof(TW_ContourSignal, OFFName) == 1439);
