#include "archive/hourarchive.h"

namespace host {

bool HourArchive::Store(const std::vector<NamedSample>& samples, int* units) {
    bool given = false;
    return Store(
        [&](std::vector<NamedSample>& batch) {
            batch.clear();
            if (!given) batch = samples;
            given = true;
            return true;
        },
        units);
}

}  // namespace host
