// The archive's CSV form "variable,time,state,value": a header line, then one
// sample per line; times "YYYY-MM-DD HH:MM:SS" in local time, in an export with
// the UTC offset of the moment ("+03:00"), so that the two passes of a repeated
// hour stay apart; UTF-8; values with a decimal point, written in their
// shortest exact form. Import fills the hour archive of a home folder; export
// reads it back.
#pragma once

#include <cstdint>
#include <ctime>
#include <functional>
#include <string>
#include <string_view>

#include "common/prtime.h"

namespace host {

inline constexpr const char* kCsvHeader = "variable,time,state,value";

// Appends one CSV line (cp1251 name converted to UTF-8, quoted when needed),
// its time with its UTC offset.
void AppendCsvRow(std::string& out, const char* name, int64_t seconds, uint16_t state,
                  double value);
// One line in two steps, for writers of many rows: the variable's CSV field
// (UTF-8, quoted when it must be) once, then one row per sample, its time
// local without an offset.
std::string CsvNameField(const char* name);
void AppendCsvRow(std::string& out, const std::string& nameField, const PRTime& time,
                  uint16_t state, double value);

struct ImportResult {
    int Rows = 0;                       // samples read
    int DayFiles = 0;                   // day files or rows written
    const char* Units = "day file(s)";  // which of the two
    int FirstPass = 0;  // times without an offset in a repeated hour, taken as its first pass
};

// Imports a CSV file into HOME/Archive/. Each line is checked against the
// configuration valid at its time (HOME/Config/*.rtdb): a known variable, an
// existing local time, a state inside the variable's state set range, a finite
// value. A time may carry its UTC offset; one without it in an hour that the
// clocks passed twice is the first pass. All or nothing: on the first bad line
// nothing is written and the last
// error names the file and the line. A sample with the time of an archived
// sample of the same variable replaces it (a later line wins over an earlier one).
bool ImportCsv(const char* home, const char* csvPath, ImportResult* result = nullptr);

// Writes the archived samples with from <= time <= to (seconds since 1970), of
// one variable (cp1251) or of all when `variable` is null, as CSV text (header
// first) through `write`, a piece of about a megabyte at a time: variable after
// variable in the byte order of their (UTF-8) names, each's in time order.
// False (last error set) when the archive is missing or a file is corrupt, or
// when `write` returns false (which sets the last error itself).
bool ExportCsv(const char* home, int64_t from, int64_t to, const char* variable,
               const std::function<bool(std::string_view)>& write, int* rows = nullptr);

}  // namespace host
