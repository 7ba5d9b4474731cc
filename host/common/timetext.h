// The host's machine-readable time text "YYYY-MM-DD HH:MM:SS" (local time), used
// in CSV files and in the configuration database.
#pragma once

#include <ctime>
#include <string>

#include "common/prtime.h"

namespace host {
// Parses exactly "YYYY-MM-DD HH:MM:SS" (years 1970..9999) into a moment that
// exists in local time (a time skipped by a daylight-saving change is refused).
// False when the text is anything else.
bool ParseTimeText(const char* text, PRTime& out);
// Also accepts "YYYY-MM-DD" (midnight) and "YYYY-MM-DD HH:MM", as typed on a
// command line.
bool ParseMomentText(const char* text, PRTime& out);
// The text of a moment.
std::string TimeText(const PRTime& t);
// The text of seconds since 1970 (local time).
std::string TimeText(time_t seconds);
}  // namespace host
