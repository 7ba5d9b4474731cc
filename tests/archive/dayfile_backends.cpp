// The test programs without a database: the day files alone.
#include "archive/archive_backends.h"

namespace twtest {

const std::vector<ArchiveBackend>& ArchiveBackends() {
    static const std::vector<ArchiveBackend> backends{DayFileBackend()};
    return backends;
}

}  // namespace twtest
