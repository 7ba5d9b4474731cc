// A literal transcription of the incident rules, kept for the tests and the
// benchmark: every relay and apparatus search starts from the variable's first
// sample. Our TW_File::Fill must give byte-identical rows.
#pragma once

#include <algorithm>
#include <cstring>
#include <vector>

#include "plantdb/dbdatabase.h"
#include "hourfile/hourfile.h"
#include "tw_contourarray.h"
#include "tw_contourline.h"

namespace twtest {

inline void SetNameField(char (&field)[50], const char* text) {
    std::memset(field, 0, sizeof field);
    std::strncpy(field, text ? text : "\x3C\xED\xE5 \xE7\xE0\xE4\xE0\xED\x3E", 49);
}

inline uint8_t LiteralSection(const TW_ContourSignal& g, const HHourVar& v, const HHourFile& f,
                              const TW_ContourLine& r, time_t S) {
    uint8_t flags = 0;
    int k = v.first;
    while (k <= v.last) {
        const HHourSample& s = *f.Sample(k);
        const PRTime& t = s.Time;
        if (t < r.Start) {
            flags = s.State == g.State ? 0x10 : 0;
            ++k;
            continue;
        }
        if (t >= r.End) break;
        if (flags & 0x10) break;  // in its state as the excursion began: the follow-up decides
        if (g.MaxTime != 0 && int64_t(t.GetTT()) - int64_t(S) >= int64_t(g.MaxTime)) break;
        if (s.State == g.State) {
            flags = 0x10;
            break;
        }
        ++k;
    }
    if (flags & 0x10) {
        while (k <= v.last) {
            const HHourSample& s = *f.Sample(k);
            if (s.Time >= r.End) break;
            if (s.State == g.State) {
                ++k;
                continue;
            }
            flags |= DBIsErrorState(0, s.State) ? 0x01 : 0x02;
            break;
        }
    }
    return flags;
}

// Returns false when a used variable is missing (as the real call does).
inline bool LiteralFill(std::vector<TW_ContourLine>& rows, const HHourFile& f,
                        const TW_ContourArray& contours) {
    HHourVarBounds vars(f);
    for (int n = 0; n < contours.Count(); ++n) {
        const TW_Contour& c = *contours.ItemINT(n);
        if (!c.Used) continue;
        const HHourVar* sv = vars.LocateVar(c.Sensor);
        if (!sv) return false;
        const HHourVar* rv = c.Rele.Used ? vars.LocateVar(c.Rele.Sensor) : nullptr;
        if (c.Rele.Used && !rv) return false;
        const HHourVar* pv = c.Prot.Used ? vars.LocateVar(c.Prot.Sensor) : nullptr;
        if (c.Prot.Used && !pv) return false;
        TW_ContourLine r{};
        std::memcpy(&r.Contour, &c, sizeof c);
        SetNameField(r.ObjectName, f.ObjectName(sv->Descriptor.ObjectIndex));
        SetNameField(r.SensorPlace, f.PlaceName(sv->Descriptor.PlaceIndex));
        SetNameField(r.ProtObjectName, pv ? f.ObjectName(pv->Descriptor.ObjectIndex) : nullptr);
        bool open = false;
        time_t start = 0;
        for (int i = sv->first; i <= sv->last; ++i) {
            const HHourSample& s = *f.Sample(i);
            if (s.State == c.State) {
                if (!open) {
                    open = true;
                    start = s.Time.GetTT();
                    r.Value = s.Value;
                } else if (c.ValueType == 0) {
                    r.Value = std::max(r.Value, s.Value);
                } else if (c.ValueType == 1) {
                    r.Value = std::min(r.Value, s.Value);
                }
            } else if (open) {
                const time_t end = s.Time.GetTT();
                if (int64_t(end) - int64_t(start) >= int64_t(c.Interval)) {
                    r.Start.Set(start);
                    r.End.Set(end);
                    if (rv) r.ReleResult = LiteralSection(c.Rele, *rv, f, r, start);
                    if (pv) r.ProtResult = LiteralSection(c.Prot, *pv, f, r, start);
                    rows.push_back(r);
                }
                open = false;
            }
        }
    }
    return true;
}

}  // namespace twtest
