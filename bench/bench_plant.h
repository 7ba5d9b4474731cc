// The plants of the archive and run benchmarks, each of a shape (PlantShape).
// The busy plant, which bench_grab_values and bench_run share: 3,000
// variables, 30 used contours (a sensor, a relay and an apparatus each: 90
// used variables), a busy day of 2,000,000 samples and, for the 24-hour
// look-back, the day before with 500,000. A used contour's variables have
// bench_fill's busy pattern (sensor 600 samples a day in runs of excursions,
// relay 900 toggling, apparatus 500; a quarter of that the day before); the
// other 2,910 variables share the rest, 666 or 667 each, their states at
// random.
// The ten-times plant of bench_plant_scale: 30,000 variables, 3,000 used
// contours (9,000 used variables, spread through the configuration alike), a
// busy day of 20,000,000 samples and the day before with 5,000,000. It keeps
// the busy plant's mix, so that a sample asks the same work of either: the
// used contours' variables hold the same share of each day's samples (3 per
// cent), in the same patterns, which makes a tenth of the busy plant's counts
// a contour (the busy day: sensor 60, relay 90, apparatus 50; the day before:
// 15, 22, 13), and so about as many incidents and operations per sample. The
// other 21,000 variables share the rest, about 924 each.
// The same generator and seed make the same samples in every program; the
// home holds the configuration, both day files and the job; PostgreSQL gets
// the same samples when a server is given.
#pragma once

#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "common/cp1251.h"
#include "common/lasterror.h"
#include "common/osfile.h"
#include "archive/dayfile/archivefile.h"
#include "archive/dayfile/archivefolder.h"
#include "plantdb/configcatalog.h"
#include "config/configtree.h"
#include "plantdb/dbdatabase.h"
#include "runtime/rtpmodule.h"
#include "tw_contourarray.h"

// Built against a tree from before the archive interface (for a before/after
// figure), the programs measure the day files alone.
#if __has_include("archive/hourarchive.h")
#define TW_BENCH_ARCHIVE_INTERFACE 1
#include "archive/hourarchive.h"
#include "archive/pg/pgconnection.h"
#include "archive/pg/pgsettings.h"
#endif

namespace twbench {

using namespace host::literals;

// A used contour's samples a day: its sensor's, relay's and apparatus's.
struct ContourSamples {
    int sensor, relay, apparatus;
    constexpr int Sum() const { return sensor + relay + apparatus; }
};

// A plant's shape: its variables, its used contours spread evenly through
// them, the samples of the busy day and of the day before, and how many of
// those each used contour's variables have on either day.
struct PlantShape {
    int variables = 3000;
    int contours = 30;
    int busySamples = 2000000;
    int beforeSamples = 500000;
    ContourSamples busyContour{600, 900, 500};
    ContourSamples beforeContour{150, 225, 125};
    constexpr int Spacing() const { return variables / contours; }
};

// The busy plant that bench_grab_values and bench_run share.
inline constexpr PlantShape kBusyPlant{};
// Ten times the busy plant, for bench_plant_scale.
inline constexpr PlantShape kTenTimesPlant{.variables = 30000,
                                           .contours = 3000,
                                           .busySamples = 20000000,
                                           .beforeSamples = 5000000,
                                           .busyContour = {60, 90, 50},
                                           .beforeContour = {15, 22, 13}};

constexpr int kPlantVariables = kBusyPlant.variables;
constexpr int kPlantContours = kBusyPlant.contours;
constexpr int kBusyDaySamples = kBusyPlant.busySamples;
constexpr int kDayBeforeSamples = kBusyPlant.beforeSamples;
constexpr time_t kPlantDay = 1796590800;  // 2026-12-07 00:00:00 Moscow, the busy day
constexpr int kContourSpacing = kPlantVariables / kPlantContours;

inline std::string PlantVarName(int v) {
    char b[32];
    std::snprintf(b, sizeof b, "U%d.P%04d", v / 500 + 1, v);
    return b;
}

// The used variables: contour c's sensor, relay and apparatus are the first
// three of its share of the variables (100c, 100c+1 and 100c+2 in the busy
// plant), spread through the configuration.
inline bool PlantUsed(int v, const PlantShape& shape = kBusyPlant) {
    return v % shape.Spacing() < 3;
}
inline std::vector<int> PlantUsedVariables(const PlantShape& shape = kBusyPlant) {
    std::vector<int> used;
    for (int v = 0; v < shape.variables; ++v)
        if (PlantUsed(v, shape)) used.push_back(v);
    return used;
}

// Samples of one variable in the day from `begin`: `count` of them, strictly
// increasing times, the state alternating between runs of `stateA` (runA
// samples) and `stateB` (runB); runA 0 draws every state at random.
inline std::vector<host::archive::Sample> PlantSamples(std::mt19937& rng, int64_t begin, int count,
                                                       int stateA, int stateB, int runA, int runB) {
    std::vector<host::archive::Sample> out;
    out.reserve(std::size_t(count));
    std::uniform_int_distribution<int> step(1, 86400 / count * 2 - 1);
    std::uniform_real_distribution<double> value(0, 100);
    int64_t t = 0;
    int state = stateB;
    int left = 0;
    for (int i = 0; i < count; ++i) {
        t = std::min<int64_t>(t + step(rng), 86399 - (count - 1 - i));  // room for the rest
        if (runA == 0) {
            state = int(rng() % 4);
        } else if (left-- <= 0) {
            state = state == stateA ? stateB : stateA;
            left = state == stateA ? runA : runB;
        }
        out.push_back({begin + t, uint16_t(state), value(rng)});
    }
    return out;
}

// Every variable's samples of one day, `total` samples in all: a used
// contour's variables get `contour`'s counts, the other variables share the
// rest, their states at random.
inline std::vector<host::archive::VariableSamples> PlantDay(const PlantShape& shape, int64_t begin,
                                                            int total, ContourSamples contour,
                                                            unsigned seed) {
    std::mt19937 rng(seed);
    const int usedTotal = shape.contours * contour.Sum();
    const int others = shape.variables - 3 * shape.contours;
    std::vector<host::archive::VariableSamples> vars;
    vars.reserve(std::size_t(shape.variables));
    int other = 0;
    for (int v = 0; v < shape.variables; ++v) {
        std::vector<host::archive::Sample> s;
        switch (PlantUsed(v, shape) ? v % shape.Spacing() : 3) {
            case 0:
                s = PlantSamples(rng, begin, contour.sensor, 2, 0, 5, 6);
                break;  // sensor
            case 1:
                s = PlantSamples(rng, begin, contour.relay, 1, 0, 1, 1);
                break;  // relay
            case 2:
                s = PlantSamples(rng, begin, contour.apparatus, 1, 0, 3, 3);
                break;  // apparatus
            default: {
                const int share =
                    (total - usedTotal) / others + (other < (total - usedTotal) % others ? 1 : 0);
                ++other;
                s = PlantSamples(rng, begin, share, 0, 0, 0, 0);
            }
        }
        vars.push_back({PlantVarName(v), std::move(s)});
    }
    return vars;
}

// The busy plant's day of `total` samples (a multiple of 500,000): a used
// contour's variables get bench_fill's counts at 2,000,000, in proportion below.
inline std::vector<host::archive::VariableSamples> PlantDay(int64_t begin, int total,
                                                            unsigned seed) {
    const int scale = total / 500000;  // 4 on the busy day, 1 the day before
    return PlantDay(kBusyPlant, begin, total, {150 * scale, 225 * scale, 125 * scale}, seed);
}

// The day before and the busy day of a plant (the busy plant's unless told).
struct PlantDays {
    PlantDays() : PlantDays(kBusyPlant) {}
    explicit PlantDays(const PlantShape& plant)
        : shape(plant),
          before(PlantDay(plant, kPlantDay - 86400, plant.beforeSamples, plant.beforeContour, 3)),
          busy(PlantDay(plant, kPlantDay, plant.busySamples, plant.busyContour, 5)) {}
    PlantShape shape;
    std::vector<host::archive::VariableSamples> before;
    std::vector<host::archive::VariableSamples> busy;
};

// The job: the plant's contours, the configuration valid at the day's end,
// only the binary report (the values kept only when `saveVals`).
inline void PlantJob(HConfigItem* root, bool saveVals, const PlantShape& shape = kBusyPlant) {
    TW_ContourArray contours;
    for (int c = 0; c < shape.contours; ++c) {
        const int first = c * shape.Spacing();
        TW_Contour k{};
        k.Used = 1;
        std::strcpy(k.Sensor, PlantVarName(first).c_str());
        k.State = 2;
        k.Interval = 60;
        k.Rele.Used = 1;
        std::strcpy(k.Rele.Sensor, PlantVarName(first + 1).c_str());
        k.Rele.State = 1;
        k.Rele.MaxTime = 120;
        k.Prot.Used = 1;
        std::strcpy(k.Prot.Sensor, PlantVarName(first + 2).c_str());
        k.Prot.State = 1;
        contours.Add(k);
    }
    contours.Save(root);
    root->SetBool("UseCfg", false);
    root->SetBool("SaveVals", saveVals);
    root->SetBool("SaveTXT", false);
    root->SetBool("SaveXLS", false);
}

// The host's side of GrabReportValues for the busy day's run from `home`, with
// the 24-hour look-back.
inline RTPHostContext PlantRunContext(const std::string& home) {
    RTPHostContext ctx;
    std::strncpy(ctx.Home, home.c_str(), sizeof ctx.Home - 1);
    ctx.PeriodStart.Set(kPlantDay);
    ctx.PeriodEnd.Set(kPlantDay + 86400);
    ctx.LookBack = kDefaultLookBack;
    return ctx;
}

// The home (ends with '/'): Config/bench.rtdb, both day files, Jobs/Bench.json,
// of the days' plant. False with the reason in `why`.
inline bool MakePlantHome(const std::string& home, const PlantDays& days, std::string& why) {
    const PlantShape& shape = days.shape;
    HDBDatabase db;
    db.AddStateSet(1, "Состояния"_cp, 0, 3);
    db.AddErrorState(3);
    const int type = db.AddType("Сигнал"_cp, 1);
    for (int o = 0; o < (shape.variables + 499) / 500; ++o)
        db.AddObject(("Блок "_cp + std::to_string(o + 1)).c_str());
    for (int v = 0; v < shape.variables; ++v)
        db.AddVariable(PlantVarName(v).c_str(), uint16_t(type), uint16_t(v / 500));
    db.ConfigId = 1;
    db.ConfigTime.Set(kPlantDay - 7 * 86400);
    std::vector<std::pair<host::archive::Day, std::string>> files;
    for (const auto& [begin, samples] :
         {std::pair{kPlantDay - 86400, &days.before}, std::pair{kPlantDay, &days.busy}}) {
        const host::archive::Day day = host::archive::DayOf(begin);
        files.emplace_back(day, host::archive::EncodeDayFile(day, *samples));
    }
    HConfigTree job;
    PlantJob(job.Root(), false, shape);
    const bool ok = host::MakeDirectories(host::ConfigFolder(home.c_str()).c_str()) &&
                    DBSaveDatabase(db, (host::ConfigFolder(home.c_str()) + "bench.rtdb").c_str()) &&
                    host::MakeDirectories(host::archive::ArchiveFolder(home.c_str()).c_str()) &&
                    host::archive::ReplaceDayFiles(home.c_str(), files) &&
                    host::MakeDirectories((home + "Jobs").c_str()) &&
                    job.SaveAs((home + "Jobs/Bench.json").c_str());
    if (!ok) why = host::Cp1251ToUtf8(GetIOErrorS_GUI(-2));
    return ok;
}

// The plant's samples as rows (variable index, time, state, value), both days.
struct PlantRow {
    int var;
    int64_t time;
    int state;
    double value;
};
inline std::vector<PlantRow> PlantRows(const PlantDays& days) {
    std::vector<PlantRow> rows;
    rows.reserve(std::size_t(days.shape.busySamples + days.shape.beforeSamples));
    for (const auto* day : {&days.before, &days.busy})
        for (int v = 0; v < days.shape.variables; ++v)
            for (const auto& s : (*day)[std::size_t(v)].Samples)
                rows.push_back({v, s.Time, s.State, s.Value});
    return rows;
}

// The rows in an SQLite file table indexed on (var, time). False when SQLite fails.
inline bool PlantSqliteTable(const std::string& path, const std::vector<PlantRow>& rows) {
    sqlite3* s = nullptr;
    bool ok = sqlite3_open(path.c_str(), &s) == SQLITE_OK &&
              sqlite3_exec(s,
                           "PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF;"
                           "CREATE TABLE samples(var INTEGER, time INTEGER, state INTEGER,"
                           " value REAL, PRIMARY KEY(var, time)) WITHOUT ROWID; BEGIN",
                           nullptr, nullptr, nullptr) == SQLITE_OK;
    sqlite3_stmt* ins = nullptr;
    ok = ok && sqlite3_prepare_v2(s, "INSERT INTO samples VALUES(?,?,?,?)", -1, &ins, nullptr) ==
                   SQLITE_OK;
    for (std::size_t i = 0; ok && i < rows.size(); ++i) {
        sqlite3_bind_int(ins, 1, rows[i].var);
        sqlite3_bind_int64(ins, 2, rows[i].time);
        sqlite3_bind_int(ins, 3, rows[i].state);
        sqlite3_bind_double(ins, 4, rows[i].value);
        ok = sqlite3_step(ins) == SQLITE_DONE;
        sqlite3_reset(ins);
    }
    sqlite3_finalize(ins);
    ok = ok && sqlite3_exec(s, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK;
    sqlite3_close(s);
    return ok;
}

// The PostgreSQL server of the run: TW_BENCH_PG (a libpq connection string, as
// make bench sets it). Empty, with the reason in `why`, when there is none or
// it cannot be reached.
inline std::string BenchServer(std::string& why) {
#ifdef TW_BENCH_ARCHIVE_INTERFACE
    const char* conninfo = std::getenv("TW_BENCH_PG");
    if (!conninfo || !*conninfo) {
        why = "TW_BENCH_PG names no server (make bench starts one)";
        return {};
    }
    host::pg::Connection c;
    if (!c.Open(conninfo)) {
        why = "the server of TW_BENCH_PG cannot be reached: " + c.Error();
        return {};
    }
    return conninfo;
#else
    why = "this tree has no PostgreSQL archive";
    return {};
#endif
}

// Points the home at PostgreSQL (a connection string) or back at its day files
// (empty). False when the settings cannot be written.
inline bool UseArchive([[maybe_unused]] const std::string& home, const std::string& conninfo) {
#ifdef TW_BENCH_ARCHIVE_INTERFACE
    if (!conninfo.empty()) return host::WriteArchiveSettings(home.c_str(), conninfo, "");
    std::remove(host::ArchiveSettingsPath(home.c_str()).c_str());
#endif
    return conninfo.empty();
}

// Stores the plant's samples in the server's rthost schema, made afresh, as
// one change through the home's archive (which vacuums and analyzes the table
// after it), then lets the server write out what the load left dirty, so that
// its checkpointer does not run beside the measured runs. False with the
// reason in `why`.
inline bool LoadPlantIntoServer(const std::string& home, const std::string& conninfo,
                                const PlantDays& days, std::string& why) {
#ifdef TW_BENCH_ARCHIVE_INTERFACE
    host::pg::Connection c;
    if (!c.Open(conninfo) || !c.Exec("DROP SCHEMA IF EXISTS tripwatch CASCADE")) {
        why = c.Error();
        return false;
    }
    // The day before, then the busy day.
    const auto day = [&](const host::archive::Day& d,
                         std::vector<host::archive::VariableSamples>& out) {
        out = d.Begin < kPlantDay ? days.before : days.busy;
        return true;
    };
    const bool stored = UseArchive(home, conninfo) && [&] {
        const auto archive = host::OpenHourArchive(home.c_str());
        return archive && archive->ReplaceRange(kPlantDay - 86400, kPlantDay + 86400, day, true);
    }();
    UseArchive(home, "");
    if (!stored) {
        why = host::Cp1251ToUtf8(GetIOErrorS_GUI(-2));
        return false;
    }
    c.Exec("CHECKPOINT");  // best effort: it needs a superuser or pg_checkpoint
    return true;
#else
    (void)home, (void)conninfo, (void)days;
    why = "this tree has no PostgreSQL archive";
    return false;
#endif
}

}  // namespace twbench
