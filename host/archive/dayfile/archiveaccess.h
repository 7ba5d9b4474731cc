// Access to a home's hour archive as one unit (files in ARCHIVE.md): the lock
// HOME/Archive/LOCK (shared by readers, exclusive for a writer), the completion
// of a change that a killed writer left half done (JOURNAL), the removal of
// stray temporary files, and the zone the archive was written in (ZONE).
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "common/unique_handle.h"

namespace host::archive {

enum class Access { Read, Write };

// The names of the archive's own files inside HOME/Archive/.
inline constexpr const char* kLockName = "LOCK";
inline constexpr const char* kJournalName = "JOURNAL";
inline constexpr const char* kZoneName = "ZONE";

// An opened archive; owns its lock, which is released when the object dies.
class ArchiveAccess {
  public:
    ArchiveAccess() = default;
    ArchiveAccess(const ArchiveAccess&) = delete;
    ArchiveAccess& operator=(const ArchiveAccess&) = delete;

    // Locks the archive (waiting at most LockWaitSeconds()), completes an
    // interrupted change, removes stray temporary files and checks the zone.
    // Write creates the folder. False (last error naming the archive) when the
    // folder is missing (Read), the lock is not had in time, the archive cannot
    // be repaired or it was written in another zone.
    bool Open(const char* home, Access mode);
    const std::string& Home() const { return home_; }
    bool Writable() const { return fd_ && mode_ == Access::Write; }

  private:
    bool OpenLockFile();
    bool OpenLocked();
    bool Lock(int operation);
    bool RepairLocked();
    bool CheckZone() const;

    std::string home_;
    Access mode_ = Access::Read;
    UniqueFd fd_;  // the lock file; none when read without a lock
};

// Seconds to wait for the lock: TW_ARCHIVE_LOCK_WAIT when set, else 10.
double LockWaitSeconds();

// The process's zone: its name (TZ without a leading ':' and a zoneinfo folder,
// else the zone that /etc/localtime links to, else "localtime") and a CRC-32 of
// the UTC offsets it gives on the 1st of every month, 1970..2037, at 12:00 UTC.
struct ZoneId {
    std::string Name;
    uint32_t Offsets = 0;
};
ZoneId ProcessZone();
// The text of a ZONE file, and its parse (false when it is not one).
std::string ZoneFileText(const ZoneId& zone);
bool ParseZoneFile(const std::string& text, ZoneId& zone);

// One entry of a change: a written temporary file and the day file it replaces
// (plain names inside the archive folder).
using JournalEntry = std::pair<std::string, std::string>;
// Writes, syncs and puts in place the journal of a change. False (last error set).
bool CommitJournal(const std::string& osFolder, const std::vector<JournalEntry>& entries);
// Renames every listed temporary file that still exists over its target, then
// removes the journal. False (last error set) when a rename fails.
bool CompleteJournal(const std::string& osFolder, const std::vector<JournalEntry>& entries);

// A test hook: with TW_ARCHIVE_KILL_AT=N the process kills itself (SIGKILL) at
// the N-th step of a change (each temporary file written, the journal in place,
// each rename).
void ArchiveKillPoint();

}  // namespace host::archive
