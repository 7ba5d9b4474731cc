#include "idle.h"

#include <time.h>

#include <atomic>

namespace {
int64_t CoarseNow() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC_COARSE, &ts);
    return int64_t(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}
// Each thread times its own loops (a server answers requests on several).
thread_local PRPeriod idlePeriod{CoarseNow()};
std::atomic<int64_t> periodLengthMs{200};
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
    if (now - period->start < periodLengthMs.load(std::memory_order_relaxed) * 1000000) return 0;
    if (restart) period->start = now;
    return 1;
}

namespace host {
void SetIdlePeriodLength(std::chrono::milliseconds length) {
    periodLengthMs = int64_t(length.count());
}
std::chrono::milliseconds IdlePeriodLength() {
    return std::chrono::milliseconds(periodLengthMs.load());
}
}  // namespace host
