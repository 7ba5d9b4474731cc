// The daily run of the shared benchmark plant (bench_plant.h) end to end, as
// the host drives it: the module loaded with dlopen, Run called with the job's
// node, the busy day with the host's 24-hour look-back. Only the binary report
// is written; the run is measured with the job as it is (only the used
// contours' variables are read) and with "SaveVals" on (all variables read,
// their values written as CSV), on the day files and on PostgreSQL side by
// side, its time split by the run's own log lines. The runs follow each other
// in one process, as in a host's run over several days, best of 30 (of
// three with SaveVals on). The peer figure is the SQLite window-function query
// of bench_fill over the same samples. What the operations cost is measured as
// the run with them against the run without them (TW_SKIP_OPERATIONS), in
// turns: they are found while the incidents are computed and their file is
// written while the report is, so no step of the run holds them alone.
// TW_BENCH_PG=CONNINFO adds the PostgreSQL column (make bench sets it).
// "--binary-only [runs] [pg]" measures only the run with the binary report, on
// the day files or, with "pg", on TW_BENCH_PG's server (for profilers).
#include <dlfcn.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "bench_plant.h"
#include "bench_util.h"
#include "common/cp1251.h"
#include "common/hugeheap.h"
#include "config/configtree.h"
#include "runtime/rtpmodule.h"
#include "runtime/runtime.h"
#include "sqlite_excursions.h"

using twbench::Clock;

namespace {

constexpr int kRounds = 30;  // of the short runs; the long ones: 3

// One run's figures: the whole and each step of kSteps (negative when the
// run logged no such step), in milliseconds.
struct Figures {
    double whole = 0;
    double steps[4] = {-1, -1, -1, -1};
    bool ok = false;
};

struct Made {
    bool pg = false;
    double pgSeconds = 0;
    double sqlSeconds = 0;
    long sqlFound = 0;
    char why[512] = {};
};

const std::pair<const char*, const char*> kSteps[] = {
    {"TW: Запрос данных", "fetching the hour data"},
    {"TW: Расcчет значений", "computing the incidents"},
    {"TW: Анализ срабатываний", "the operations' log lines"},
    {"TW: Сохранение бинарного", "binary report (.twr)"},
};

// One run of the job, its steps timed by the run's own log lines. False when the
// run failed (said on the console).
bool Measure(RTPModule& module, HConfigItem* job, Figures& out) {
    std::vector<std::pair<std::string, Clock::time_point>> marks;
    // Only the progress lines mark steps: the day's thousands of operation
    // lines are not kept, which would weigh on the step they fall in.
    host::SetLogListener([&](std::string_view line) {
        if (line.starts_with("TW: ")) marks.emplace_back(line, Clock::now());
    });
    const auto start = Clock::now();
    const char* error = module.Run(job);
    const auto finish = Clock::now();
    host::SetLogListener(nullptr);
    if (error) {
        std::printf("the run failed: %s\n", host::Cp1251ToUtf8(error).c_str());
        return false;
    }
    auto ms = [](Clock::time_point a, Clock::time_point b) {
        return std::chrono::duration<double, std::milli>(b - a).count();
    };
    for (std::size_t k = 0; k < std::size(kSteps); ++k) {
        const std::string cp = host::Utf8ToCp1251Lossy(kSteps[k].first);
        for (std::size_t i = 0; i < marks.size(); ++i) {
            if (marks[i].first.rfind(cp, 0) != 0) continue;
            // A step lasts from its line to the next progress line.
            auto stepEnd = finish;
            if (i + 1 < marks.size()) stepEnd = marks[i + 1].second;
            out.steps[k] = ms(marks[i].second, stepEnd);
            break;
        }
    }
    out.whole = ms(start, finish);
    out.ok = true;
    return true;
}

// The best of `rounds` runs on each of `archives` (a connection string, empty
// for the day files), taking turns so that a busy spell of the machine falls on
// both alike, and the first of each; the outputs are removed after each run.
bool MeasureRounds(RTPModule& module, HConfigItem* job, const std::string& home, int rounds,
                   const std::vector<std::string>& archives, Figures* best, Figures* first) {
    for (int round = 0; round < rounds; ++round)
        for (std::size_t a = 0; a < archives.size(); ++a) {
            Figures f;
            const bool ok = twbench::UseArchive(home, archives[a]) && Measure(module, job, f);
            std::filesystem::remove_all(home + "Reports");
            if (!ok) return false;
            if (round == 0) first[a] = f;
            if (!best[a].ok || f.whole < best[a].whole) best[a] = f;
        }
    return true;
}

constexpr const char* kSqliteFile = "excursions.sqlite";

// The plant's home, its samples in the server when there is one, and the SQLite
// query over the same samples (both days), in this process.
bool MakeEverything(const std::string& home, const std::string& server, Made& m) {
    const twbench::PlantDays days;
    std::string error;
    if (!twbench::MakePlantHome(home, days, error)) {
        std::printf("cannot build the plant: %s\n", error.c_str());
        return false;
    }
    if (!server.empty()) {
        const auto t0 = Clock::now();
        m.pg = twbench::LoadPlantIntoServer(home, server, days, error);
        m.pgSeconds = twbench::Seconds(t0);
        std::snprintf(m.why, sizeof m.why, "the samples were not stored: %s", error.c_str());
    }
    std::vector<twbench::ExcursionSample> rows;
    rows.reserve(std::size_t(twbench::kBusyDaySamples + twbench::kDayBeforeSamples));
    for (const twbench::PlantRow& r : twbench::PlantRows(days))
        rows.push_back({r.var, r.time, r.state, r.value});
    std::vector<twbench::ExcursionContour> sensors;
    for (int c = 0; c < twbench::kPlantContours; ++c)
        sensors.push_back({c * twbench::kContourSpacing, 2, 60});
    m.sqlSeconds = twbench::SqliteExcursionQuery(rows, sensors, m.sqlFound, 3);
    // The same samples in a file, for the sqlite3 program.
    if (sqlite3* db = twbench::ExcursionDatabase((home + kSqliteFile).c_str(), rows, sensors))
        sqlite3_close(db);
    return true;
}

// The run with its operations and without them (TW_SKIP_OPERATIONS), in turns
// so that a busy spell of the machine falls on both alike, `rounds` each: the
// median and the best wall-clock time, and the median CPU time of all the
// process's threads, in milliseconds ([0] with, [1] without). False when a run
// failed.
struct WithAndWithout {
    double median[2] = {}, best[2] = {}, cpu[2] = {};
    double cpuCost = 0;  // the median of each round's CPU time with less without
};
double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty()      ? 0
           : v.size() % 2 ? v[v.size() / 2]
                          : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}
bool MeasureOperationsCost(RTPModule& module, HConfigItem* job, const std::string& home, int rounds,
                           WithAndWithout& out) {
    if (!twbench::UseArchive(home, "")) return false;
    std::vector<double> wall[2], cpu[2];
    for (int round = 0; round < rounds; ++round)
        for (int without = 0; without < 2; ++without) {
            if (without) setenv("TW_SKIP_OPERATIONS", "1", 1);
            const double cpu0 = twbench::CpuSeconds();
            Figures f;
            const bool ok = Measure(module, job, f);
            cpu[without].push_back((twbench::CpuSeconds() - cpu0) * 1e3);
            unsetenv("TW_SKIP_OPERATIONS");
            std::filesystem::remove_all(home + "Reports");
            if (!ok) return false;
            wall[without].push_back(f.whole);
        }
    std::vector<double> cost;
    for (std::size_t i = 0; i < cpu[0].size(); ++i)
        cost.push_back(cpu[0][i] - cpu[1][i]);
    out.cpuCost = Median(cost);
    for (int i = 0; i < 2; ++i) {
        out.median[i] = Median(wall[i]);
        out.best[i] = *std::min_element(wall[i].begin(), wall[i].end());
        out.cpu[i] = Median(cpu[i]);
    }
    return true;
}

// The run as a timer or cron job starts it: rthost run of the busy day, binary
// report only, a process each time, on the day files and on the server when
// there is one, against the sqlite3 program running the excursion query over
// the same samples in a file; best of `rounds` each, in turns, milliseconds
// (negative when not measured, with the reason in `why`).
struct Processes {
    double dayFiles = -1, server = -1, sqlite = -1;
    std::string why;
};
Processes MeasureProcesses(const std::string& bin, const std::string& home,
                           const std::string& server, long sqlFound, int rounds) {
    Processes p;
    const std::vector<std::string> run{bin + "rthost", "run",        home,   "--job",     "Bench",
                                       "--from",       "2026-12-07", "--to", "2026-12-07"};
    const char* sqlite3Program = "/usr/bin/sqlite3";
    const std::vector<std::string> query{sqlite3Program, "-batch", home + kSqliteFile,
                                         twbench::kExcursionQuery};
    auto best = [](double& b, double ms) {
        if (ms >= 0 && (b < 0 || ms < b)) b = ms;
    };
    for (int round = 0; round < rounds; ++round) {
        for (int archive = 0; archive < (server.empty() ? 1 : 2); ++archive) {
            twbench::UseArchive(home, archive ? server : "");
            const twbench::Measured m = twbench::RunProgram(run, home + "rthost-run.log");
            const double ms = m.ok ? m.seconds * 1e3 : -1;
            std::filesystem::remove_all(home + "Reports");
            if (ms < 0) {
                p.why = "rthost run failed";
                return p;
            }
            best(archive ? p.server : p.dayFiles, ms);
        }
        twbench::UseArchive(home, "");
        if (access(sqlite3Program, X_OK) != 0) {
            p.why = "no sqlite3 program (Debian package sqlite3)";
            continue;
        }
        const std::string output = home + "sqlite3.log";
        const twbench::Measured m = twbench::RunProgram(query, output);
        const double ms = m.ok ? m.seconds * 1e3 : -1;
        std::ifstream in(output);
        const std::string count(std::istreambuf_iterator<char>(in), {});
        if (ms < 0 || std::atol(count.c_str()) != sqlFound) {
            p.why = "the sqlite3 program failed or counted otherwise: " + count;
            continue;
        }
        best(p.sqlite, ms);
    }
    return p;
}

std::string StepCell(const Figures& f, std::size_t step) {
    if (!f.ok || f.steps[step] < 0) return "-";
    char b[32];
    std::snprintf(b, sizeof b, "%.1f ms", f.steps[step]);
    return b;
}

}  // namespace

int main(int argc, char** argv) {
    const bool binaryOnly = argc > 1 && std::strcmp(argv[1], "--binary-only") == 0;
    const int profileRuns = binaryOnly && argc > 2 ? std::max(1, std::atoi(argv[2])) : 20;
    const bool profilePg = binaryOnly && argc > 3 && std::strcmp(argv[3], "pg") == 0;
    setenv("TZ", "Europe/Moscow", 1);
    tzset();
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    const std::string home = (std::filesystem::temp_directory_path() / "tw-bench-run/").string();
    std::filesystem::remove_all(home);
    std::filesystem::create_directories(home);
    std::string why;
    const std::string server = binaryOnly && !profilePg ? std::string() : twbench::BenchServer(why);
    std::printf("building the plant in %s...\n", home.c_str());
    Made made;
    long kb = 0;
    if (!twbench::InChild([&](Made& m) { return MakeEverything(home, server, m); }, made, kb))
        return 1;
    const bool pg = !server.empty() && made.pg;
    if (!server.empty() && !made.pg) why = made.why;
    std::printf(
        "plant: %d variables, %d used contours (%zu variables); 2026-12-07: %d samples; the day "
        "before (the 24-hour look-back): %d\n",
        twbench::kPlantVariables, twbench::kPlantContours, twbench::PlantUsedVariables().size(),
        twbench::kBusyDaySamples, twbench::kDayBeforeSamples);
    if (pg)
        std::printf("PostgreSQL: both days stored in %.1f s\n", made.pgSeconds);
    else if (!binaryOnly)
        std::printf("PostgreSQL column skipped: %s\n", why.c_str());

    const std::string dir = twbench::ProgramFolder();
    void* lib = dlopen((dir + "libTripplug.so").c_str(), RTLD_NOW);
    auto query =
        lib ? reinterpret_cast<QueryPackageInfoProc>(dlsym(lib, "QueryPackageInfo")) : nullptr;
    if (!query) {
        std::printf("cannot load the module: %s\n", dlerror());
        return 1;
    }
    auto* module = static_cast<RTPModule*>(query(0));

    RTInitialize(home.c_str(), nullptr);
    host::SetLogConsole(false);
    host::KeepBlocksForRuns();  // as rthost run does
    RTPHostContext context;
    std::strcpy(context.Home, home.c_str());
    PRTime end;
    end.Set(twbench::kPlantDay + 86400);
    context.PeriodEnd = end;
    context.PeriodStart.Set(twbench::kPlantDay);
    RTPInfo info{};
    info.Size = sizeof info;
    info.Context = &context;
    module->Init(&info);
    module->ReportTime = end;

    HConfigTree job;
    job.Load((home + "Jobs/Bench.json").c_str());
    if (binaryOnly) {
        Figures best, first;
        if (profilePg && !pg) return 1;
        if (!MeasureRounds(*module, job.Root(), home, profileRuns, {profilePg ? server : ""}, &best,
                           &first))
            return 1;
        std::printf(
            "binary report only, %s, best of %d: %.1f ms (fetch %.1f, compute %.1f, "
            "operations %.1f, report %.1f; the first: %.1f ms)\n",
            profilePg ? "PostgreSQL" : "day files", profileRuns, best.whole, best.steps[0],
            best.steps[1], best.steps[2], best.steps[3], first.whole);
        std::filesystem::remove_all(home);
        return 0;
    }
    // Binary only, then SaveVals on, each on the day files and PostgreSQL in
    // turn; the first also without a look-back. The very first run of the
    // process finds nothing in memory (the cold figure).
    Figures best[2][2], first[2][2], noLookBack, unused;
    std::vector<std::string> archives{""};
    if (pg) archives.push_back(server);
    bool ok = true;
    for (int vals = 0; vals < 2 && ok; ++vals) {
        job.Root()->SetBool("SaveVals", vals == 1);
        ok = MeasureRounds(*module, job.Root(), home, vals ? 3 : kRounds, archives, best[vals],
                           first[vals]);
        if (vals == 0 && ok) {
            context.LookBack = 0;
            ok = MeasureRounds(*module, job.Root(), home, kRounds, {""}, &noLookBack, &unused);
            context.LookBack = kDefaultLookBack;
        }
    }
    WithAndWithout ops;
    job.Root()->SetBool("SaveVals", false);
    ok = ok && MeasureOperationsCost(*module, job.Root(), home, kRounds * 2, ops);
    twbench::UseArchive(home, "");
    module->Done();
    ::operator delete(static_cast<HPackageInfo*>(module));
    if (!ok) return 1;
    const Processes processes =
        MeasureProcesses(dir, home, pg ? server : std::string(), made.sqlFound, 10);

    std::printf("\nthe daily run of 2026-12-07, binary report only, best of %d (SaveVals on: 3):\n",
                kRounds);
    std::printf("%-32s %-14s %-14s\n", "", "day files", "PostgreSQL");
    for (int vals = 0; vals < 2; ++vals) {
        std::printf("%s\n", vals == 0 ? "used variables (SaveVals off)"
                                      : "SaveVals on (all variables, values CSV)");
        for (std::size_t k = 0; k < std::size(kSteps); ++k)
            std::printf("  %-30s %-14s %-14s\n", kSteps[k].second,
                        StepCell(best[vals][0], k).c_str(), StepCell(best[vals][1], k).c_str());
        char a[32], b[32] = "-";
        std::snprintf(a, sizeof a, "%.1f ms", best[vals][0].whole);
        if (best[vals][1].ok) std::snprintf(b, sizeof b, "%.1f ms", best[vals][1].whole);
        std::printf("  %-30s %-14s %-14s\n", "whole run", a, b);
    }
    std::printf("the process's first run, binary report only, on day files: %.1f ms\n",
                first[0][0].whole);
    if (first[0][1].ok)
        std::printf(
            "the first run on PostgreSQL (new connections, the server's backends new): %.1f ms\n",
            first[0][1].whole);
    std::printf("SQLite window-function query alone (%ld excursions), best of 3: %.1f ms\n",
                made.sqlFound, made.sqlSeconds * 1e3);
    const double sqlRatio = made.sqlSeconds * 1e3 / best[0][0].whole;
    std::printf(
        "SQLite query / run with only the binary report on day files: %.2fx (target >= 5: %s)\n",
        sqlRatio, sqlRatio >= 5 ? "ok" : "MISSED");
    for (int vals = 0; vals < 2; ++vals)
        if (best[vals][1].ok) {
            const double pgRatio = best[vals][1].whole / best[vals][0].whole;
            std::printf("%s: PostgreSQL / day files %.2fx%s\n",
                        vals == 0 ? "binary report only" : "SaveVals on", pgRatio,
                        vals           ? ""
                        : pgRatio <= 3 ? " (target <= 3: ok)"
                                       : " (target <= 3: MISSED)");
        }
    std::printf("SaveVals on, day files: %.1f ms\n", best[1][0].whole);
    std::printf("binary report only, with the look-back / without: %.2fx\n",
                best[0][0].whole / noLookBack.whole);
    if (processes.dayFiles >= 0 && processes.sqlite >= 0) {
        const double ratio = processes.sqlite / processes.dayFiles;
        std::printf(
            "as processes, best of 10: rthost run %.1f ms on day files, the sqlite3 program's "
            "query %.1f ms: %.2fx (target >= 5: %s)\n",
            processes.dayFiles, processes.sqlite, ratio, ratio >= 5 ? "ok" : "MISSED");
    } else {
        std::printf("as processes: not measured: %s\n", processes.why.c_str());
    }
    if (processes.dayFiles >= 0 && processes.server >= 0) {
        const double ratio = processes.server / processes.dayFiles;
        std::printf(
            "as processes, rthost run on PostgreSQL %.1f ms / day files: %.2fx (target <= "
            "3: %s)\n",
            processes.server, ratio, ratio <= 3 ? "ok" : "MISSED");
    }
    // The operations are found while the incidents are computed, and their
    // file is written while the report is: only the two runs side by side
    // tell what they cost. The best of each, as everywhere here; the medians
    // are shown too (a busy spell of the shared machine takes the second core
    // the operations use).
    const double ratio = ops.best[0] / ops.best[1];
    std::printf(
        "binary report only, day files, the run with the operations / without, %d runs each in "
        "turns: best %.1f ms / %.1f ms (medians %.1f / %.1f, %.2fx; CPU time of all threads, "
        "medians %.1f / %.1f, paired difference %.2f): %.2fx (target <= 1.15x: %s)\n",
        kRounds * 2, ops.best[0], ops.best[1], ops.median[0], ops.median[1],
        ops.median[0] / ops.median[1], ops.cpu[0], ops.cpu[1], ops.cpuCost, ratio,
        ratio <= 1.15 ? "ok" : "MISSED");
    std::filesystem::remove_all(home);
    return 0;
}
