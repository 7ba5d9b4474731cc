// GrabReportValues: fills an hour file with the report period's values from the
// hour archive of the host's home, for the variables of the configuration valid
// at a given moment. The period and the home come from the run's context
// (RTPInfo::Context). The samples "in the period" are those whose time is at or
// after PeriodStart and before PeriodEnd: a sample at the end belongs to the next
// period. The file also gets the samples of the context's look-back before the
// period, so that an excursion that began then is seen whole.
#pragma once

#include "common/prtime.h"
#include "plantdb/dbdatabase.h"
#include "hourfile/hourfile.h"
#include "runtime/rtpmodule.h"

// Flag bit 1 (value 2): keep the fetched values on disk in the values folder as
// "values_YYYYMMDD_HHMMSS-YYYYMMDD_HHMMSS.csv" (the period; CSV form of ARCHIVE.md).
// Bit 0 is accepted and has no meaning of its own.
inline constexpr int kGrabKeepValues = 2;

// Empties `file`, then fills it: every variable of the configuration gets an entry
// in configuration order (first > last when it has no sample); each variable's
// samples of the look-back and the period in time order, preceded by its last
// sample before the look-back when the archive holds one; `Spans` tells where
// the look-back's and the period's samples begin. The kept values hold the
// period's samples and the one before them. The object and place lists are the configuration's. The
// configuration's state tables become the process's current ones.
// Result: null on success, else an error text (cp1251, owned by the library,
// valid until the next call on this thread; also set as the last error); the
// file is then empty.
const char* GrabReportValues(const char* valuesFolder, const RTPInfo& info, HHourFile& file,
                             const PRTime& configMoment, int flags);

namespace host {
// The configuration of the most recent successful GrabReportValues (null before),
// owned by the library until the next successful call.
HDBDatabase* GrabbedConfig();
}  // namespace host
