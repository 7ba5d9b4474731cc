// The hour archive folder HOME/Archive/: which day files it holds, and replacing
// several day files as one change (all written, a journal put in place, then all
// renamed into place), completed by the next opening if the writer dies.
#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "archive/dayfile/archiveaccess.h"
#include "archive/dayfile/archivefile.h"

namespace host::archive {

// HOME/Archive/ (cp1251, ending in '/').
std::string ArchiveFolder(const char* home);
// The path of a day's file.
std::string DayFilePath(const char* home, const Day& day);
// The days that have a file, in time order. False (last error naming the
// folder) when the folder does not exist or cannot be read.
bool ListDays(const char* home, std::vector<Day>& days);
// Writes the files (day, bytes) as one change into an archive opened for
// writing: each to a temporary file beside its target, then the journal, then
// the renames; the zone file first when there is none. On a failure before the
// journal no target is touched and the temporaries are removed; after it, the
// next opening completes the change. The last error names the file.
bool ReplaceDayFiles(const ArchiveAccess& access,
                     const std::vector<std::pair<Day, std::string>>& files);
// The same with each file's bytes made just before it is written, so that one
// file is held at a time; `make` returning false (last error set) gives the
// change up.
using MakeDayFile = std::function<bool(const Day& day, std::string& bytes)>;
bool ReplaceDayFiles(const ArchiveAccess& access, const std::vector<Day>& days,
                     const MakeDayFile& make);
// The same after opening the home's archive for writing (and releasing it).
bool ReplaceDayFiles(const char* home, const std::vector<std::pair<Day, std::string>>& files);

}  // namespace host::archive
