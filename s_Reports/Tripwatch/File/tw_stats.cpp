#include "tw_stats.h"

#include <algorithm>
#include <cstring>
#include <string_view>
#include <utility>

#include "tw_file.h"

namespace {

template <std::size_t N>
std::string_view FieldView(const char (&field)[N]) {
    return std::string_view(field, strnlen(field, N));
}

uint32_t ExcursionLength(const TW_ContourLine& line) {
    const int64_t d = int64_t(line.End.GetTT()) - int64_t(line.Start.GetTT());
    return d <= 0 ? 0 : uint32_t(std::min<int64_t>(d, TW_NoTime - 1));
}

// The step an incident that starts at `t` belongs to, as a number that counts
// weeks (Monday-based) or months.
long StepKey(TW_StatsStep step, const PRTime& t) {
    if (step == TW_StatsStep::Month) return long(t.Year) * 12 + (long(t.Month) - 1);
    // 1970-01-01 was a Thursday: Monday 1969-12-29 starts week 0.
    const long days = host::DaysFromCivil(t.Year, t.Month, t.Day) + 3;
    return days >= 0 ? days / 7 : -((-days + 6) / 7);
}

PRTime StepStart(TW_StatsStep step, long key) {
    PRTime t;
    if (step == TW_StatsStep::Month) return t.Set(int(key / 12), int(key % 12) + 1, 1);
    int y = 0, m = 0, d = 0;
    host::CivilFromDays(key * 7 - 3, y, m, d);
    return t.Set(y, m, d);
}

void Summarize(std::vector<uint32_t>& values, TW_TimeSummary& out) {
    out = TW_TimeSummary{};
    if (values.empty()) return;
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    out.Count = int(n);
    out.Max = values.back();
    out.P90 = values[(n * 9 + 9) / 10 - 1];
    out.Median = n % 2 ? double(values[n / 2]) : (double(values[n / 2 - 1]) + values[n / 2]) / 2;
}

void Count(TW_StatsFigures& f, const TW_Judgement& j) {
    ++f.Demands;
    switch (j.Verdict) {
        case TW_Verdict::Correct:
            ++f.Correct;
            f.NearMiss += j.NearMiss == TW_Maybe::Yes;
            f.NearMissUnknown += j.NearMiss == TW_Maybe::Unknown;
            break;
        case TW_Verdict::Failed:
            ++f.Misoperations;
            ++f.Failed;
            f.Slow += j.Slow == TW_Maybe::Yes;
            f.SlowUnknown += j.Slow == TW_Maybe::Unknown;
            break;
        case TW_Verdict::NotHeld:
            ++f.Misoperations;
            ++f.NotHeld;
            break;
    }
}

void CountOperation(TW_StatsFigures& f, const TW_Operation& op) {
    switch (op.Class) {
        case TW_OpDemand:
            ++f.OnDemand;
            break;
        case TW_OpCommanded:
            ++f.Commanded;
            break;
        case TW_OpMaintenance:
            ++f.Maintenance;
            break;
        case TW_OpUnexplained:
            ++(op.Role == TW_RoleRelay ? f.FalseRelay : f.FalseApparatus);
            break;
        default:
            break;
    }
}

void AddCounts(TW_StatsFigures& to, const TW_StatsFigures& f) {
    to.OnDemand += f.OnDemand;
    to.FalseRelay += f.FalseRelay;
    to.FalseApparatus += f.FalseApparatus;
    to.Commanded += f.Commanded;
    to.Maintenance += f.Maintenance;
    to.Demands += f.Demands;
    to.Correct += f.Correct;
    to.Misoperations += f.Misoperations;
    to.Failed += f.Failed;
    to.NotHeld += f.NotHeld;
    to.Slow += f.Slow;
    to.SlowUnknown += f.SlowUnknown;
    to.NearMiss += f.NearMiss;
    to.NearMissUnknown += f.NearMissUnknown;
}

// The response times of one line, per step (index 0 without steps), with the
// summary of each step and of all of them.
class TimeGroups {
  public:
    explicit TimeGroups(std::size_t steps) : steps_(std::max<std::size_t>(steps, 1)) {}
    void Add(std::size_t step, uint32_t value) {
        steps_[step].push_back(value);
        all_.push_back(value);
    }
    void SummarizeInto(TW_TimeSummary& total, std::vector<TW_StatsFigures>& steps,
                       TW_TimeSummary TW_StatsFigures::*line) {
        Summarize(all_, total);
        for (std::size_t i = 0; i < steps.size(); ++i)
            Summarize(steps_[i], steps[i].*line);
    }

  private:
    std::vector<std::vector<uint32_t>> steps_;
    std::vector<uint32_t> all_;
};

// Seconds from the tied incident's start to an operation on demand.
uint32_t OperationResponse(const TW_Operation& op) {
    const int64_t d = int64_t(op.Time.GetTT()) - int64_t(op.IncidentStart.GetTT());
    return d <= 0 ? 0 : uint32_t(std::min<int64_t>(d, TW_NoTime - 1));
}

double Median(std::vector<uint32_t> values) {
    TW_TimeSummary s;
    Summarize(values, s);
    return s.Median;
}

// The lines of the operations (sorted by time), each with its figures.
std::vector<TW_LineStats> LineStats(const std::vector<TW_Operation>& ops) {
    std::vector<TW_LineStats> lines;
    std::vector<std::vector<uint32_t>> times;
    std::unordered_map<std::string, std::size_t> index;
    for (const TW_Operation& op : ops) {
        const auto [it, added] = index.try_emplace(
            std::string(FieldView(op.Variable)) + '\0' + char(op.Role), lines.size());
        if (added) {
            TW_LineStats l;
            l.Variable = FieldView(op.Variable);
            l.Role = op.Role;
            lines.push_back(std::move(l));
            times.emplace_back();
        }
        TW_LineStats& l = lines[it->second];
        ++l.Operations;
        l.Unexplained += op.Class == TW_OpUnexplained;
        if (op.Class != TW_OpDemand) continue;
        ++l.OnDemand;
        times[it->second].push_back(OperationResponse(op));
    }
    for (std::size_t i = 0; i < lines.size(); ++i) {
        std::vector<uint32_t>& t = times[i];
        TW_LineStats& l = lines[i];
        if (t.size() >= 6) {
            const std::size_t half = t.size() / 2;
            l.HasTrend = true;
            l.EarlierMedian = Median({t.begin(), t.begin() + std::ptrdiff_t(half)});
            l.LaterMedian = Median({t.end() - std::ptrdiff_t(half), t.end()});
            l.Slowing =
                l.LaterMedian >= 1.25 * l.EarlierMedian && l.LaterMedian - l.EarlierMedian >= 1.0;
        }
        Summarize(t, l.Times);
    }
    return lines;
}

void MarkOperationsKnown(std::vector<TW_StatsFigures>& figures, bool known) {
    for (TW_StatsFigures& f : figures)
        f.OperationsKnown = known;
}

}  // namespace

std::optional<double> TW_StatsFigures::Dependability() const {
    if (!Demands) return std::nullopt;
    return double(Correct) / Demands;
}

std::optional<double> TW_StatsFigures::Security() const {
    const int all = OnDemand + Unexplained();
    if (!OperationsKnown || !all) return std::nullopt;
    return double(OnDemand) / all;
}

std::optional<double> TW_StatsFigures::MisoperationRateAll() const {
    const int all = Demands + Unexplained();
    if (!OperationsKnown || !all) return std::nullopt;
    return double(Misoperations + Unexplained()) / all;
}

TW_Judgement TW_Judge(const TW_ContourLine& line, const TW_IncidentTimes* times,
                      double nearMissShare) {
    struct Line {
        bool used;
        uint8_t flags;
        uint32_t window;
        const TW_LineTimes* times;
    };
    const Line lines[2] = {
        {line.Contour.Rele.Used != 0, line.ReleResult, line.Contour.Rele.MaxTime,
         times ? &times->Rele : nullptr},
        {line.Contour.Prot.Used != 0, line.ProtResult, line.Contour.Prot.MaxTime,
         times ? &times->Prot : nullptr},
    };
    bool failed = false, notHeld = false, used = false, everyFailedCame = true;
    for (const Line& l : lines) {
        if (!l.used) continue;
        used = true;
        if (!(l.flags & TW_Operated)) {
            failed = true;
            everyFailedCame &= l.times && l.times->Response != TW_NoTime;
        } else if (l.flags != TW_Operated) {
            notHeld = true;
        }
    }
    TW_Judgement j;
    if (failed) {
        j.Verdict = TW_Verdict::Failed;
        j.Slow = !times ? TW_Maybe::Unknown : everyFailedCame ? TW_Maybe::Yes : TW_Maybe::No;
        return j;
    }
    if (notHeld) {
        j.Verdict = TW_Verdict::NotHeld;
        return j;
    }
    if (!used) return j;
    if (!times) {
        j.NearMiss = TW_Maybe::Unknown;
        return j;
    }
    for (const Line& l : lines) {
        if (!l.used || l.times->Response == TW_NoTime) continue;
        const double window = l.window ? l.window : ExcursionLength(line);
        if (double(l.times->Response) > nearMissShare * window) j.NearMiss = TW_Maybe::Yes;
    }
    return j;
}

TW_StatsBuilder::TW_StatsBuilder(TW_StatsSettings settings) : settings_(settings) {}

int TW_StatsBuilder::ContourOf(std::string_view sensor, uint16_t state) {
    // The incidents of one contour follow each other in a report.
    if (last_ >= 0 && contours_[std::size_t(last_)].State == state &&
        contours_[std::size_t(last_)].Sensor == sensor)
        return last_;
    std::string key(sensor);
    key += '\0';
    key += char(state & 0xFF);
    key += char(state >> 8);
    const auto [it, added] = index_.try_emplace(std::move(key), int(contours_.size()));
    if (added) {
        TW_ContourStats c;
        c.Sensor = sensor;
        c.State = state;
        contours_.push_back(std::move(c));
    }
    return last_ = it->second;
}

void TW_StatsBuilder::Add(const TW_ContourLine& line, const TW_IncidentTimes* times) {
    const TW_Contour& k = line.Contour;
    TW_ContourStats& c = contours_[std::size_t(ContourOf(FieldView(k.Sensor), k.State))];
    c.StateName = FieldView(k.StateName);
    c.Relay = k.Rele.Used ? FieldView(k.Rele.Sensor) : std::string_view();
    c.Apparatus = k.Prot.Used ? FieldView(k.Prot.Sensor) : std::string_view();
    TW_IncidentPoint p;
    p.Start = line.Start;
    p.End = line.End;
    p.RelayUsed = k.Rele.Used != 0;
    p.ApparatusUsed = k.Prot.Used != 0;
    p.RelayWindow = k.Rele.MaxTime;
    p.ApparatusWindow = k.Prot.MaxTime;
    p.HasTimes = times != nullptr;
    if (times && p.RelayUsed) p.RelayResponse = times->Rele.Response;
    if (times && p.ApparatusUsed) p.ApparatusResponse = times->Prot.Response;
    p.Judgement = TW_Judge(line, times, settings_.NearMissShare);
    c.Series.push_back(p);
    ++incidents_;
}

void TW_StatsBuilder::Add(const std::vector<TW_Operation>& operations) {
    operations_.insert(operations_.end(), operations.begin(), operations.end());
}

void TW_StatsBuilder::Add(const TW_File& report) {
    for (int i = 0; i < report.Count(); ++i)
        Add(*report.ItemINT(i), report.TimesOf(i));
}

TW_Statistics TW_StatsBuilder::Finish(const PRTime& start, const PRTime& end) {
    TW_Statistics s;
    s.Start = start;
    s.End = end;
    s.Settings = settings_;
    const TW_StatsStep step = settings_.Step;

    // The steps: those of the period, widened to every incident's.
    long from = 0, to = -1;
    if (step != TW_StatsStep::None) {
        from = StepKey(step, start);
        to = StepKey(step, end);
        if (StepStart(step, to) == end) --to;  // the period ends where that step begins
        to = std::max(to, from);
        auto widen = [&](const PRTime& t) {
            const long key = StepKey(step, t);
            from = std::min(from, key);
            to = std::max(to, key);
        };
        for (const TW_ContourStats& c : contours_)
            for (const TW_IncidentPoint& p : c.Series)
                widen(p.Start);
        if (operationsKnown_)
            for (const TW_Operation& op : operations_)
                widen(op.Time);
        for (long key = from; key <= to; ++key)
            s.StepStarts.push_back(StepStart(step, key));
    }
    const std::size_t steps = s.StepStarts.size();
    s.PlantSteps.resize(steps);

    // Operations of contours without an incident make their contours too.
    std::vector<int> operationContour;
    if (operationsKnown_) {
        std::stable_sort(
            operations_.begin(), operations_.end(),
            [](const TW_Operation& a, const TW_Operation& b) { return a.Time < b.Time; });
        for (const TW_Operation& op : operations_) {
            const int n = ContourOf(FieldView(op.Sensor), op.SensorState);
            operationContour.push_back(n);
            TW_ContourStats& c = contours_[std::size_t(n)];
            std::string& name = op.Role == TW_RoleRelay ? c.Relay : c.Apparatus;
            if (name.empty()) name = FieldView(op.Variable);
        }
    }

    std::unordered_map<std::string, int> sensors;
    for (const TW_ContourStats& c : contours_)
        ++sensors[c.Sensor];

    for (TW_ContourStats& c : contours_)
        c.Steps.assign(steps, TW_StatsFigures{});
    for (std::size_t i = 0; i < operationContour.size(); ++i) {
        const TW_Operation& op = operations_[i];
        TW_ContourStats& c = contours_[std::size_t(operationContour[i])];
        CountOperation(c.Total, op);
        if (steps) CountOperation(c.Steps[std::size_t(StepKey(step, op.Time) - from)], op);
    }

    TimeGroups plantRelay(steps), plantApparatus(steps);
    for (TW_ContourStats& c : contours_) {
        c.Label =
            sensors[c.Sensor] > 1 ? c.Sensor + " [" + std::to_string(c.State) + "]" : c.Sensor;
        c.Total.OperationsKnown = operationsKnown_;
        MarkOperationsKnown(c.Steps, operationsKnown_);
        TimeGroups relay(steps), apparatus(steps);
        for (const TW_IncidentPoint& p : c.Series) {
            const std::size_t at = steps ? std::size_t(StepKey(step, p.Start) - from) : 0;
            Count(c.Total, p.Judgement);
            if (steps) Count(c.Steps[at], p.Judgement);
            if (p.RelayResponse != TW_NoTime) {
                relay.Add(at, p.RelayResponse);
                plantRelay.Add(at, p.RelayResponse);
            }
            if (p.ApparatusResponse != TW_NoTime) {
                apparatus.Add(at, p.ApparatusResponse);
                plantApparatus.Add(at, p.ApparatusResponse);
            }
        }
        relay.SummarizeInto(c.Total.Relay, c.Steps, &TW_StatsFigures::Relay);
        apparatus.SummarizeInto(c.Total.Apparatus, c.Steps, &TW_StatsFigures::Apparatus);
        AddCounts(s.Plant, c.Total);
        for (std::size_t i = 0; i < steps; ++i)
            AddCounts(s.PlantSteps[i], c.Steps[i]);
    }
    plantRelay.SummarizeInto(s.Plant.Relay, s.PlantSteps, &TW_StatsFigures::Relay);
    plantApparatus.SummarizeInto(s.Plant.Apparatus, s.PlantSteps, &TW_StatsFigures::Apparatus);
    s.Plant.OperationsKnown = operationsKnown_;
    MarkOperationsKnown(s.PlantSteps, operationsKnown_);
    s.OperationsKnown = operationsKnown_;
    if (operationsKnown_) {
        s.Lines = LineStats(operations_);
        s.Operations = std::move(operations_);
    }

    s.Contours = std::move(contours_);
    contours_.clear();
    index_.clear();
    last_ = -1;
    incidents_ = 0;
    operations_.clear();
    operationsKnown_ = false;
    return s;
}
