#include "tw_operations.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <map>
#include <string_view>
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

namespace {
// Writes `value` in at least `width` digits (zeros before it) at `out`;
// returns the end.
char* PutDigits(char* out, unsigned value, int width) {
    int n = 1;
    for (unsigned rest = value / 10; rest; rest /= 10)
        ++n;
    n = std::max(n, width);
    for (int i = n - 1; i >= 0; --i, value /= 10)
        out[i] = char('0' + value % 10);
    return out + n;
}

// The same for two digits, the usual case, at once.
char* Put2(char* out, unsigned value) {
    if (value > 99) return PutDigits(out, value, 2);
    out[0] = char('0' + value / 10);
    out[1] = char('0' + value % 10);
    return out + 2;
}

char* PutText(char* out, const char* text, std::size_t size) {
    std::memcpy(out, text, size);
    return out + size;
}

template <std::size_t N>
char* PutField(char* out, const char (&field)[N]) {
    return PutText(out, field, strnlen(field, N));
}

}  // namespace

std::string TW_OperationText(const TW_Operation& op) {
    std::string text;
    TW_AppendOperationText(text, op);
    return text;
}

void TW_AppendOperationText(std::string& out, const TW_Operation& op) {
    // Called for every operation of a day in the run's log: formatted by hand,
    // then appended at once.
    char begin[TW_OperationTextMax];
    char* o = begin;
    const PRTime& t = op.Time;
    o = Put2(o, t.Day);
    *o++ = '.';
    o = Put2(o, t.Month);
    *o++ = '.';
    if (t.Year > 9999) {
        o = PutDigits(o, t.Year, 4);
    } else {
        o = Put2(o, t.Year / 100u);
        o = Put2(o, t.Year % 100u);
    }
    *o++ = ' ';
    o = Put2(o, t.Hour);
    *o++ = ':';
    o = Put2(o, t.Minute);
    *o++ = ':';
    o = Put2(o, t.Second);
    *o++ = ' ';
    const char* role = TW_OpRoleName(op.Role);
    o = PutText(o, role, std::strlen(role));
    o = PutText(o, " \"", 2);
    o = PutField(o, op.Variable);
    o = PutText(o, "\" (contour \"", 12);
    o = PutField(o, op.Sensor);
    o = PutText(o, "\"): ", 4);
    const char* cls = TW_OpClassName(op.Class);
    o = PutText(o, cls, std::strlen(cls));
    out.append(begin, std::size_t(o - begin));
}

namespace {

// A variable's samples in the hour file: [first, last], empty when it has none.
struct SampleSpan {
    const HHourSample* samples = nullptr;  // the hour file's, one after the other
    int first = 0, last = -1;

    SampleSpan() = default;
    SampleSpan(const HHourFile& f, const HHourVar* v) : samples(f.Sample(0)) {
        if (!v) return;
        first = v->first;
        last = std::min<int>(v->last, f.Samples.Count() - 1);
    }
    // Sample k, first <= k <= last (the scans reach every sample of a line).
    const HHourSample& at(int k) const { return samples[k]; }
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
    TW_Operation record;  // its operations' common fields
    std::string variable;
    uint16_t state = 0;
    SampleSpan samples;
    std::vector<Use> uses;
    std::vector<int> ops;       // sample indexes of its operations, in time order
    std::vector<time_t> opsAt;  // their seconds
    // Per use, where the last explanation's searches ended: a line's operations
    // are explained in their order, so each search goes on from there.
    mutable std::vector<std::size_t> demandFrom, relayFrom;
};

struct UsedContour {
    const TW_Contour* contour = nullptr;
    std::string sensor;
    char sensorField[sizeof TW_Operation::Sensor] = {};
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
            TW_SetField(l.record.Variable, name.c_str());
            l.record.State = sec.State;
            l.samples = SampleSpan(file, vars.LocateVar(name.c_str()));
            lines.push_back(std::move(l));
        }
        return it->second;
    };
    for (int n = 0; n < contours.Count(); ++n) {
        const TW_Contour& c = *contours.ItemINT(n);
        if (!c.Used) continue;
        used[std::size_t(n)].contour = &c;
        used[std::size_t(n)].sensor = TW_FieldText(c.Sensor);
        TW_SetField(used[std::size_t(n)].sensorField, used[std::size_t(n)].sensor.c_str());
        used[std::size_t(n)].excursions =
            Excursions(file, vars.LocateVar(used[std::size_t(n)].sensor.c_str()), c, periodEnd);
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
    l.demandFrom.assign(l.uses.size(), 0);
    l.relayFrom.assign(l.uses.size(), 0);
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
void ExplainByDemand(const Use& u, const UsedContour& c, time_t t, Explanation& best,
                     std::size_t& from) {
    const auto& ex = c.excursions;
    // The first excursion that starts after `t`.
    while (from < ex.size() && ex[from].start <= t)
        ++from;
    auto it = ex.begin() + std::ptrdiff_t(from);
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
bool ExplainedByRelay(const Use& u, const Line& relay, const PRTime& at, time_t t,
                      std::size_t& from) {
    // The first operation of the relay after `t`.
    while (from < relay.opsAt.size() && relay.opsAt[from] <= t)
        ++from;
    auto it = relay.opsAt.begin() + std::ptrdiff_t(from);
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
    for (std::size_t n = 0; n < l.uses.size(); ++n)
        ExplainByDemand(l.uses[n], used[std::size_t(l.uses[n].contour)], t, e, l.demandFrom[n]);
    if (e.excursion) return e;
    for (std::size_t n = 0; n < l.uses.size(); ++n) {
        const Use& u = l.uses[n];
        const int relay = used[std::size_t(u.contour)].relayLine;
        if (u.role == TW_RoleApparatus && relay >= 0 &&
            ExplainedByRelay(u, lines[std::size_t(relay)], at, t, l.relayFrom[n]))
            return {TW_OpByRelay, u.contour, u.role, nullptr};
    }
    const Use& first = l.uses.front();
    if (Commanded(l, rules.Commands, commandSamples, at, t))
        return {TW_OpCommanded, first.contour, first.role, nullptr};
    if (InMaintenance(l, rules.Maintenance, at))
        return {TW_OpMaintenance, first.contour, first.role, nullptr};
    return {TW_OpUnexplained, first.contour, first.role, nullptr};
}

// Each line's rank in (variable, state) order: the order of operations of one
// moment.
std::vector<uint32_t> LineRanks(const std::vector<Line>& lines) {
    std::vector<uint32_t> order(lines.size()), rank(lines.size());
    for (uint32_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) {
        return std::tie(lines[a].variable, lines[a].state) <
               std::tie(lines[b].variable, lines[b].state);
    });
    for (uint32_t r = 0; r < order.size(); ++r)
        rank[order[r]] = r;
    return rank;
}

// Appends the record of one operation to `out`, made in place.
void AddRecord(std::vector<TW_Operation>& out, const Line& l, const PRTime& at,
               const Explanation& why, const std::vector<UsedContour>& used) {
    const UsedContour& c = used[std::size_t(why.contour)];
    TW_Operation& op = out.emplace_back(l.record);
    op.Role = why.role;
    op.Class = why.cls;
    op.Time = at;
    std::memcpy(op.Sensor, c.sensorField, sizeof op.Sensor);
    op.SensorState = c.contour->State;
    if (const Excursion* e = why.excursion) op.IncidentStart = e->startAt;
}

using SortKey = std::pair<TW_TimeKeyValue, uint32_t>;  // a key and the place of its item

// Sorts `keys` by key, stably: a radix sort, one pass for each byte of the key
// that is not the same in all of them (a day's moments differ in a few).
void SortByKey(std::vector<SortKey>& keys) {
    TW_TimeKeyValue differ = 0;
    for (const SortKey& k : keys)
        differ |= k.first ^ keys.front().first;
    std::vector<SortKey> sorted(keys.size());
    for (int shift = 0; shift < 128; shift += 8) {
        if (uint8_t(differ >> shift) == 0) continue;
        std::array<uint32_t, 257> at{};
        for (const SortKey& k : keys)
            ++at[std::size_t(uint8_t(k.first >> shift)) + 1];
        for (std::size_t d = 1; d < at.size(); ++d)
            at[d] += at[d - 1];
        for (const SortKey& k : keys)
            sorted[at[uint8_t(k.first >> shift)]++] = k;
        keys.swap(sorted);
    }
}

// std::lower_bound of `value` in the sorted `v`, found by steps that double
// away from `hint`: a few comparisons when the answer lies near it.
template <class T>
std::size_t LowerBoundNear(const std::vector<T>& v, const T& value, std::size_t hint) {
    const std::size_t n = v.size();
    std::size_t lo = 0, hi = std::min(hint, n);
    if (hi < n && v[hi] < value) {
        // Forward: v[lo] < value, and the answer lies in (lo, hi].
        for (std::size_t step = 1;; step *= 2) {
            lo = hi;
            hi = n - lo > step ? lo + step : n;
            if (hi == n || !(v[hi] < value)) break;
        }
        ++lo;
    } else {
        // Back: hi is n or !(v[hi] < value), and the answer lies in [lo, hi].
        for (std::size_t step = 1;; step *= 2) {
            if (hi < step) {
                lo = 0;
                break;
            }
            if (v[hi - step] < value) {
                lo = hi - step + 1;
                break;
            }
            hi -= step;
        }
    }
    const auto at =
        std::lower_bound(v.begin() + std::ptrdiff_t(lo), v.begin() + std::ptrdiff_t(hi), value);
    return std::size_t(at - v.begin());
}

}  // namespace

std::vector<TW_Operation> TW_FindOperations(const HHourFile& hourFile,
                                            const TW_ContourArray& contours,
                                            const TW_OperationRules& rules, const PRTime& start,
                                            const PRTime& end, const TW_File& report) {
    std::vector<TW_Operation> out;
    TW_FindOperations(hourFile, contours, rules, start, end, out);
    TW_TieOperations(report, out);
    return out;
}

TW_IncidentIndex::TW_IncidentIndex(const TW_File& report) {
    items_.reserve(std::size_t(report.Count()));
    for (int i = 0; i < report.Count(); ++i) {
        const TW_ContourLine& row = *report.ItemINT(i);
        const std::string_view sensor(row.Contour.Sensor,
                                      strnlen(row.Contour.Sensor, sizeof row.Contour.Sensor));
        items_.push_back({{TW_TimeKey(row.Start), row.Contour.State, sensor}, i});
    }
    std::sort(items_.begin(), items_.end());
}

void TW_TieOperations(const TW_IncidentIndex& incidents, std::vector<TW_Operation>& ops) {
    const auto& items = incidents.items_;
    // The operations come in time order, and so, nearly, do the starts of
    // their incidents: each search begins where the last one ended.
    std::size_t hint = 0;
    for (TW_Operation& op : ops) {
        if (op.Class != TW_OpDemand) continue;
        const TW_IncidentIndex::Item key{
            {TW_TimeKey(op.IncidentStart), op.SensorState,
             std::string_view(op.Sensor, strnlen(op.Sensor, sizeof op.Sensor))},
            -1};
        hint = LowerBoundNear(items, key, hint);
        op.Incident =
            hint < items.size() && items[hint].first == key.first ? items[hint].second : -1;
    }
}

void TW_TieOperations(const TW_File& report, std::vector<TW_Operation>& ops) {
    TW_TieOperations(TW_IncidentIndex(report), ops);
}

void TW_FindOperations(const HHourFile& hourFile, const TW_ContourArray& contours,
                       const TW_OperationRules& rules, const PRTime& start, const PRTime& end,
                       std::vector<TW_Operation>& out) {
    const HHourVarBounds vars(hourFile);
    std::vector<Line> lines;
    std::vector<UsedContour> used;
    CollectLines(hourFile, vars, contours, lines, used, end.GetTT());
    std::vector<SampleSpan> commandSamples;
    for (const TW_Command& cmd : rules.Commands)
        commandSamples.emplace_back(hourFile, vars.LocateVar(cmd.Variable.c_str()));
    const std::vector<uint32_t> rank = LineRanks(lines);

    std::size_t total = 0;
    for (Line& l : lines) {
        FindLineOperations(l);
        total += l.ops.size();
    }
    // Each line's operations in the period explained in the order of its
    // samples (each search goes on from where the last ended), with their sort
    // keys: the moment, then the line's rank; on a tie (a clock set back) the
    // earlier sample of the line first, as the sort is stable.
    struct Found {
        uint32_t line;
        PRTime at;
        Explanation why;
    };
    std::vector<Found> found;
    std::vector<SortKey> keys;
    found.reserve(total);
    keys.reserve(total);
    for (std::size_t n = 0; n < lines.size(); ++n) {
        const Line& l = lines[n];
        for (std::size_t i = 0; i < l.ops.size(); ++i) {
            const PRTime& at = l.samples.at(l.ops[i]).Time;
            if (at < start || !(at < end)) continue;
            keys.push_back({TW_TimeKey(at) << 32 | rank[n], uint32_t(found.size())});
            found.push_back({uint32_t(n), at,
                             Explain(l, l.ops[i], l.opsAt[i], used, lines, rules, commandSamples)});
        }
    }
    SortByKey(keys);
    out.clear();
    out.reserve(keys.size());
    for (const SortKey& k : keys) {
        const Found& f = found[k.second];
        AddRecord(out, lines[f.line], f.at, f.why, used);
    }
}
