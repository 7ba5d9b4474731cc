// Date and time pickers and the platform date-time (days since 1899-12-30, the
// fraction the time of day): a date picker gives the day, a time picker the
// time of day.
#pragma once

#include <QDate>
#include <QTime>

namespace host::ui {

double DateValue(const QDate& date);
double TimeValue(const QTime& time);
// The day of a platform date-time, and its time of day (whole seconds).
QDate DateOf(double dateTime);
QTime TimeOf(double dateTime);

}  // namespace host::ui
