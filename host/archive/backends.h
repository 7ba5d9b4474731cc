// The entries of the two archives behind HourArchive, each defined in its own
// folder (dayfile/, pg/) and called only by OpenHourArchive.
#pragma once

#include <memory>

#include "archive/hourarchive.h"

namespace host::archive {

// The day files below HOME/Archive/.
std::unique_ptr<HourArchive> OpenDayFiles(const char* home);
// The PostgreSQL database that HOME/Archive.json names: `named` says whether
// the home has that file; null (last error set) when it has none, or it is
// damaged, or the database cannot be reached or has another schema version.
std::unique_ptr<HourArchive> OpenPostgreSQL(const char* home, bool& named);

}  // namespace host::archive
