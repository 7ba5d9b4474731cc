// Fast conversion of many seconds-since-1970 values to local PRTime moments: the
// local time of the current hour is computed once with the C library and reused
// while the UTC offset stays the same through the hour (hours with a
// daylight-saving change are converted one by one).
#pragma once

#include <cstdint>

#include "common/prtime.h"

namespace host {

class LocalTimeCache {
  public:
    PRTime Convert(int64_t seconds);

  private:
    int64_t hourStart_ = INT64_MIN;
    bool uniform_ = false;
    PRTime hourLocal_;  // local time of hourStart_
};

}  // namespace host
