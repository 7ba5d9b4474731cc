// Builds hour files by hand for the incident tests: variables with their samples
// given as (seconds from a base moment, state, value).
#pragma once

#include <cstring>
#include <ctime>
#include <initializer_list>
#include <string>
#include <vector>

#include "common/prtime.h"
#include "hourfile/hourfile.h"

namespace twtest {

struct S {
    long at;  // seconds from the base moment
    uint16_t state;
    double value = 0;
};

class HourBuilder {
  public:
    explicit HourBuilder(time_t base) : base_(base) {}

    // Sample times counted on from the calendar moment `naiveBase` as plain local
    // calendar fields, without the time zone's changes: they may fall into the
    // hour that is skipped when clocks go forward, as a damaged or foreign
    // archive can hold.
    explicit HourBuilder(const PRTime& naiveBase)
        : naive_(true),
          naiveBase_(host::DaysFromCivil(naiveBase.Year, naiveBase.Month, naiveBase.Day) * 86400L +
                     naiveBase.Hour * 3600L + naiveBase.Minute * 60L + naiveBase.Second) {}

    // A variable with its samples in the given order; object and place names
    // are added to the name lists when given.
    HourBuilder& Var(const char* name, std::vector<S> samples, const char* object = nullptr,
                     const char* place = nullptr) {
        HHourVar v{};
        std::strncpy(v.Name, name, sizeof v.Name - 1);
        v.Descriptor.ObjectIndex = 0xFFFF;
        v.Descriptor.PlaceIndex = 0xFFFF;
        if (object) {
            v.Descriptor.ObjectIndex = uint16_t(file.ObjectNames.Count());
            HHourFile::AddName(file.ObjectNames, object);
        }
        if (place) {
            v.Descriptor.PlaceIndex = uint16_t(file.PlaceNames.Count());
            HHourFile::AddName(file.PlaceNames, place);
        }
        v.first = file.Samples.Count();
        for (const S& s : samples) {
            HHourSample hs{};
            hs.Value = s.value;
            hs.Time = At(s.at);
            hs.State = s.state;
            file.Samples.Add(hs);
        }
        v.last = file.Samples.Count() - 1;
        file.Variables.Add(v);
        return *this;
    }

    PRTime At(long seconds) const {
        PRTime t;
        if (!naive_) return t.Set(time_t(base_ + seconds));
        const long local = naiveBase_ + seconds;
        int y = 0, m = 0, d = 0;
        host::CivilFromDays(local / 86400, y, m, d);
        return t.Set(y, m, d, int(local % 86400 / 3600), int(local % 3600 / 60), int(local % 60));
    }

    HHourFile file;

  private:
    time_t base_ = 0;
    bool naive_ = false;
    long naiveBase_ = 0;
};

}  // namespace twtest
