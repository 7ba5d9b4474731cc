#include "idle.h"

namespace {
PRPeriod idlePeriod;
std::chrono::milliseconds periodLength{200};
}  // namespace

PRPeriod* RTGetIdlePeriod() {
    return &idlePeriod;
}

void PRPeriodReset(PRPeriod* period) {
    if (period) period->start = std::chrono::steady_clock::now();
}

int PRPeriodEnd(PRPeriod* period, int restart) {
    if (!period) return 1;
    const auto now = std::chrono::steady_clock::now();
    if (now - period->start < periodLength) return 0;
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
