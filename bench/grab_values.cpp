// GrabReportValues over the shared benchmark plant (bench_plant.h): the busy
// day with its 24-hour look-back, only the used contours' 90 variables (as a
// run without kept values asks) and all 3,000, from the day files and from
// PostgreSQL side by side, with the same samples read from an indexed SQLite
// table in (var, time) order as the peer figure. Samples per second and the
// peak memory of each measurement (each in a process of its own).
// Usage: bench_grab_values [WORKDIR]   (default: a folder under the temp folder)
//        TW_BENCH_PG=CONNINFO adds the PostgreSQL column (make bench sets it).
//        bench_grab_values --grab-only used|all [ROUNDS] fetches from the day
//        files alone, in this process (for profilers).
#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "bench_plant.h"
#include "bench_util.h"
#include "common/prtime.h"
#include "request/grabvalues.h"
#include "runtime/runtime.h"

namespace {

using twbench::Clock;
using twbench::Seconds;

constexpr int kRounds = 3;

struct Figure {
    long long samples = 0;
    double seconds = 0;  // best of kRounds
    long peakKb = 0;
    bool ok = false;
};

struct Made {
    bool pg = false;
    double pgSeconds = 0;
    char why[512] = {};
};

// The variables a measurement reads: the used ones or all, in configuration order.
std::vector<int> Variables(bool usedOnly) {
    if (usedOnly) return twbench::PlantUsedVariables();
    std::vector<int> all(twbench::kPlantVariables);
    for (int v = 0; v < twbench::kPlantVariables; ++v)
        all[std::size_t(v)] = v;
    return all;
}

bool Grab(const std::string& home, [[maybe_unused]] bool usedOnly, Figure& out) {
    RTPHostContext ctx = twbench::PlantRunContext(home);
    RTPInfo info{};
    info.Size = sizeof info;
    info.Context = &ctx;
    out.seconds = 1e9;
    for (int round = 0; round < kRounds; ++round) {
        HHourFile file;
#ifdef TW_BENCH_ARCHIVE_INTERFACE
        if (usedOnly)
            for (int v : Variables(true))
                file.Wanted.push_back(twbench::PlantVarName(v));
#endif
        const auto t0 = Clock::now();
        if (const char* error = GrabReportValues("", info, file, ctx.PeriodEnd, 1)) {
            std::printf("GrabReportValues failed: %s\n", host::Cp1251ToUtf8(error).c_str());
            return false;
        }
        out.seconds = std::min(out.seconds, Seconds(t0));
        out.samples = file.Samples.Count();
    }
    return true;
}

// The same samples from the SQLite table: per variable its last sample before
// the look-back, then those of the look-back and the day in time order, as
// hour samples.
bool ReadSqlite(const std::string& path, bool usedOnly, Figure& out) {
    sqlite3* db = nullptr;
    sqlite3_stmt* before = nullptr;
    sqlite3_stmt* period = nullptr;
    bool ok =
        sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK &&
        sqlite3_prepare_v2(db,
                           "SELECT time, state, value FROM samples WHERE var = ?1 AND time < ?2 "
                           "ORDER BY time DESC LIMIT 1",
                           -1, &before, nullptr) == SQLITE_OK &&
        sqlite3_prepare_v2(db,
                           "SELECT time, state, value FROM samples WHERE var = ?1 AND time >= ?2 "
                           "AND time < ?3 ORDER BY time",
                           -1, &period, nullptr) == SQLITE_OK;
    const int64_t from = twbench::kPlantDay - kDefaultLookBack, end = twbench::kPlantDay + 86400;
    const std::vector<int> vars = Variables(usedOnly);
    out.seconds = 1e9;
    for (int round = 0; ok && round < kRounds; ++round) {
        std::vector<HHourSample> samples;
        auto take = [&](sqlite3_stmt* q) {
            while (sqlite3_step(q) == SQLITE_ROW) {
                HHourSample s{};
                s.Time.Set(time_t(sqlite3_column_int64(q, 0)));
                s.State = uint16_t(sqlite3_column_int(q, 1));
                s.Value = sqlite3_column_double(q, 2);
                samples.push_back(s);
            }
            sqlite3_reset(q);
        };
        const auto t0 = Clock::now();
        for (int v : vars) {
            sqlite3_bind_int(before, 1, v);
            sqlite3_bind_int64(before, 2, from);
            take(before);
            sqlite3_bind_int(period, 1, v);
            sqlite3_bind_int64(period, 2, from);
            sqlite3_bind_int64(period, 3, end);
            take(period);
        }
        out.seconds = std::min(out.seconds, Seconds(t0));
        out.samples = (long long)samples.size();
    }
    sqlite3_finalize(before);
    sqlite3_finalize(period);
    sqlite3_close(db);
    return ok;
}

std::string Cell(const Figure& f, int what) {
    char b[64];
    if (!f.ok) return "-";
    switch (what) {
        case 0:
            std::snprintf(b, sizeof b, "%lld", f.samples);
            break;
        case 1:
            std::snprintf(b, sizeof b, "%.1f ms", f.seconds * 1e3);
            break;
        case 2:
            std::snprintf(b, sizeof b, "%.2f", double(f.samples) / f.seconds / 1e6);
            break;
        default:
            std::snprintf(b, sizeof b, "%.1f MB", f.peakKb / 1024.0);
            break;
    }
    return b;
}

}  // namespace

int main(int argc, char** argv) {
    setenv("TZ", "Europe/Moscow", 1);
    tzset();
    host::SetLogConsole(false);
    const bool grabOnly = argc > 2 && std::strcmp(argv[1], "--grab-only") == 0;
    const std::string home =
        (argc > 1 && !grabOnly
             ? std::string(argv[1])
             : (std::filesystem::temp_directory_path() / "tw-bench-grab").string()) +
        "/";
    std::filesystem::remove_all(home);
    std::filesystem::create_directories(home);
    if (grabOnly) {
        std::string error;
        if (!twbench::MakePlantHome(home, twbench::PlantDays(), error)) {
            std::printf("cannot build the plant: %s\n", error.c_str());
            return 1;
        }
        Figure f;
        const int rounds = argc > 3 ? std::max(1, std::atoi(argv[3])) : 20;
        for (int round = 0; round < rounds; ++round)
            if (!Grab(home, std::strcmp(argv[2], "used") == 0, f)) return 1;
        std::printf("%lld samples, best %.1f ms\n", f.samples, f.seconds * 1e3);
        std::filesystem::remove_all(home);
        return 0;
    }
    std::string why;
    const std::string server = twbench::BenchServer(why);

    // The plant is made in a child process, so that its memory counts nowhere.
    std::printf("building the plant in %s...\n", home.c_str());
    Made made;
    long kb = 0;
    if (!twbench::InChild(
            [&](Made& m) {
                const twbench::PlantDays days;
                std::string error;
                if (!twbench::MakePlantHome(home, days, error) ||
                    !twbench::PlantSqliteTable(home + "samples.sqlite", twbench::PlantRows(days))) {
                    std::printf("cannot build the plant: %s\n", error.c_str());
                    return false;
                }
                if (server.empty()) return true;
                const auto t0 = Clock::now();
                m.pg = twbench::LoadPlantIntoServer(home, server, days, error);
                m.pgSeconds = Seconds(t0);
                std::snprintf(m.why, sizeof m.why, "%s", error.c_str());
                return true;
            },
            made, kb))
        return 1;
    if (!server.empty() && !made.pg) why = std::string("the samples were not stored: ") + made.why;
    const bool pg = !server.empty() && made.pg;
    std::printf(
        "plant: %d variables, %d used contours (%zu variables); 2026-12-07: %d samples; the day "
        "before (the 24-hour look-back, read whole): %d; no earlier day, so nothing is carried "
        "in\n",
        twbench::kPlantVariables, twbench::kPlantContours, twbench::PlantUsedVariables().size(),
        twbench::kBusyDaySamples, twbench::kDayBeforeSamples);
    if (pg)
        std::printf("PostgreSQL: both days stored in %.1f s (one change through the archive)\n",
                    made.pgSeconds);
    else
        std::printf("PostgreSQL column skipped: %s\n", why.c_str());

    // [used, all] x [day files, PostgreSQL, SQLite]
    Figure figures[2][3];
    for (int set = 0; set < 2; ++set) {
        const bool usedOnly = set == 0;
        for (int store = 0; store < 3; ++store) {
            if (store == 1 && !pg) continue;
            Figure& f = figures[set][store];
            f.ok = twbench::InChild(
                [&](Figure& out) {
                    if (store == 2) return ReadSqlite(home + "samples.sqlite", usedOnly, out);
                    return twbench::UseArchive(home, store == 1 ? server : "") &&
                           Grab(home, usedOnly, out);
                },
                f, kb);
            f.peakKb = kb;
        }
    }
    twbench::UseArchive(home, "");

    std::printf("\nGrabReportValues of 2026-12-07 with its look-back, best of %d:\n", kRounds);
    std::printf("%-26s %-18s %-18s %-18s\n", "", "day files", "PostgreSQL", "SQLite (var,time)");
    const char* rows[] = {"  samples", "  time", "  million samples/s", "  peak memory"};
    for (int set = 0; set < 2; ++set) {
#ifdef TW_BENCH_ARCHIVE_INTERFACE
        std::printf("%s\n", set == 0 ? "used variables (90)" : "all variables (3000)");
#else
        std::printf("%s\n",
                    set == 0 ? "used variables (90; this tree reads all)" : "all variables (3000)");
#endif
        for (int what = 0; what < 4; ++what)
            std::printf("%-26s %-18s %-18s %-18s\n", rows[what],
                        Cell(figures[set][0], what).c_str(), Cell(figures[set][1], what).c_str(),
                        Cell(figures[set][2], what).c_str());
    }
    const Figure& all = figures[1][0];
    if (all.ok)
        std::printf("all variables, day files: %.2f million samples/s, peak/raw samples %.2f\n",
                    double(all.samples) / all.seconds / 1e6,
                    all.peakKb * 1024.0 / (double(all.samples) * sizeof(HHourSample)));
    for (int set = 0; set < 2; ++set) {
        const Figure &files = figures[set][0], &pgf = figures[set][1], &lite = figures[set][2];
        const char* name = set == 0 ? "used variables" : "all variables";
        if (files.ok && pgf.ok)
            std::printf("%s: PostgreSQL / day files %.2fx\n", name, pgf.seconds / files.seconds);
        if (files.ok && lite.ok)
            std::printf("%s: SQLite / day files %.2fx\n", name, lite.seconds / files.seconds);
    }
    std::filesystem::remove_all(home);
    return figures[0][0].ok && figures[1][0].ok ? 0 : 1;
}
