#include "tw_fill.h"

#include <algorithm>
#include <cstring>

#include "common/cp1251.h"
#include "common/lasterror.h"
#include "common/strutil.h"
#include "hourfile/hourfile.h"
#include "plantdb/dbdatabase.h"
#include "tw_contourarray.h"
#include "tw_fieldtext.h"
#include "tw_file.h"
#include "tw_fillreporter.h"

using namespace host::literals;

namespace {

const char* const kNoName = "<не задан>"_cp;

// Withdraws the abort offer on every way out of Fill.
class AbortOfferScope {
  public:
    explicit AbortOfferScope(TW_FillReporter& reporter) : reporter_(reporter) {}
    ~AbortOfferScope() { reporter_.OfferAbort(false); }
    AbortOfferScope(const AbortOfferScope&) = delete;
    AbortOfferScope& operator=(const AbortOfferScope&) = delete;

  private:
    TW_FillReporter& reporter_;
};

// Clears the progress text on every way out of a long step.
class ProgressTextScope {
  public:
    explicit ProgressTextScope(TW_FillReporter& reporter) : reporter_(reporter) {}
    ~ProgressTextScope() { reporter_.SetText(nullptr); }
    ProgressTextScope(const ProgressTextScope&) = delete;
    ProgressTextScope& operator=(const ProgressTextScope&) = delete;

  private:
    TW_FillReporter& reporter_;
};

// The variable's samples that really exist: `last` is cut where the sample list ends.
int LastPresent(const HHourVar& v, const HHourFile& file) {
    return std::min<int>(v.last, file.Samples.Count() - 1);
}

// Copies a name-list text into a 50-byte row field, or "<не задан>".
template <std::size_t N>
void SetName(char (&field)[N], const char* text) {
    TW_SetField(field, text ? text : kNoName);
}

using TimeKeyValue = TW_TimeKeyValue;

TimeKeyValue TimeKey(const PRTime& t) {
    return TW_TimeKey(t);
}

// The first index in [first, last] whose sample time is not before `moment`
// (last + 1 when there is none); the samples of a variable are in time order
// and lie next to each other in the sample list. The search halves the range
// without jumps that depend on the data: on a relay that toggles all day a
// branching search mispredicts at about every other step.
int FirstNotBefore(const HHourFile& file, int first, int last, const TimeKeyValue& key) {
    if (first > last) return first;
    const HHourSample* const start = file.Sample(first);
    const HHourSample* base = start;
    for (int n = last - first + 1; n > 1;) {
        const int half = n / 2;
        base = TimeKey(base[half].Time) < key ? base + half : base;
        n -= half;
    }
    return first + int(base - start) + int(TimeKey(base->Time) < key);
}

// The same, starting from `hint` when every sample before it is known to be
// earlier than `moment`: the incidents of a contour come in time order, so
// their searches move forward through a variable's samples. The steps double
// from the hint (1, 2, 4, ...) until they pass the moment, then the last step
// is halved; a short way forward costs a few probes near samples already read.
int FirstNotBefore(const HHourFile& file, int first, int last, const PRTime& moment, int hint) {
    const TimeKeyValue key = TimeKey(moment);
    if (hint <= first || hint > last + 1 || !(TimeKey(file.Sample(hint - 1)->Time) < key))
        return FirstNotBefore(file, first, last, key);
    int lo = hint;  // every sample before lo is earlier than the moment
    for (int64_t step = 1;; step *= 2) {
        const int64_t probe = int64_t(lo) + step - 1;
        if (probe > last || !(TimeKey(file.Sample(int(probe))->Time) < key))
            return FirstNotBefore(file, lo, int(std::min<int64_t>(probe, int64_t(last) + 1)) - 1,
                                  key);
        lo = int(probe) + 1;
    }
}

// Where the progress percentage of sample i changes next: percentages are only
// computed when they can have changed, with 64-bit arithmetic (a day can hold
// more samples than 32 bits can multiply by 100).
class ScanProgress {
  public:
    ScanProgress(TW_FillReporter& reporter, int first, int last)
        : reporter_(reporter), first_(first), last_(last) {}
    void At(int i) {
        if (i < next_) return;
        const int64_t span = int64_t(last_) - first_;
        const int percent = span > 0 ? int((int64_t(i) - first_) * 100 / span) : 0;
        reporter_.SetProgress(percent);
        // The first index with a higher percentage.
        next_ = span > 0 ? int(std::min<int64_t>(
                               first_ + ((int64_t(percent) + 1) * span + 99) / 100, INT32_MAX))
                         : INT32_MAX;
        if (next_ <= i) next_ = i + 1;
    }

  private:
    TW_FillReporter& reporter_;
    int first_, last_;
    int next_ = INT32_MIN;
};

// Asks the samples of up to two variables into the cache one cache line per
// step, spread over a sensor scan: a relay's samples are searched at random
// places, which would otherwise wait for main memory at nearly every step.
class SamplePrefetch {
  public:
    SamplePrefetch(const HHourFile& file, const HHourVar* a, const HHourVar* b) {
        for (const HHourVar* v : {a, b}) {
            if (!v) continue;
            const int last = LastPresent(*v, file);
            if (v->first < 0 || v->first > last) continue;
            const char* from = reinterpret_cast<const char*>(file.Sample(v->first));
            ranges_[count_++] = {from,
                                 from + std::size_t(last - v->first + 1) * sizeof(HHourSample)};
        }
    }
    void Step() {
        while (current_ < count_) {
            Range& r = ranges_[current_];
            if (r.next < r.end) {
                __builtin_prefetch(r.next, 0, 2);
                r.next += kLine;
                return;
            }
            ++current_;
        }
    }

  private:
    static constexpr std::size_t kLine = 64;
    struct Range {
        const char* next;
        const char* end;
    };
    Range ranges_[2]{};
    int count_ = 0;
    int current_ = 0;
};

}  // namespace

// Seconds from `from` to `to`, signed and wide: the intervals and windows they
// are held against are unsigned 32-bit durations, up to 136 years.
int64_t Elapsed(time_t from, time_t to) {
    return int64_t(to) - int64_t(from);
}

namespace {

// Seconds from `from` to `to`, kept within what a time can hold: a clock
// change inside an excursion cannot make them negative.
uint32_t SecondsBetween(time_t from, time_t to) {
    const int64_t d = int64_t(to) - int64_t(from);
    return d <= 0 ? 0 : d >= int64_t(TW_NoTime) ? TW_NoTime - 1 : uint32_t(d);
}

// The response times of a line whose first sample at or after the excursion's
// start is k: when it first is in its state inside the excursion, and when it
// then first is in another.
TW_LineTimes MeasureSection(const TW_ContourSignal& section, const HHourFile& hourFile, int first,
                            int last, int k, const TW_ContourLine& row, time_t start) {
    TW_LineTimes times;
    bool in = k > first && hourFile.Sample(k - 1)->State == section.State;
    time_t reached = start;
    if (in) times.Response = 0;
    for (; k <= last; ++k) {
        const HHourSample& s = *hourFile.Sample(k);
        if (s.Time >= row.End) break;
        if (!in && s.State == section.State) {
            in = true;
            reached = s.Time.GetTT();
            times.Response = SecondsBetween(start, reached);
        } else if (in && s.State != section.State) {
            times.Held = SecondsBetween(reached, s.Time.GetTT());
            break;
        }
    }
    return times;
}

}  // namespace

uint8_t EvaluateSection(const TW_ContourSignal& section, const HHourVar& variable,
                        const HHourFile& hourFile, const TW_ContourLine& row, time_t start,
                        int* from, TW_LineTimes* times) {
    if (times) *times = TW_LineTimes{};
    const int first = variable.first;
    const int last = LastPresent(variable, hourFile);
    if (first > last) return 0;
    uint8_t flags = 0;
    // The samples before the excursion only carry their state in: the last of
    // them decides the state at its start.
    int k = FirstNotBefore(hourFile, first, last, row.Start, from ? *from : first);
    if (from) *from = k;
    if (times) *times = MeasureSection(section, hourFile, first, last, k, row, start);
    if (k > first && hourFile.Sample(k - 1)->State == section.State) flags = TW_Operated;
    // Response search inside the window. A line in its state as the excursion
    // began has responded: the follow-up looks at every sample from the start,
    // so that one dropping out in the window is not taken for one that held.
    for (; !(flags & TW_Operated) && k <= last; ++k) {
        const HHourSample& s = *hourFile.Sample(k);
        if (s.Time >= row.End) break;
        if (section.MaxTime != 0 && Elapsed(start, s.Time.GetTT()) >= int64_t(section.MaxTime))
            break;
        if (s.State == section.State) {
            flags = TW_Operated;
            break;
        }
    }
    // Follow-up: did the signal leave its state before the excursion ended?
    if (flags & TW_Operated) {
        for (; k <= last; ++k) {
            const HHourSample& s = *hourFile.Sample(k);
            if (s.Time >= row.End) break;
            if (s.State == section.State) continue;
            flags |= DBIsErrorState(0, s.State) ? TW_AfterError : TW_AfterOff;
            break;
        }
    }
    return flags;
}

namespace {
// A verdict on a variable without any sample since the look-back began comes
// from a sample carried in from long before (or from none): said in the log and
// counted for the run's summary.
void CheckVerdictData(const TW_ContourLine& row, const HHourVar& variable, const HHourFile& file,
                      TW_FillReporter& reporter) {
    if (!file.HasLookBack() || file.LookBackFirst(variable) <= LastPresent(variable, file)) return;
    reporter.Log(host::Format(
        "Результат не подтвержден данными: датчик \"%s\" %s - %s, у \"%s\" нет значений с %s"_cp,
        TW_FieldText(row.Contour.Sensor).c_str(), row.Start.GetStr(), row.End.GetStr(),
        variable.Name, file.LookBackStart.GetStr()));
    reporter.NoteUnverifiedVerdict();
}
}  // namespace

void AddIncident(TW_ContourLine& row, time_t start, time_t end, TW_FillContext& ctx) {
    row.Start.Set(start);
    row.End.Set(end);
    TW_IncidentTimes times;
    if (ctx.relay) {
        row.ReleResult = EvaluateSection(ctx.contour->Rele, *ctx.relay, *ctx.hourFile, row, start,
                                         &ctx.relayFrom, &times.Rele);
        CheckVerdictData(row, *ctx.relay, *ctx.hourFile, *ctx.reporter);
    }
    if (ctx.apparatus) {
        row.ProtResult = EvaluateSection(ctx.contour->Prot, *ctx.apparatus, *ctx.hourFile, row,
                                         start, &ctx.apparatusFrom, &times.Prot);
        CheckVerdictData(row, *ctx.apparatus, *ctx.hourFile, *ctx.reporter);
    }
    // The times stay one per item: a report that had none before gets none.
    const bool timed = ctx.report->Times.size() == std::size_t(ctx.report->Count());
    ctx.report->Add(row);
    if (timed) ctx.report->Times.push_back(times);
}

bool ScanContour(TW_FillContext& ctx) {
    TW_FillReporter& reporter = *ctx.reporter;
    reporter.ShowProgress();
    ProgressTextScope clearText(reporter);

    const TW_Contour& c = *ctx.contour;
    const HHourFile& file = *ctx.hourFile;
    TW_ContourLine row{};
    std::memcpy(&row.Contour, &c, sizeof(TW_Contour));
    SetName(row.ObjectName, file.ObjectName(ctx.sensor->Descriptor.ObjectIndex));
    SetName(row.SensorPlace, file.PlaceName(ctx.sensor->Descriptor.PlaceIndex));
    SetName(row.ProtObjectName,
            ctx.apparatus ? file.ObjectName(ctx.apparatus->Descriptor.ObjectIndex) : nullptr);

    const std::string sensorName = TW_FieldText(c.Sensor);
    const int first = ctx.sensor->first;
    const int last = ctx.sensor->last;
    // Samples before lookBackFirst were carried in from before the look-back;
    // only an excursion that ends in the period (closed at or after
    // periodFirst) is this report's: one that ended earlier was the previous
    // day's, one still open at the end is the next day's.
    const int lookBackFirst = file.LookBackFirst(*ctx.sensor);
    const int periodFirst = file.PeriodFirst(*ctx.sensor);
    ScanProgress progress(reporter, first, last);
    SamplePrefetch ahead(file, ctx.nextRelay, ctx.nextApparatus);
    ctx.relayFrom = ctx.apparatusFrom = 0;
    bool open = false;
    bool beforeLookBack = false;  // the open excursion began before the look-back
    time_t start = 0;
    // The clock is asked every 64 samples: with an idle period of about 0.2 s a
    // poll comes microseconds late at most. A period of 0 asks at every sample.
    const bool everySample = reporter.PollEverySample();
    for (int i = first; i <= last; ++i) {
        progress.At(i);
        ahead.Step();
        if ((everySample || ((i - first) & 63) == 0) && reporter.PollDue()) {
            reporter.SetText(
                host::Format("Рассчет для \"%s\" %d/%d..."_cp, sensorName.c_str(), i, last)
                    .c_str());
            if (reporter.Aborted()) {
                SetErrorN(host::kErrorCancelled);
                return false;
            }
        }
        const HHourSample* s = file.Sample(i);
        if (!s) {
            // The sample list ends before the variable's range does: an open
            // excursion closes at the end of the report period.
            if (open) {
                const time_t end = ctx.report->End.GetTT();
                if (Elapsed(start, end) > int64_t(c.Interval)) AddIncident(row, start, end, ctx);
            }
            break;
        }
        if (s->State == c.State) {
            if (!open) {
                open = true;
                beforeLookBack = i < lookBackFirst;
                start = beforeLookBack ? file.LookBackStart.GetTT() : s->Time.GetTT();
                row.Value = s->Value;
            } else if (c.ValueType == TW_ValueMax) {
                row.Value = std::max(row.Value, s->Value);
            } else if (c.ValueType == TW_ValueMin) {
                row.Value = std::min(row.Value, s->Value);
            }
        } else if (open) {
            const time_t end = s->Time.GetTT();
            if (i >= periodFirst && Elapsed(start, end) >= int64_t(c.Interval)) {
                if (beforeLookBack)
                    reporter.Log(host::Format(
                        "Датчик \"%s\": отклонение длиннее просмотра, за начало взято %s"_cp,
                        sensorName.c_str(), file.LookBackStart.GetStr()));
                AddIncident(row, start, end, ctx);
            }
            open = false;
        }
    }
    // An excursion still open after the last sample is not reported here: the
    // next period's data holds it whole.
    return true;
}

namespace {
// A used contour whose variables, some or all, have no sample in the period is
// said in the log and noted for the run's summary; it is scanned all the same.
void NoteMissingData(const TW_FillContext& ctx, const std::string& sensor) {
    std::string names;
    for (const HHourVar* v : {ctx.sensor, ctx.relay, ctx.apparatus}) {
        if (!v || ctx.hourFile->HasPeriodData(*v)) continue;
        names += names.empty() ? "\"" : ", \"";
        names += v->Name;
        names += '"';
    }
    if (names.empty()) return;
    ctx.reporter->Log(host::Format("Контур \"%s\": нет значений за период у %s"_cp, sensor.c_str(),
                                   names.c_str()));
    ctx.reporter->NoteContourWithoutData(sensor);
}

// The relay and apparatus of the first used contour from index `from` on, for
// the cache; a name that is not in the data is simply not asked for here (the
// contour's own turn reports it).
void LocateAhead(TW_FillContext& ctx, TW_ContourArray& contours, int from) {
    ctx.nextRelay = ctx.nextApparatus = nullptr;
    for (int n = from; n < contours.Count(); ++n) {
        const TW_Contour& c = *contours.ItemINT(n);
        if (!c.Used) continue;
        if (c.Rele.Used)
            ctx.nextRelay = ctx.variables->LocateVar(TW_FieldText(c.Rele.Sensor).c_str());
        if (c.Prot.Used)
            ctx.nextApparatus = ctx.variables->LocateVar(TW_FieldText(c.Prot.Sensor).c_str());
        return;
    }
}
}  // namespace

bool TW_File::Fill(HHourFile& hourFile, TW_ContourArray& contours, TW_FillReporter& reporter) {
    const HHourVarBounds variables(hourFile);
    reporter.ShowProgress();
    AbortOfferScope abortOffer(reporter);
    ProgressTextScope clearText(reporter);  // cleared before the offer is withdrawn
    TW_FillContext ctx{};
    ctx.report = this;
    ctx.reporter = &reporter;
    ctx.hourFile = &hourFile;
    ctx.variables = &variables;

    reporter.Log("Формирование отчета..."_cp);
    if (variables.Count() == 0) {
        SetError("%s", "Нет данных для переменных"_cp);
        return false;
    }
    DeleteAll();
    reporter.OfferAbort(true);

    const int count = contours.Count();
    for (int n = 0; n < count; ++n) {
        reporter.SetProgress(int(int64_t(n) * 100 / count));
        if (reporter.PollDue()) {
            reporter.SetText(host::Format("Формирование отчета %d/%d..."_cp, n, count).c_str());
            if (reporter.Aborted()) {
                SetErrorN(host::kErrorCancelled);
                return false;
            }
        }
        const TW_Contour& c = *contours.ItemINT(n);
        if (!c.Used) continue;
        ctx.contour = &c;
        const std::string sensor = TW_FieldText(c.Sensor);
        ctx.sensor = variables.LocateVar(sensor.c_str());
        if (!ctx.sensor) {
            SetError("Датчик \"%s\" не найден в данных"_cp, sensor.c_str());
            return false;
        }
        ctx.relay = nullptr;
        if (c.Rele.Used) {
            const std::string relay = TW_FieldText(c.Rele.Sensor);
            ctx.relay = variables.LocateVar(relay.c_str());
            if (!ctx.relay) {
                SetError("Реле \"%s\" не найдено в данных"_cp, relay.c_str());
                return false;
            }
        }
        ctx.apparatus = nullptr;
        if (c.Prot.Used) {
            const std::string apparatus = TW_FieldText(c.Prot.Sensor);
            ctx.apparatus = variables.LocateVar(apparatus.c_str());
            if (!ctx.apparatus) {
                SetError("Аппарат \"%s\" не найден в данных"_cp, apparatus.c_str());
                return false;
            }
        }
        NoteMissingData(ctx, sensor);
        LocateAhead(ctx, contours, n + 1);
        if (!ScanContour(ctx)) return false;
    }
    return true;
}
