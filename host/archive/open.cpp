#include "archive/backends.h"
#include "archive/hourarchive.h"

namespace host {

std::unique_ptr<HourArchive> OpenHourArchive(const char* home) {
    bool named = false;
    std::unique_ptr<HourArchive> pg = archive::OpenPostgreSQL(home, named);
    if (named) return pg;
    return archive::OpenDayFiles(home);
}

}  // namespace host
