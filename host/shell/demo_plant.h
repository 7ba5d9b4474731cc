// The demo plant: a deterministic made-up installation for trying the system
// and for end-to-end tests. It writes, under a home folder, a configuration
// (Config/demo.rtdb), an hour archive of whole local days ending yesterday,
// the report job Jobs/Daily.json with the plant's protection contours, and
// demo-incidents.json, the list of planted excursions with the outcome bytes
// that the first-level reports must show for them.
#pragma once

#include <cstdint>
#include <string>

#include "runtime/rtpjob.h"

namespace host {

struct DemoOptions {
    int Days = 3;       // archive days, the last one is yesterday
    uint32_t Seed = 1;  // same seed and dates: same plant, same data
    int BackgroundVariables = 3000;
    int64_t Today = 0;  // any moment of "today" (seconds); 0 = now
    // A PostgreSQL database (libpq connection string or URI) for the samples,
    // named in HOME/Archive.json; empty: the day files below HOME/Archive/.
    std::string Archive;
    // Also into a PostgreSQL samples table that holds samples the demo did not
    // write (they are replaced on the demo's days).
    bool ReplaceOthers = false;
};

struct DemoSummary {
    int Objects = 0;
    int Contours = 0;
    int Variables = 0;
    int Incidents = 0;  // planted excursions of used contours
    long long Samples = 0;
    std::string FirstDay, LastDay;  // YYYY-MM-DD
    std::string ConfigPath, JobPath, IncidentsPath;
    uint32_t ConfigId = 0;
};

// Makes the demo plant in `home` (created when missing; files of an earlier demo
// are replaced). The job is written by the report module's `writeJob`, which
// knows its keys. False (last error set) on failure.
bool MakeDemoPlant(const char* home, const DemoOptions& options, RTPWriteJobNodeProc writeJob,
                   DemoSummary& summary);

}  // namespace host
