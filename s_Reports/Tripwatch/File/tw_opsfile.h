// The operations file beside a daily report (".two", layout in
// OPERATIONS_FORMAT.md): the day's operations of the relay and apparatus lines
// with their classes. It is written for every day that was computed, with or
// without incidents, so that a day without it is a day whose operations are
// not known, never one without operations.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/prtime.h"
#include "tw_operations.h"
#include "tw_sidefile.h"

inline constexpr uint32_t TW_OpsMagic = 0x4F525754;  // "TWRO" read as one number
inline constexpr uint32_t TW_OpsVersion = 1;
inline constexpr uint32_t TW_OpsEntrySize = sizeof(TW_Operation);

// The header of an operations file as it was read.
struct TW_OpsHeader {
    PRTime Start, End, RunTime;  // the period and the moment of its computation
    uint32_t Count = 0;
};

// The operations file of a report file (cp1251 path): ".two" in place of a
// final ".twr", or appended otherwise.
std::string TW_OpsFileName(const char* reportPath);

// Writes the operations of the period [start, end) computed at `runTime` into
// `path` (cp1251), through a hidden temporary file that then takes the name,
// replacing a file of that name. False (last error set) on failure; no partial
// file is left.
bool TW_WriteOpsFile(const char* path, const PRTime& start, const PRTime& end,
                     const PRTime& runTime, const std::vector<TW_Operation>& ops);

// Writes the same beside `path`, flushed, under the temporary name of
// `pending`, which then puts it in place with Publish. False (last error set)
// on failure.
bool TW_WriteOpsFile(TW_PendingSideFile& pending, const char* path, const PRTime& start,
                     const PRTime& end, const PRTime& runTime,
                     const std::vector<TW_Operation>& ops);

// Reads an operations file (regular files only, at most 256 MiB, every count
// checked against the size, every entry's class and role checked). False (last
// error set: the system's message or the format's) with `ops` empty on failure.
bool TW_ReadOpsFile(const char* path, TW_OpsHeader& header, std::vector<TW_Operation>& ops);
