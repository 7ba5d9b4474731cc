// The host's idle-period timer: long loops touch the progress text and the
// abort request only when a period (about 0.2 s, monotonic clock) has elapsed.
#pragma once

#include <chrono>

struct PRPeriod {
    std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
};

// The host's idle-period timer.
PRPeriod* RTGetIdlePeriod();
// Starts a new period.
void PRPeriodReset(PRPeriod* period);
// Nonzero when the period has elapsed; with `restart` nonzero an elapsed period
// also starts the next one.
int PRPeriodEnd(PRPeriod* period, int restart);

namespace host {
// The period's length (default 200 ms); 0 makes every poll see it elapsed
// (tests use it to reach the polls at once).
void SetIdlePeriodLength(std::chrono::milliseconds length);
std::chrono::milliseconds IdlePeriodLength();
}  // namespace host
