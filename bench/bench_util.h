// What every benchmark here measures with: a monotonic clock in seconds and the
// process's peak resident memory.
#pragma once

#include <sys/resource.h>

#include <chrono>

namespace twbench {

using Clock = std::chrono::steady_clock;

inline double Seconds(Clock::time_point from, Clock::time_point to = Clock::now()) {
    return std::chrono::duration<double>(to - from).count();
}

// Peak resident memory of the process so far, in kilobytes.
inline long PeakRssKb() {
    struct rusage u {};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

}  // namespace twbench
