// The host's machine-readable time text "YYYY-MM-DD HH:MM:SS" (local time), used
// in CSV files and in the configuration database.
#pragma once

#include <cstdint>
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
// A moment of a file that may cross a clock change: "YYYY-MM-DD HH:MM:SS" then,
// optionally, its UTC offset "+HH:MM", "-HH:MM" or "Z" (ISO 8601), as seconds
// since 1970. Without an offset it is local time; a time that the clocks
// passed twice is taken as the first pass and `repeated` set (left alone
// otherwise). False for any other text or a local time the clocks skipped.
bool ParseInstantText(const char* text, int64_t& seconds, bool& repeated);
// "YYYY-MM-DD HH:MM:SS+HH:MM": local time with its UTC offset at that moment.
std::string InstantText(int64_t seconds);
// A calendar day as days since 1970-01-01 and its text "YYYY-MM-DD": a date,
// no zone. Parsing is false for any other text or a date that does not exist.
std::string DayText(long days);
bool ParseDayText(const char* text, long& days);
// The text of a moment.
std::string TimeText(const PRTime& t);
// The text of seconds since 1970 (local time).
std::string TimeText(time_t seconds);
}  // namespace host
