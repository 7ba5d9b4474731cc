// systemd's journal as a program's standard stream: a service's standard
// output and error go there, and a line that starts with "<N>" (a syslog
// priority) is kept with that priority.
#pragma once

namespace host {

inline constexpr const char* kJournalInfo = "<6>";
inline constexpr const char* kJournalWarning = "<4>";
inline constexpr const char* kJournalError = "<3>";

// Whether the descriptor `fd` is the stream systemd connected to the journal:
// JOURNAL_STREAM names its device and inode. False outside a service.
bool WritesToJournal(int fd);

}  // namespace host
