// The host's idle-period timer: long loops touch the progress text and the
// abort request only when a period (about 0.2 s, monotonic clock) has elapsed.
#pragma once

#include <chrono>
#include <cstdint>

// The start of the current period on a coarse monotonic clock (nanoseconds): a
// poll per sample costs a few nanoseconds, and 0.2 s needs no finer clock.
struct PRPeriod {
    int64_t start = 0;
};

// The host's idle-period timer, the calling thread's own.
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
