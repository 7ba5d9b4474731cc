#include "idle.h"

#include <time.h>

namespace {
int64_t CoarseNow() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC_COARSE, &ts);
    return int64_t(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}
PRPeriod idlePeriod{CoarseNow()};
std::chrono::milliseconds periodLength{200};
}  // namespace

PRPeriod* RTGetIdlePeriod() {
    return &idlePeriod;
}

void PRPeriodReset(PRPeriod* period) {
    if (period) period->start = CoarseNow();
}

int PRPeriodEnd(PRPeriod* period, int restart) {
    if (!period) return 1;
    const int64_t now = CoarseNow();
    if (now - period->start < int64_t(periodLength.count()) * 1000000) return 0;
    if (restart) period->start = now;
    return 1;
}

namespace host {
void SetIdlePeriodLength(std::chrono::milliseconds length) {
    periodLength = length;
}
std::chrono::milliseconds IdlePeriodLength() {
    return periodLength;
}
}  // namespace host
