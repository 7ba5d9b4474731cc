#include "journal.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>

namespace host {

bool WritesToJournal(int fd) {
    const char* stream = std::getenv("JOURNAL_STREAM");
    unsigned long long device = 0, inode = 0;
    char rest = 0;
    if (!stream || std::sscanf(stream, "%llu:%llu%c", &device, &inode, &rest) != 2) return false;
    struct stat st {};
    return ::fstat(fd, &st) == 0 && st.st_dev == device && st.st_ino == inode;
}

}  // namespace host
