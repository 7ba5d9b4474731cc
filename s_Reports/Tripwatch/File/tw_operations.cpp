#include "tw_operations.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <tuple>

#include "common/cp1251.h"
#include "common/strutil.h"
#include "hourfile/hourfile.h"
#include "tw_contourarray.h"
#include "tw_fieldtext.h"
#include "tw_file.h"
#include "tw_fill.h"

using namespace host::literals;

const char* TW_OpClassName(uint8_t cls) {
    static const char* const kNames[TW_OpClassCount] = {"demand",    "short_demand", "by_relay",
                                                        "commanded", "maintenance",  "unexplained"};
    return cls < TW_OpClassCount ? kNames[cls] : "?";
}

const char* TW_OpRoleName(uint8_t role) {
    return role == TW_RoleRelay ? "relay" : role == TW_RoleApparatus ? "apparatus" : "?";
}

int TW_CountOperations(const std::vector<TW_Operation>& ops, uint8_t cls) {
    return int(std::count_if(ops.begin(), ops.end(),
                             [cls](const TW_Operation& op) { return op.Class == cls; }));
}

std::string TW_OperationText(const TW_Operation& op) {
    const PRTime& t = op.Time;
    char text[200];
    const int n = std::snprintf(
        text, sizeof text, "%02u.%02u.%04u %02u:%02u:%02u %s \"%.51s\" (contour \"%.51s\"): %s",
        t.Day, t.Month, t.Year, t.Hour, t.Minute, t.Second, TW_OpRoleName(op.Role), op.Variable,
        op.Sensor, TW_OpClassName(op.Class));
    return std::string(text, std::size_t(std::clamp(n, 0, int(sizeof text) - 1)));
}

namespace {

// A variable's samples in the hour file: [first, last], empty when it has none.
struct SampleSpan {
    const HHourFile* file = nullptr;
    int first = 0, last = -1;

    SampleSpan() = default;
    SampleSpan(const HHourFile& f, const HHourVar* v) : file(&f) {
        if (!v) return;
        first = v->first;
        last = std::min<int>(v->last, f.Samples.Count() - 1);
    }
    const HHourSample& at(int k) const { return *file->Sample(k); }
    // The first index whose time is after `t` (last + 1 when none).
    int FirstAfter(const PRTime& t) const {
        int lo = first, hi = last + 1;
        while (lo < hi) {
            const int mid = lo + (hi - lo) / 2;
            if (t < at(mid).Time)
                hi = mid;
            else
                lo = mid + 1;
        }
        return lo;
    }
    int FirstNotBefore(const PRTime& t) const {
        int lo = first, hi = last + 1;
        while (lo < hi) {
            const int mid = lo + (hi - lo) / 2;
            if (at(mid).Time < t)
                lo = mid + 1;
            else
                hi = mid;
        }
        return lo;
    }
};

// One excursion of a contour's sensor into its state: [start, end] in seconds.
struct Excursion {
    time_t start = 0, end = 0;
    PRTime startAt;
    bool incident = false;  // it lasted the contour's Interval
};

// A relay or apparatus section of a used contour.
struct Use {
    int contour = 0;  // index in the job
    uint8_t role = TW_RoleRelay;
    const TW_ContourSignal* section = nullptr;
};

// A line: a variable with a state, and every use of it.
struct Line {
    std::string variable;
    uint16_t state = 0;
    SampleSpan samples;
    std::vector<Use> uses;
    std::vector<int> ops;       // sample indexes of its operations, in time order
    std::vector<time_t> opsAt;  // their seconds
};

struct UsedContour {
    const TW_Contour* contour = nullptr;
    std::vector<Excursion> excursions;  // in time order
    int relayLine = -1;                 // its relay's line, when the relay is used
};

// The sensor's excursions over the whole hour file; one still open at the end
// of the data runs to `periodEnd`.
std::vector<Excursion> Excursions(const HHourFile& file, const HHourVar* sensor,
                                  const TW_Contour& c, time_t periodEnd) {
    std::vector<Excursion> out;
    if (!sensor) return out;
    const SampleSpan s(file, sensor);
    const int lookBackFirst = file.HasLookBack() ? file.LookBackFirst(*sensor) : s.first;
    bool open = false;
    Excursion e;
    auto close = [&](time_t end) {
        e.end = std::max(end, e.start);
        e.incident = int64_t(e.end) - int64_t(e.start) >= int64_t(c.Interval);
        out.push_back(e);
        open = false;
    };
    for (int i = s.first; i <= s.last; ++i) {
        const HHourSample& x = s.at(i);
        if (x.State == c.State && !open) {
            open = true;
            // A state carried in from before the look-back counts from its start.
            e.startAt = i < lookBackFirst ? file.LookBackStart : x.Time;
            e.start = e.startAt.GetTT();
        } else if (x.State != c.State && open) {
            close(x.Time.GetTT());
        }
    }
    if (open) close(periodEnd);
    return out;
}

// The lines of the used contours in job order, each (variable, state) once.
void CollectLines(const HHourFile& file, const HHourVarBounds& vars,
                  const TW_ContourArray& contours, std::vector<Line>& lines,
                  std::vector<UsedContour>& used, time_t periodEnd) {
    std::map<std::pair<std::string, uint16_t>, int> index;
    used.resize(std::size_t(contours.Count()));
    auto lineOf = [&](const TW_ContourSignal& sec) {
        const std::string name = TW_FieldText(sec.Sensor);
        auto [it, added] = index.try_emplace({name, sec.State}, int(lines.size()));
        if (added) {
            Line l;
            l.variable = name;
            l.state = sec.State;
            l.samples = SampleSpan(file, vars.LocateVar(name.c_str()));
            lines.push_back(std::move(l));
        }
        return it->second;
    };
    for (int n = 0; n < contours.Count(); ++n) {
        const TW_Contour& c = *contours.ItemINT(n);
        if (!c.Used) continue;
        used[std::size_t(n)].contour = &c;
        used[std::size_t(n)].excursions =
            Excursions(file, vars.LocateVar(TW_FieldText(c.Sensor).c_str()), c, periodEnd);
        if (c.Rele.Used) {
            const int l = lineOf(c.Rele);
            lines[std::size_t(l)].uses.push_back({n, TW_RoleRelay, &c.Rele});
            used[std::size_t(n)].relayLine = l;
        }
        if (c.Prot.Used)
            lines[std::size_t(lineOf(c.Prot))].uses.push_back({n, TW_RoleApparatus, &c.Prot});
    }
}

// Every operation of the line in the hour file, look-back included.
void FindLineOperations(Line& l) {
    const SampleSpan& s = l.samples;
    for (int k = s.first + 1; k <= s.last; ++k) {
        if (s.at(k).State != l.state || s.at(k - 1).State == l.state) continue;
        l.ops.push_back(k);
        l.opsAt.push_back(s.at(k).Time.GetTT());
    }
}

// What explains one operation: its class and, for a demand, the excursion.
struct Explanation {
    uint8_t cls = TW_OpUnexplained;
    int contour = -1;
    uint8_t role = TW_RoleRelay;
    const Excursion* excursion = nullptr;
};

// The demand or short demand of one use that covers `t`, if better than `best`.
void ExplainByDemand(const Use& u, const UsedContour& c, time_t t, Explanation& best) {
    const auto& ex = c.excursions;
    auto it = std::upper_bound(ex.begin(), ex.end(), t,
                               [](time_t v, const Excursion& e) { return v < e.start; });
    const int64_t window = u.section->MaxTime;
    // Later excursions end their windows later: going back, the first that
    // does not reach `t` ends the search.
    while (it != ex.begin()) {
        const Excursion& e = *--it;
        const int64_t windowEnd = std::max<int64_t>(e.end, window > 0 ? e.start + window : e.end);
        if (windowEnd < int64_t(t)) break;
        const uint8_t cls = e.incident ? TW_OpDemand : TW_OpShortDemand;
        const bool better = best.cls > cls ||
                            (best.cls == cls && best.excursion && best.excursion->start < e.start);
        if (better) best = {cls, u.contour, u.role, &e};
        if (e.incident) break;
    }
}

// True when the contour's relay explains an apparatus operation at `t`.
bool ExplainedByRelay(const Use& u, const Line& relay, const PRTime& at, time_t t) {
    auto it = std::upper_bound(relay.opsAt.begin(), relay.opsAt.end(), t);
    if (it == relay.opsAt.begin()) return false;
    const time_t operated = *--it;
    if (u.section->MaxTime > 0)
        return int64_t(t) - int64_t(operated) <= int64_t(u.section->MaxTime);
    // No window: the relay still holds its state.
    const int k = relay.samples.FirstAfter(at) - 1;
    return k >= relay.samples.first && relay.samples.at(k).State == relay.state;
}

bool Commanded(const Line& l, const std::vector<TW_Command>& commands,
               const std::vector<SampleSpan>& commandSamples, const PRTime& at, time_t t) {
    for (std::size_t i = 0; i < commands.size(); ++i) {
        const TW_Command& cmd = commands[i];
        if (cmd.Line != l.variable) continue;
        const SampleSpan& s = commandSamples[i];
        PRTime from;
        from.Set(time_t(int64_t(t) - int64_t(cmd.Seconds)));
        for (int k = s.FirstNotBefore(from); k <= s.last && !(at < s.at(k).Time); ++k)
            if (s.at(k).State == cmd.State) return true;
    }
    return false;
}

bool InMaintenance(const Line& l, const std::vector<TW_MaintenanceWindow>& windows,
                   const PRTime& at) {
    return std::any_of(windows.begin(), windows.end(), [&](const TW_MaintenanceWindow& w) {
        return (w.Variable == "*" || w.Variable == l.variable) && !(at < w.From) && at < w.To;
    });
}

Explanation Explain(const Line& l, int k, time_t t, const std::vector<UsedContour>& used,
                    const std::vector<Line>& lines, const TW_OperationRules& rules,
                    const std::vector<SampleSpan>& commandSamples) {
    const PRTime& at = l.samples.at(k).Time;
    Explanation e;
    for (const Use& u : l.uses)
        ExplainByDemand(u, used[std::size_t(u.contour)], t, e);
    if (e.excursion) return e;
    for (const Use& u : l.uses) {
        const int relay = used[std::size_t(u.contour)].relayLine;
        if (u.role == TW_RoleApparatus && relay >= 0 &&
            ExplainedByRelay(u, lines[std::size_t(relay)], at, t))
            return {TW_OpByRelay, u.contour, u.role, nullptr};
    }
    const Use& first = l.uses.front();
    if (Commanded(l, rules.Commands, commandSamples, at, t))
        return {TW_OpCommanded, first.contour, first.role, nullptr};
    if (InMaintenance(l, rules.Maintenance, at))
        return {TW_OpMaintenance, first.contour, first.role, nullptr};
    return {TW_OpUnexplained, first.contour, first.role, nullptr};
}

// The report's items by contour (sensor, state) and start.
using IncidentKey = std::tuple<std::string, uint16_t, PRTime>;
std::map<IncidentKey, int> IncidentIndex(const TW_File& report) {
    std::map<IncidentKey, int> index;
    for (int i = 0; i < report.Count(); ++i) {
        const TW_ContourLine& row = *report.ItemINT(i);
        index.try_emplace({TW_FieldText(row.Contour.Sensor), row.Contour.State, row.Start}, i);
    }
    return index;
}

}  // namespace

std::vector<TW_Operation> TW_FindOperations(const HHourFile& hourFile,
                                            const TW_ContourArray& contours,
                                            const TW_OperationRules& rules, const PRTime& start,
                                            const PRTime& end, const TW_File& report) {
    const HHourVarBounds vars(hourFile);
    std::vector<Line> lines;
    std::vector<UsedContour> used;
    CollectLines(hourFile, vars, contours, lines, used, end.GetTT());
    std::vector<SampleSpan> commandSamples;
    for (const TW_Command& cmd : rules.Commands)
        commandSamples.emplace_back(hourFile, vars.LocateVar(cmd.Variable.c_str()));
    const auto incidents = IncidentIndex(report);

    // Each line's rank in (variable, state) order: the order of operations of
    // one moment.
    std::vector<uint32_t> rank(lines.size());
    {
        std::vector<uint32_t> order(lines.size());
        for (uint32_t i = 0; i < order.size(); ++i)
            order[i] = i;
        std::sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) {
            return std::tie(lines[a].variable, lines[a].state) <
                   std::tie(lines[b].variable, lines[b].state);
        });
        for (uint32_t r = 0; r < order.size(); ++r)
            rank[order[r]] = r;
    }
    std::vector<TW_Operation> out;
    // The sort key of each operation found (its moment, then its line's rank)
    // with its place in `out`: sorting these is cheaper than the records.
    std::vector<std::pair<TW_TimeKeyValue, uint32_t>> keys;
    std::size_t total = 0;
    for (Line& l : lines) {
        FindLineOperations(l);
        total += l.ops.size();
    }
    out.reserve(total);
    keys.reserve(total);
    for (std::size_t n = 0; n < lines.size(); ++n) {
        const Line& l = lines[n];
        for (std::size_t i = 0; i < l.ops.size(); ++i) {
            const HHourSample& s = l.samples.at(l.ops[i]);
            if (s.Time < start || !(s.Time < end)) continue;
            const Explanation e =
                Explain(l, l.ops[i], l.opsAt[i], used, lines, rules, commandSamples);
            const TW_Contour& c = *used[std::size_t(e.contour)].contour;
            TW_Operation op;
            TW_SetField(op.Variable, l.variable.c_str());
            op.Role = e.role;
            op.State = l.state;
            op.Class = e.cls;
            op.Time = s.Time;
            TW_SetField(op.Sensor, TW_FieldText(c.Sensor).c_str());
            op.SensorState = c.State;
            if (e.excursion) {
                op.IncidentStart = e.excursion->startAt;
                const auto it = incidents.find({TW_FieldText(c.Sensor), c.State, op.IncidentStart});
                if (e.cls == TW_OpDemand && it != incidents.end()) op.Incident = it->second;
            }
            keys.push_back({TW_TimeKey(op.Time) << 32 | rank[n], uint32_t(out.size())});
            out.push_back(op);
        }
    }
    std::sort(keys.begin(), keys.end());
    std::vector<TW_Operation> sorted;
    sorted.reserve(out.size());
    for (const auto& k : keys)
        sorted.push_back(out[k.second]);
    return sorted;
}
