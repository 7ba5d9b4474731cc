// The period that the report benchmarks give their reports: the busy day of
// 7 December 2026, run five minutes after its end.
#pragma once

#include "tw_file.h"

namespace twbench {

inline void SetReportDay(TW_File& f) {
    f.Start.Set(2026, 12, 7, 0, 0, 0);
    f.End.Set(2026, 12, 7, 23, 59, 0);
    f.RunTime.Set(2026, 12, 8, 0, 5, 0);
}

}  // namespace twbench
