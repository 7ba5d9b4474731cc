#include "localtimecache.h"

#include <ctime>

namespace host {

namespace {
long Offset(int64_t t) {
    const time_t tt = time_t(t);
    struct tm tmv {};
    localtime_r(&tt, &tmv);
    return tmv.tm_gmtoff;
}
}  // namespace

PRTime LocalTimeCache::Convert(int64_t seconds) {
    const int64_t hour = seconds >= 0 ? seconds / 3600 * 3600 : (seconds - 3599) / 3600 * 3600;
    if (hour != hourStart_) {
        hourStart_ = hour;
        uniform_ = Offset(hour) == Offset(hour + 3599);
        hourLocal_.Set(time_t(hour));
        // Only whole-hour offsets keep minutes and seconds aligned with UTC hours.
        uniform_ = uniform_ && hourLocal_.Second == 0 && !hourLocal_.IsZero();
    }
    if (!uniform_) return PRTime().Set(time_t(seconds));
    const int within = int(seconds - hourStart_);
    PRTime t = hourLocal_;
    const int minute = t.Minute + within / 60;
    t.Second = uint16_t(within % 60);
    if (minute < 60) {
        t.Minute = uint16_t(minute);
        return t;
    }
    // A half-hour zone: the UTC hour spans two local hours.
    return PRTime().Set(time_t(seconds));
}

}  // namespace host
