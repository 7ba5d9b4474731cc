// The hour archive folder HOME/Archive/: which day files it holds, and replacing
// several day files as one change (all written, then all renamed into place).
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "data/archivefile.h"

namespace host::archive {

// HOME/Archive/ (cp1251, ending in '/').
std::string ArchiveFolder(const char* home);
// The path of a day's file.
std::string DayFilePath(const char* home, const Day& day);
// The days that have a file, in time order. False (last error naming the
// folder) when the folder does not exist or cannot be read.
bool ListDays(const char* home, std::vector<Day>& days);
// Writes the files (day, bytes) as one change: each to a temporary file beside
// its target, and only when all are written, renamed over the targets. On a
// failure before the renames no target is touched and the temporaries are
// removed; the last error names the file.
bool ReplaceDayFiles(const char* home, const std::vector<std::pair<Day, std::string>>& files);

}  // namespace host::archive
