// The entries of the two archives behind HourArchive, each defined in its own
// folder (dayfile/, pg/) and called only by OpenHourArchive. The day files are
// part of host_archive; PostgreSQL is a library of its own (it brings libpq and
// its dependencies), loaded from host_archive's folder when a home names a
// database.
#pragma once

#include <memory>

#include "archive/hourarchive.h"

namespace host::archive {

// The day files below HOME/Archive/.
std::unique_ptr<HourArchive> OpenDayFiles(const char* home);

// The library of the PostgreSQL archive and its entry.
inline constexpr const char* kPgLibrary = "libhost_archive_pg.so";
inline constexpr const char* kPgEntry = "HostOpenPgArchive";
// The entry: the PostgreSQL database that the settings file HOME/Archive.json
// names (the caller has seen that it exists). The caller owns the archive;
// null (last error set) when the file is damaged, or the database cannot be
// reached or has another schema version.
using OpenPgEntry = HourArchive*(const char* home);

}  // namespace host::archive
