// The samples an hour archive keeps and hands out, whatever stores them: a
// variable's state code and value at a moment (seconds since 1970), and the
// local calendar day that archives, imports and the demo plant divide time by.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace host::archive {

// A decoded sample: seconds since 1970, state code, value.
struct Sample {
    int64_t Time;
    uint16_t State;
    double Value;
    bool operator==(const Sample&) const = default;
};

// One variable's samples (time order).
struct VariableSamples {
    std::string Name;  // cp1251
    std::vector<Sample> Samples;
};

// A local calendar day and its bounds in seconds since 1970.
struct Day {
    int Year = 0, Month = 0, Day = 0;
    int64_t Begin = 0;  // local midnight
    int64_t End = 0;    // the next local midnight
    bool operator<(const struct Day& o) const { return Begin < o.Begin; }
};
// The local day holding a moment (seconds since 1970).
Day DayOf(int64_t seconds);

// Puts samples in time order with one sample per second: of samples with the
// same time the one that came later in `samples` is kept.
std::vector<Sample> TimeOrderedLatest(std::vector<Sample> samples);

}  // namespace host::archive

namespace host {

// A sample of a named variable.
struct NamedSample {
    std::string Name;
    archive::Sample S;
};

}  // namespace host
