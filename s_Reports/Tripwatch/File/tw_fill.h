// The incident computation: TW_File::Fill walks, contour by contour, the sensor's
// samples of a period's hour data, keeps every excursion into the contour's state
// that lasts at least its Interval, and judges for each whether the relay and the
// apparatus operated in their response windows. Its progress, log lines and run
// notes go through the caller's TW_FillReporter. The pieces below are exposed for
// the tests; callers use TW_File::Fill.
#pragma once

#include <cstdint>
#include <ctime>

#include "common/prtime.h"
#include "tw_contourline.h"
#include "tw_times.h"

class TW_File;
class HHourFile;
class HHourVarBounds;
struct HHourVar;
struct TW_Contour;
struct TW_ContourSignal;
class TW_FillReporter;

// Shared by the per-contour steps of one Fill call; zero-filled at its start.
struct TW_FillContext {
    TW_File* report = nullptr;
    TW_FillReporter* reporter = nullptr;  // the caller's; not owned
    const HHourFile* hourFile = nullptr;
    const HHourVarBounds* variables = nullptr;
    const TW_Contour* contour = nullptr;
    const HHourVar* sensor = nullptr;
    const HHourVar* relay = nullptr;      // none when the relay section is not used
    const HHourVar* apparatus = nullptr;  // none when the apparatus section is not used
    // The relay and apparatus of the next used contour, when found: their samples
    // are asked into the cache while this contour's sensor is scanned, so that
    // the incident searches of the next contour do not wait for memory.
    const HHourVar* nextRelay = nullptr;
    const HHourVar* nextApparatus = nullptr;
    // Where the previous incident of this contour found its relay and apparatus
    // samples: the next incident starts later, so its search goes on from there.
    int relayFrom = 0;
    int apparatusFrom = 0;
};

using TW_TimeKeyValue = unsigned __int128;

// A PRTime as one number that orders exactly as its six fields do, year
// first, so that a comparison is a single branch-free subtraction. It takes
// the low 80 bits: the bits above are free for a tie-break.
inline TW_TimeKeyValue TW_TimeKey(const PRTime& t) {
    const uint64_t high =
        uint64_t(t.Year) << 48 | uint64_t(t.Month) << 32 | uint64_t(t.Day) << 16 | uint64_t(t.Hour);
    const uint64_t low = uint64_t(t.Minute) << 16 | uint64_t(t.Second);
    return TW_TimeKeyValue(high) << 32 | low;
}

// Seconds from `from` to `to` as a signed 64-bit number, against which a
// contour's Interval and a line's MaxTime (unsigned 32-bit) are compared.
int64_t Elapsed(time_t from, time_t to);

// Scans the sensor samples of ctx.contour; false only when the user aborted
// (last error 1223). Appends one row per kept excursion to ctx.report.
bool ScanContour(TW_FillContext& ctx);

// Completes the working row for the excursion [start, end] (whole seconds): its
// times and the two outcome bytes, then appends a copy to the report, with the
// response times of its lines to the report's Times.
void AddIncident(TW_ContourLine& row, time_t start, time_t end, TW_FillContext& ctx);

// The outcome byte of one relay or apparatus section for an incident whose
// start is `start` seconds and whose times are row.Start and row.End: 0x10 when
// the signal was in its state within the response window (a state carried in
// from before the excursion counts), plus 0x01 or 0x02 when it then left the
// state for an error or another state before the excursion ended. `from`, when
// given, holds where an earlier, not later, excursion's search ended (0 at first)
// and receives where this one's ended; the outcome is the same with or without it.
// `times`, when given, receives the line's response times (tw_times.h): they
// look at the whole excursion, the response window plays no part in them.
uint8_t EvaluateSection(const TW_ContourSignal& section, const HHourVar& variable,
                        const HHourFile& hourFile, const TW_ContourLine& row, time_t start,
                        int* from = nullptr, TW_LineTimes* times = nullptr);
