#include "demo_plant.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <map>
#include <random>
#include <vector>

#include <nlohmann/json.hpp>

#include "common/cp1251.h"
#include "archive/hourarchive.h"
#include "common/lasterror.h"
#include "common/osfile.h"
#include "common/prtime.h"
#include "common/strutil.h"
#include "archive/sample.h"
#include "plantdb/configcatalog.h"
#include "config/configtree.h"
#include "plantdb/dbdatabase.h"
#include "common/timetext.h"

using namespace host::literals;

namespace host {

namespace {

// State sets of the demo configuration. State 3 is the error state of every set.
enum : uint16_t { kSetSensor = 1, kSetRelay = 2, kSetBreaker = 3, kSetAnalog = 4, kSetCommand = 5 };
constexpr uint16_t kError = 3;
constexpr uint16_t kSensorAlarm = 2, kSensorNormal = 0;
constexpr uint16_t kRelayOn = 1, kRelayOff = 0;
constexpr uint16_t kBreakerOff = 1, kBreakerOn = 0;
constexpr uint16_t kCommandNone = 0, kCommandTrip = 1;
// How long before a breaker's opening its command may come.
constexpr uint32_t kCommandSeconds = 5;

// Outcome bytes of a protection line.
constexpr int kOperated = 0x10, kThenError = 0x11, kThenOff = 0x12;

enum class Behaviour { InTime, Late, Never, ThenError, ThenOff };

struct Contour {
    std::string Sensor, Relay, Breaker;
    std::string Command;  // the variable that commands the breaker; empty: none
    int Object = 0;
    bool Used = true, RelayUsed = true, BreakerUsed = true;
    int Interval = 10, RelayMax = 10, BreakerMax = 20;
    const char* Event = "";
    const char* Limit = "";
};

// When a planted line came into its state and how long it held it inside the
// excursion, in seconds; -1 for none.
struct LineTimes {
    int64_t Response = -1, Held = -1;
};

struct Planted {
    int Contour;
    int64_t Start, End;
    int Relay, Breaker;
    double Value;
    bool CrossesMidnight;
    LineTimes RelayTimes, BreakerTimes;
};

// An operation of a relay or breaker line that the reports must show, with its
// class.
struct PlantedOperation {
    int Contour;
    std::string Variable;
    const char* Role;  // "relay", "apparatus"
    int64_t Time;
    const char* Class;
};

using Series = std::map<std::string, std::vector<archive::Sample>>;

// A draw from a stream of the generator: an integer in [lo, hi], a real in
// [lo, hi).
int UniformOf(std::mt19937& stream, int lo, int hi) {
    return std::uniform_int_distribution<int>(lo, hi)(stream);
}
double RealOf(std::mt19937& stream, double lo, double hi) {
    return std::uniform_real_distribution<double>(lo, hi)(stream);
}
// A measured value as the demo keeps it: to the hundredth.
double Hundredths(double v) {
    return std::round(v * 100.0) / 100.0;
}

class Generator {
  public:
    Generator(const DemoOptions& o) : options_(o), rng_(o.Seed), extra_(o.Seed * 7919u + 17u) {}

    int Uniform(int lo, int hi) { return UniformOf(rng_, lo, hi); }
    int Extra(int lo, int hi) { return UniformOf(extra_, lo, hi); }
    double Real(double lo, double hi) { return RealOf(rng_, lo, hi); }
    double Round(double v) { return Hundredths(v); }

    void Add(const std::string& name, int64_t t, uint16_t state, double value) {
        series_[name].push_back({t, state, value});
    }

    // One protection line's samples for an excursion [s, e); returns its outcome
    // and gives its times and the moment it came into its state (-1: never).
    int PlantLine(const std::string& name, int64_t s, int64_t e, int maxTime, uint16_t on,
                  uint16_t off, Behaviour b, int64_t earliest, int64_t reset, LineTimes& times,
                  int64_t& operated) {
        times = LineTimes{};
        operated = -1;
        const auto rise = [&](int64_t lo, int64_t hi) { return lo + Uniform(0, int(hi - lo)); };
        switch (b) {
            case Behaviour::Never:
                return 0;
            case Behaviour::Late: {
                const int64_t t = s + maxTime + Uniform(1, 5);
                if (t < e) times.Response = t - s;
                operated = t;
                Add(name, t, on, 1);
                Add(name, std::max(t, e) + reset, off, 0);
                return 0;
            }
            case Behaviour::InTime: {
                const int64_t t = rise(std::max(s + 1, earliest), s + maxTime - 1);
                times.Response = t - s;
                operated = t;
                Add(name, t, on, 1);
                Add(name, e + reset, off, 0);
                return kOperated;
            }
            case Behaviour::ThenError:
            case Behaviour::ThenOff: {
                const int64_t t = rise(std::max(s + 1, earliest), s + maxTime - 1);
                operated = t;
                Add(name, t, on, 1);
                const int64_t drop = t + 1 + Uniform(0, int(std::max<int64_t>(0, e - t - 2)));
                times.Response = t - s;
                times.Held = drop - t;
                const bool error = b == Behaviour::ThenError;
                Add(name, drop, error ? kError : off, error ? -1 : 0);
                Add(name, e + reset, off, 0);
                return error ? kThenError : kThenOff;
            }
        }
        return 0;
    }

    const DemoOptions& options_;
    std::mt19937 rng_;
    // The operations without demand draw from a stream of their own, so that
    // the excursions stay those of earlier demos of the same seed.
    std::mt19937 extra_;
    Series series_;
};

}  // namespace

namespace {
// True when local time keeps one offset from an hour before `from` to an hour
// after `to`.
bool SteadyOffset(int64_t from, int64_t to) {
    const auto offset = [](int64_t t) {
        const time_t seconds = time_t(t);
        struct tm tm {};
        return localtime_r(&seconds, &tm) ? tm.tm_gmtoff : LONG_MIN;
    };
    return offset(from - 3600) == offset(to + 3600);
}
}  // namespace

namespace {

constexpr int kObjects = 4, kPerObject = 8;
const char* const kJobName = "Daily";

// What the generator makes before anything is written.
struct Plant {
    std::vector<archive::Day> days;  // in order, the last one is yesterday
    HDBDatabase db;
    std::vector<Contour> contours;
    std::vector<std::string> background;       // measurement variables
    std::vector<Planted> planted;              // excursions of used contours
    std::vector<PlantedOperation> operations;  // of the used lines
    int maintenanceContour = -1;               // the breaker of the job's window
    int64_t maintenanceFrom = 0, maintenanceTo = 0;
};

// N whole local days ending yesterday.
std::vector<archive::Day> DemoDays(const DemoOptions& options) {
    const int64_t now = options.Today ? options.Today : int64_t(time(nullptr));
    const archive::Day today = archive::DayOf(now);
    std::vector<archive::Day> days;
    archive::Day d = archive::DayOf(today.Begin - 1);
    for (int i = 0; i < options.Days; ++i) {
        days.insert(days.begin(), d);
        d = archive::DayOf(d.Begin - 1);
    }
    return days;
}

// The four state sets, with state 3 the error state of every one.
void AddStateSets(HDBDatabase& db) {
    struct StateSet {
        uint16_t code;
        const char* name;
        const char* states[4];
    };
    static constexpr StateSet kSets[] = {
        {kSetSensor,
         "Датчик защиты"_cp,
         {"Норма"_cp, "Предупреждение"_cp, "Авария"_cp, "Ошибка"_cp}},
        {kSetRelay, "Реле"_cp, {"Отпущено"_cp, "Сработало"_cp, "Блокировано"_cp, "Ошибка"_cp}},
        {kSetBreaker, "Выключатель"_cp, {"Включен"_cp, "Отключен"_cp, "Ремонт"_cp, "Ошибка"_cp}},
        {kSetAnalog,
         "Измерение"_cp,
         {"Норма"_cp, "Выше нормы"_cp, "Ниже нормы"_cp, "Недостоверно"_cp}},
        {kSetCommand, "Команда"_cp, {"Нет"_cp, "Отключить"_cp, "Включить"_cp, "Ошибка"_cp}},
    };
    for (const StateSet& set : kSets) {
        db.AddStateSet(set.code, set.name, 0, 3);
        for (uint16_t state = 0; state < 4; ++state)
            db.SetStateName(set.code, state, set.states[state]);
    }
    db.AddErrorState(kError);
}

// The configuration database: state sets and types, then per object its place
// and the variables of its contours, then the background measurements.
void MakeConfiguration(Generator& g, Plant& plant) {
    HDBDatabase& db = plant.db;
    db.ConfigId = 0x00DE0000u | (g.options_.Seed & 0xFFFFu);
    db.ConfigTime.Set(time_t(plant.days.front().Begin - 86400));
    AddStateSets(db);
    const int tSensor = db.AddType("Датчик защиты"_cp, kSetSensor);
    const int tRelay = db.AddType("Выходное реле"_cp, kSetRelay);
    const int tBreaker = db.AddType("Выключатель"_cp, kSetBreaker);
    const int tAnalog = db.AddType("Измерение"_cp, kSetAnalog);
    const int tCommand = db.AddType("Команда выключателя"_cp, kSetCommand);

    static const char* const kEvents[] = {"Перегрев"_cp, "Перегрузка"_cp, "Замыкание на землю"_cp,
                                          "Понижение давления"_cp};
    static const char* const kLimits[] = {"> 90 °C"_cp, "> 1.2 Iном"_cp, "> 5 мА"_cp,
                                          "< 0.3 МПа"_cp};
    for (int o = 0; o < kObjects; ++o) {
        db.AddObject(Message("%s %d", "Энергоблок"_cp, o + 1));
        db.AddPlace(Message("%s %d", "Щит защит"_cp, o + 1));
        for (int k = 0; k < kPerObject; ++k) {
            Contour c;
            const std::string base = Format("U%d.P%02d.", o + 1, k + 1);
            c.Sensor = base + "Sensor";
            c.Relay = base + "Relay";
            c.Breaker = base + "Breaker";
            c.Object = o;
            const int n = int(plant.contours.size());
            c.Used = n % 13 != 12;
            c.BreakerUsed = n % 7 != 6;
            c.RelayUsed = n % 11 != 10;
            c.Interval = 5 + 5 * g.Uniform(0, 5);
            c.RelayMax = 10 + 5 * g.Uniform(0, 2);
            c.BreakerMax = 20 + 10 * g.Uniform(0, 2);
            c.Event = kEvents[k % 4];
            c.Limit = kLimits[k % 4];
            db.AddVariable(c.Sensor.c_str(), uint16_t(tSensor), uint16_t(o), uint16_t(o));
            db.AddVariable(c.Relay.c_str(), uint16_t(tRelay), uint16_t(o), uint16_t(o));
            db.AddVariable(c.Breaker.c_str(), uint16_t(tBreaker), uint16_t(o), uint16_t(o));
            // The fourth breaker of each unit is also opened by command.
            if (k == 3 && c.Used && c.BreakerUsed) {
                c.Command = base + "Command";
                db.AddVariable(c.Command.c_str(), uint16_t(tCommand), uint16_t(o), uint16_t(o));
            }
            plant.contours.push_back(c);
        }
    }
    for (int i = 0; i < g.options_.BackgroundVariables; ++i) {
        plant.background.push_back(Format("U%d.M%04d", i % kObjects + 1, i + 1));
        db.AddVariable(plant.background.back().c_str(), uint16_t(tAnalog), uint16_t(i % kObjects),
                       kDBNoIndex);
    }
}

// The [start, end) of each excursion of contour `c` in day `di`: a few in the
// day and, between two archive days, now and then one across midnight.
std::vector<std::pair<int64_t, int64_t>> ExcursionSpans(Generator& g, const Plant& plant,
                                                        std::size_t ci, std::size_t di) {
    const Contour& c = plant.contours[ci];
    const archive::Day& day = plant.days[di];
    std::vector<std::pair<int64_t, int64_t>> spans;
    const int count = g.Uniform(1, 3);
    for (int k = 0; k < count; ++k) {
        const int64_t slot = (day.End - day.Begin - 7200) / count;
        int64_t s = day.Begin + 1800 + k * slot + g.Uniform(0, int(slot / 2));
        const int64_t length = c.Interval + g.Uniform(40, 600);
        // Not where the clocks change: a record's local time cannot tell
        // the two passes of a repeated hour apart.
        while (!SteadyOffset(s, s + length))
            s += 7200;
        spans.push_back({s, s + length});
    }
    const bool cross = di + 1 < plant.days.size() && (ci + di) % 3 == 0;
    if (cross) {
        const int64_t s = day.End - g.Uniform(60, 1200);
        const int64_t e = std::max<int64_t>(day.End + g.Uniform(30, 600), s + c.Interval + 40);
        if (SteadyOffset(s, e)) spans.push_back({s, e});
    }
    return spans;
}

// Most lines operate cleanly, as in a plant: one answer in 20 is one of the
// four faults, in turn, so that every outcome occurs.
Behaviour BehaviourAt(int turn) {
    static constexpr Behaviour kFaults[] = {Behaviour::Late, Behaviour::Never, Behaviour::ThenError,
                                            Behaviour::ThenOff};
    return turn % 20 == 7 ? kFaults[turn / 20 % 4] : Behaviour::InTime;
}

// One excursion [s, e) of contour `ci` that ends in or after `day`: the sensor's
// readings, its lines' answers (the `turn`th behaviours), and the record of a
// used contour's incident.
void PlantExcursion(Generator& g, Plant& plant, std::size_t ci, const archive::Day& day, int64_t s,
                    int64_t e, int turn) {
    const Contour& c = plant.contours[ci];
    const bool crossing = s < day.End && e >= day.End;
    double value = g.Round(g.Real(92, 120));
    g.Add(c.Sensor, s, kSensorAlarm, value);
    for (int64_t t = s + 7; t < e - 1; t += g.Uniform(20, 90)) {  // readings inside
        const double v = g.Round(g.Real(92, 130));
        value = std::max(value, v);
        g.Add(c.Sensor, t, kSensorAlarm, v);
    }
    g.Add(c.Sensor, e, kSensorNormal, g.Round(g.Real(40, 60)));
    // The lines of an excursion across midnight may act, and drop out, before
    // midnight: the next day's report sees it whole.
    const int64_t earliest = s + 1;
    const Behaviour rb = BehaviourAt(turn);
    const Behaviour bb = BehaviourAt(turn + 10);
    int relay = 0, breaker = 0;
    LineTimes relayTimes, breakerTimes;
    int64_t relayAt = -1, breakerAt = -1;
    if (c.RelayUsed || !c.Used)
        relay = g.PlantLine(c.Relay, s, e, c.RelayMax, kRelayOn, kRelayOff, rb, earliest, 5,
                            relayTimes, relayAt);
    if (c.BreakerUsed || !c.Used)
        breaker = g.PlantLine(c.Breaker, s, e, c.BreakerMax, kBreakerOff, kBreakerOn, bb, earliest,
                              30, breakerTimes, breakerAt);
    if (c.Used && c.RelayUsed && relayAt >= 0)
        plant.operations.push_back({int(ci), c.Relay, "relay", relayAt, "demand"});
    if (c.Used && c.BreakerUsed && breakerAt >= 0)
        plant.operations.push_back({int(ci), c.Breaker, "apparatus", breakerAt, "demand"});
    if (c.Used)
        plant.planted.push_back(
            {int(ci), s, e, c.RelayUsed ? relay : 0, c.BreakerUsed ? breaker : 0, value, crossing,
             c.RelayUsed ? relayTimes : LineTimes{}, c.BreakerUsed ? breakerTimes : LineTimes{}});
}

using Spans = std::vector<std::pair<int64_t, int64_t>>;

// A moment of `day` at least 15 minutes away from every span of `busy` (and
// then added to it), where the clocks do not change; -1 when none was found.
int64_t QuietMoment(Generator& g, const archive::Day& day, Spans& busy) {
    for (int tries = 0; tries < 100; ++tries) {
        const int64_t t = day.Begin + g.Extra(7200, int(day.End - day.Begin - 10800));
        const bool clear = std::all_of(busy.begin(), busy.end(), [&](const auto& span) {
            return t + 900 < span.first || t - 900 > span.second + 900;
        });
        if (!clear || !SteadyOffset(t - 900, t + 900)) continue;
        busy.push_back({t - 900, t + 900});
        return t;
    }
    return -1;
}

// Operations without a demand of used contour `ci` on day `di`, now and then:
// a relay that picks up alone, a breaker that opens alone, a relay that trips
// its breaker, a breaker opened by its command, a relay in a sensor's blip
// too short to be an incident; and the breaker of the maintenance window.
void PlantOperationsWithoutDemand(Generator& g, Plant& plant, std::size_t ci, std::size_t di,
                                  Spans& busy) {
    const Contour& c = plant.contours[ci];
    const archive::Day& day = plant.days[di];
    const int n = int(ci + di);
    auto op = [&](const std::string& variable, const char* role, int64_t t, const char* cls) {
        plant.operations.push_back({int(ci), variable, role, t, cls});
    };
    int64_t t;
    if (c.RelayUsed && n % 11 == 0 && (t = QuietMoment(g, day, busy)) >= 0) {
        g.Add(c.Relay, t, kRelayOn, 1);
        g.Add(c.Relay, t + 4, kRelayOff, 0);
        op(c.Relay, "relay", t, "unexplained");
    }
    if (c.BreakerUsed && n % 13 == 1 && (t = QuietMoment(g, day, busy)) >= 0) {
        g.Add(c.Breaker, t, kBreakerOff, 1);
        g.Add(c.Breaker, t + 120, kBreakerOn, 0);
        op(c.Breaker, "apparatus", t, "unexplained");
    }
    if (c.RelayUsed && c.BreakerUsed && n % 17 == 2 && (t = QuietMoment(g, day, busy)) >= 0) {
        g.Add(c.Relay, t, kRelayOn, 1);
        g.Add(c.Breaker, t + 3, kBreakerOff, 1);
        g.Add(c.Relay, t + 5, kRelayOff, 0);
        g.Add(c.Breaker, t + 300, kBreakerOn, 0);
        op(c.Relay, "relay", t, "unexplained");
        op(c.Breaker, "apparatus", t + 3, "by_relay");
    }
    if (!c.Command.empty() && (t = QuietMoment(g, day, busy)) >= 0) {
        g.Add(c.Command, t, kCommandTrip, 1);
        g.Add(c.Command, t + 2, kCommandNone, 0);
        g.Add(c.Breaker, t + 2, kBreakerOff, 1);
        g.Add(c.Breaker, t + 600, kBreakerOn, 0);
        op(c.Breaker, "apparatus", t + 2, "commanded");
    }
    if (c.RelayUsed && n % 6 == 3 && (t = QuietMoment(g, day, busy)) >= 0) {
        g.Add(c.Sensor, t, kSensorAlarm, g.Round(g.Extra(91, 95)));
        g.Add(c.Sensor, t + std::max(2, c.Interval - 3), kSensorNormal, 50);
        g.Add(c.Relay, t + 1, kRelayOn, 1);
        g.Add(c.Relay, t + c.Interval, kRelayOff, 0);
        op(c.Relay, "relay", t + 1, "short_demand");
    }
    if (int(ci) == plant.maintenanceContour && di + 1 == plant.days.size() &&
        (t = QuietMoment(g, day, busy)) >= 0) {
        plant.maintenanceFrom = t - 600;
        plant.maintenanceTo = t + 600;
        g.Add(c.Breaker, t, kBreakerOff, 1);
        g.Add(c.Breaker, t + 300, kBreakerOn, 0);
        op(c.Breaker, "apparatus", t, "maintenance");
    }
}

// The breaker of the job's maintenance window: the first used one without a
// command.
int MaintenanceContour(const Plant& plant) {
    for (std::size_t ci = 0; ci < plant.contours.size(); ++ci) {
        const Contour& c = plant.contours[ci];
        if (c.Used && c.BreakerUsed && c.Command.empty()) return int(ci);
    }
    return -1;
}

// Every contour's samples: its initial states, then per day its excursions,
// a short blip that is too brief to count as an incident, and its operations
// without a demand.
void PlantContours(Generator& g, Plant& plant) {
    const int64_t t0 = plant.days.front().Begin;
    for (const auto& c : plant.contours) {
        g.Add(c.Sensor, t0, kSensorNormal, g.Round(g.Real(40, 60)));
        g.Add(c.Relay, t0, kRelayOff, 0);
        g.Add(c.Breaker, t0, kBreakerOn, 0);
        if (!c.Command.empty()) g.Add(c.Command, t0, kCommandNone, 0);
    }
    plant.maintenanceContour = MaintenanceContour(plant);
    int turn = 0;
    for (std::size_t ci = 0; ci < plant.contours.size(); ++ci) {
        const Contour& c = plant.contours[ci];
        Spans busy;
        for (std::size_t di = 0; di < plant.days.size(); ++di) {
            const archive::Day& day = plant.days[di];
            for (auto [s, e] : ExcursionSpans(g, plant, ci, di)) {
                PlantExcursion(g, plant, ci, day, s, e, turn++);
                busy.push_back({s - 60, e + 900});
            }
            if (c.Used) PlantOperationsWithoutDemand(g, plant, ci, di, busy);
            const int64_t blip = day.Begin + 600 + g.Uniform(0, 600);
            g.Add(c.Sensor, blip, kSensorAlarm, g.Round(g.Real(91, 95)));
            g.Add(c.Sensor, blip + std::max(0, c.Interval - 3), kSensorNormal, 50);
        }
    }
}

// One background measurement: a reading every 10 to 20 minutes, rarely out of
// norm, drawn from its own copy of the generator's stream where its draws
// begin, so that its days can be made one after the other.
class BackgroundLine {
  public:
    BackgroundLine(std::string name, const std::mt19937& rng, int64_t first)
        : name_(std::move(name)), rng_(rng) {
        v_ = Real(10, 100);
        t_ = first + Uniform(0, 600);
    }
    const std::string& Name() const { return name_; }
    const std::mt19937& Stream() const { return rng_; }
    // The readings before `until`, appended to `out` when it is not null.
    void Advance(int64_t until, std::vector<archive::Sample>* out) {
        for (; t_ < until; t_ += Uniform(600, 1200)) {
            v_ = std::clamp(v_ + Real(-2, 2), 0.0, 200.0);
            const int r = Uniform(0, 999);
            const uint16_t state = r < 985 ? 0 : r < 992 ? 1 : r < 998 ? 2 : 3;
            if (out) out->push_back({t_, state, Hundredths(v_)});
        }
    }

  private:
    int Uniform(int lo, int hi) { return UniformOf(rng_, lo, hi); }
    double Real(double lo, double hi) { return RealOf(rng_, lo, hi); }

    std::string name_;
    std::mt19937 rng_;
    int64_t t_ = 0;
    double v_ = 0;
};

// The background lines at their first draws: each line's draws follow the
// previous line's, all of its days, as when they were drawn one whole line
// after the other.
std::vector<BackgroundLine> PlantBackground(Generator& g, const Plant& plant) {
    std::vector<BackgroundLine> lines;
    lines.reserve(plant.background.size());
    std::mt19937 stream = g.rng_;
    for (const auto& name : plant.background) {
        lines.emplace_back(name, stream, plant.days.front().Begin);
        BackgroundLine past = lines.back();
        past.Advance(plant.days.back().End, nullptr);
        stream = past.Stream();
    }
    g.rng_ = stream;
    return lines;
}

// Into the home's archive, one day at a time: each variable's samples in time
// order, one per second (the last planted wins). `total` is the number written.
bool WriteArchive(const std::string& home, const DemoOptions& options, Generator& g,
                  const Plant& plant, std::vector<BackgroundLine>& background, long long& total) {
    const int64_t from = plant.days.front().Begin, to = plant.days.back().End;
    std::vector<archive::VariableSamples> contours;
    for (auto& [name, list] : g.series_) {
        std::vector<archive::Sample> inside;
        for (const auto& s : list)
            if (s.Time >= from && s.Time < to) inside.push_back(s);
        list = {};
        std::vector<archive::Sample> unique = archive::TimeOrderedLatest(std::move(inside));
        if (!unique.empty()) contours.push_back({name, std::move(unique)});
    }
    total = 0;
    const auto day = [&](const archive::Day& d, std::vector<archive::VariableSamples>& out) {
        const auto before = [](const archive::Sample& s, int64_t t) { return s.Time < t; };
        for (const auto& c : contours) {
            const auto lo = std::lower_bound(c.Samples.begin(), c.Samples.end(), d.Begin, before);
            const auto hi = std::lower_bound(lo, c.Samples.end(), d.End, before);
            if (lo != hi) out.push_back({c.Name, std::vector<archive::Sample>(lo, hi)});
        }
        for (BackgroundLine& line : background) {
            std::vector<archive::Sample> samples;
            line.Advance(d.End, &samples);
            if (!samples.empty()) out.push_back({line.Name(), std::move(samples)});
        }
        for (const auto& v : out)
            total += (long long)v.Samples.size();
        return true;
    };
    if (!options.Archive.empty() && !WriteArchiveSettings(home.c_str(), options.Archive, ""))
        return false;
    const std::unique_ptr<HourArchive> store = OpenHourArchive(home.c_str());
    return store && store->ReplaceRange(from, to, day, options.ReplaceOthers);
}

constexpr RTPJobFlag Given(bool value) {
    return {1, uint8_t(value ? 1 : 0)};
}

// The job with the plant's contours, as the report module writes it.
bool WriteJob(const std::string& home, const Plant& plant, RTPWriteJobNodeProc writeJob,
              DemoSummary& summary) {
    std::vector<RTPJobContour> contours;
    for (const Contour& c : plant.contours)
        contours.push_back(RTPJobContour{
            .Used = c.Used ? uint8_t(1) : uint8_t(0),
            .Sensor = c.Sensor.c_str(),
            .Interval = uint32_t(c.Interval),
            .State = kSensorAlarm,
            .StateName = c.Event,
            .Limit = c.Limit,
            .ValueType = 0,  // the maximum
            .Rele = {c.RelayUsed ? uint8_t(1) : uint8_t(0), c.Relay.c_str(), kRelayOn,
                     uint32_t(c.RelayMax), "Реле сработало"_cp, "Реле не сработало"_cp},
            .Prot = {c.BreakerUsed ? uint8_t(1) : uint8_t(0), c.Breaker.c_str(), kBreakerOff,
                     uint32_t(c.BreakerMax), "Выключатель отключился"_cp,
                     "Выключатель не отключился"_cp},
        });
    std::vector<RTPJobCommand> commands;
    for (const Contour& c : plant.contours)
        if (!c.Command.empty())
            commands.push_back(
                {c.Breaker.c_str(), c.Command.c_str(), kCommandTrip, kCommandSeconds});
    std::vector<RTPJobMaintenance> windows;
    const std::string from = TimeText(time_t(plant.maintenanceFrom));
    const std::string to = TimeText(time_t(plant.maintenanceTo));
    if (plant.maintenanceTo)
        windows.push_back({plant.contours[std::size_t(plant.maintenanceContour)].Breaker.c_str(),
                           from.c_str(), to.c_str(), "Проверка выключателя"_cp});
    RTPJob job{};
    job.Size = int32_t(sizeof job);
    job.CommandCount = int32_t(commands.size());
    job.Commands = commands.data();
    job.MaintenanceCount = int32_t(windows.size());
    job.Maintenance = windows.data();
    RTPJobSettings& s = job.Settings;
    s.Name = kJobName;
    s.LoadCfg = Given(true);
    s.CfgFile = "Config/demo.rtdb";
    s.UseCfg = Given(false);  // the configuration of the end of each day
    s.SaveVals = Given(true);
    s.ValPath = "Values";
    s.SaveBIN = Given(true);
    s.ReportDir = "Reports";
    s.SaveTXT = Given(true);
    s.TXTDir = "Reports";
    s.SaveXLS = Given(true);
    s.XLSDir = "Reports";
    s.Print = Given(false);
    job.ContourCount = int32_t(contours.size());
    job.Contours = contours.data();

    summary.JobPath = JobFilePath(home.c_str(), kJobName);
    HConfigTree tree;
    return writeJob(tree.Root(), &job) && tree.SaveAs(summary.JobPath.c_str());
}

// demo-incidents.json: the planted excursions, in contour and time order.
bool WriteIncidentList(const std::string& home, const DemoOptions& options, Plant& plant,
                       DemoSummary& summary) {
    std::stable_sort(plant.planted.begin(), plant.planted.end(),
                     [](const Planted& a, const Planted& b) {
                         return a.Contour != b.Contour ? a.Contour < b.Contour : a.Start < b.Start;
                     });
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    for (const auto& p : plant.planted) {
        nlohmann::ordered_json j;
        j["contour"] = p.Contour;
        j["sensor"] = plant.contours[std::size_t(p.Contour)].Sensor;
        j["start"] = TimeText(time_t(p.Start));
        j["end"] = TimeText(time_t(p.End));
        j["relay"] = p.Relay;
        j["apparatus"] = p.Breaker;
        j["value"] = p.Value;
        j["crossesMidnight"] = p.CrossesMidnight;
        const auto seconds = [](int64_t t) {
            return t < 0 ? nlohmann::ordered_json(nullptr) : nlohmann::ordered_json(t);
        };
        j["relayResponse"] = seconds(p.RelayTimes.Response);
        j["relayHeld"] = seconds(p.RelayTimes.Held);
        j["apparatusResponse"] = seconds(p.BreakerTimes.Response);
        j["apparatusHeld"] = seconds(p.BreakerTimes.Held);
        list.push_back(j);
    }
    std::stable_sort(plant.operations.begin(), plant.operations.end(),
                     [](const PlantedOperation& a, const PlantedOperation& b) {
                         return a.Time != b.Time ? a.Time < b.Time : a.Variable < b.Variable;
                     });
    nlohmann::ordered_json operations = nlohmann::ordered_json::array();
    for (const PlantedOperation& op : plant.operations) {
        nlohmann::ordered_json j;
        j["contour"] = op.Contour;
        j["sensor"] = plant.contours[std::size_t(op.Contour)].Sensor;
        j["variable"] = op.Variable;
        j["role"] = op.Role;
        j["time"] = TimeText(time_t(op.Time));
        j["class"] = op.Class;
        operations.push_back(j);
    }
    nlohmann::ordered_json doc;
    doc["seed"] = options.Seed;
    doc["firstDay"] = summary.FirstDay;
    doc["lastDay"] = summary.LastDay;
    doc["configId"] = Format("%08X", plant.db.ConfigId);
    doc["incidents"] = list;
    doc["operations"] = operations;
    summary.IncidentsPath = home + "/demo-incidents.json";
    return WriteFileAtomically(summary.IncidentsPath.c_str(), doc.dump(2) + "\n");
}

}  // namespace

bool MakeDemoPlant(const char* homeArg, const DemoOptions& options, RTPWriteJobNodeProc writeJob,
                   DemoSummary& summary) {
    const std::string home = homeArg ? homeArg : "";
    if (options.Days < 1 || options.Days > 366) {
        SetError("%s", "Число дней демо должно быть от 1 до 366"_cp);
        return false;
    }
    if (!writeJob) {
        SetError("%s", "Модуль отчета не записывает заданий"_cp);
        return false;
    }
    for (const char* sub : {"", "/Config", "/Archive", "/Jobs"})
        if (!MakeDirectories((home + sub).c_str())) return false;

    Generator g(options);
    Plant plant;
    plant.days = DemoDays(options);
    MakeConfiguration(g, plant);
    PlantContours(g, plant);
    std::vector<BackgroundLine> background = PlantBackground(g, plant);
    summary.FirstDay = TimeText(time_t(plant.days.front().Begin)).substr(0, 10);
    summary.LastDay = TimeText(time_t(plant.days.back().Begin)).substr(0, 10);

    long long total = 0;
    if (!WriteArchive(home, options, g, plant, background, total)) return false;
    summary.ConfigPath = ConfigFolder(home.c_str()) + "demo.rtdb";
    if (!DBSaveDatabase(plant.db, summary.ConfigPath.c_str())) return false;
    if (!WriteJob(home, plant, writeJob, summary)) return false;
    if (!WriteIncidentList(home, options, plant, summary)) return false;

    summary.Objects = kObjects;
    summary.Contours = int(plant.contours.size());
    summary.Variables = plant.db.GetTable(kDBTableVariables)->Count();
    summary.Incidents = int(plant.planted.size());
    summary.Samples = total;
    summary.ConfigId = plant.db.ConfigId;
    return true;
}

}  // namespace host
