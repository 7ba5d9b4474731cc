// Response times of a report's incidents: for the relay and the apparatus line
// of each incident, how long after the excursion's start the line came into its
// state and how long it then held it. The incident computation measures them;
// they are kept beside the ".twr" in a file of their own (".twt", layout in
// TIMES_FORMAT.md), so that the report file and its readers stay as they are.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "common/prtime.h"

class TW_File;

// "No time": the line never came into its state before the excursion ended (or
// held it to the end, or is not in use).
inline constexpr uint32_t TW_NoTime = 0xFFFFFFFF;

// One line (relay or apparatus) of one incident, 8 bytes.
struct TW_LineTimes {
    // Seconds from the excursion's start to the line's first sample in its state
    // inside the excursion; 0 when it was in its state already when the
    // excursion began; TW_NoTime when it did not get there before the end.
    uint32_t Response = TW_NoTime;
    // Seconds from that moment to the first later sample, still inside the
    // excursion, in another state; TW_NoTime when it held until the end (or
    // never got there).
    uint32_t Held = TW_NoTime;
};

// The two lines of one incident, 16 bytes: the entry of the times file.
struct TW_IncidentTimes {
    TW_LineTimes Rele;
    TW_LineTimes Prot;
};

static_assert(sizeof(TW_LineTimes) == 8);
static_assert(offsetof(TW_LineTimes, Response) == 0);
static_assert(offsetof(TW_LineTimes, Held) == 4);
static_assert(sizeof(TW_IncidentTimes) == 16);
static_assert(offsetof(TW_IncidentTimes, Rele) == 0);
static_assert(offsetof(TW_IncidentTimes, Prot) == 8);

// The times file: "TWRT", version, entry size, the report's Start, End and
// RunTime, the entry count, then the entries.
inline constexpr uint32_t TW_TimesMagic = 0x54525754;  // "TWRT" read as one number
inline constexpr uint32_t TW_TimesVersion = 1;
inline constexpr uint32_t TW_TimesEntrySize = sizeof(TW_IncidentTimes);
inline constexpr std::size_t TW_TimesHeaderSize = 52;
// A larger file is refused (EFBIG) before it is read: 16 million incidents.
inline constexpr std::size_t TW_TimesMaxFileSize = std::size_t(256) << 20;

// The header of a times file as it was read.
struct TW_TimesHeader {
    PRTime Start, End, RunTime;  // of the report the times were measured for
    uint32_t Count = 0;          // entries
};

// The times file of a report file (cp1251 path): the name with ".twt" in place
// of a final ".twr" (any letter case), or with ".twt" appended otherwise.
std::string TW_TimesFileName(const char* reportPath);

// Writes the times of `report` (one entry per item, in order) into the file
// `path` (cp1251) as a hidden temporary file beside it, which then takes the
// name, replacing a file of that name. False (last error set) on failure, and
// no temporary file is left.
bool TW_WriteTimesFile(const char* path, const TW_File& report,
                       const std::vector<TW_IncidentTimes>& times);

// Reads a times file: regular files only, at most TW_TimesMaxFileSize bytes,
// the entry count checked against the file size before anything is kept. False
// (last error set: the system's message, or one of the format's own) on
// failure, with `times` empty.
bool TW_ReadTimesFile(const char* path, TW_TimesHeader& header,
                      std::vector<TW_IncidentTimes>& times);

// True when the times were measured for `report`: the same number of incidents,
// the same period and the same moment of computation. False with the message
// in the last error otherwise.
bool TW_TimesMatch(const TW_TimesHeader& header, const TW_File& report);
