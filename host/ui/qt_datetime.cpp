#include "ui/qt_datetime.h"

#include <cmath>

namespace host::ui {

namespace {
const QDate kPlatformEpoch(1899, 12, 30);
}

double DateValue(const QDate& date) {
    return double(kPlatformEpoch.daysTo(date));
}

double TimeValue(const QTime& time) {
    return time.msecsSinceStartOfDay() / 86400000.0;
}

QDate DateOf(double value) {
    return kPlatformEpoch.addDays(qint64(std::floor(value)));
}

QTime TimeOf(double value) {
    const double fraction = std::fabs(value - std::trunc(value));
    return QTime::fromMSecsSinceStartOfDay(int(std::lround(fraction * 86400.0)) % 86400 * 1000);
}

}  // namespace host::ui
