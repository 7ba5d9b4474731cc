// GrabReportValues over one day of 10,000 variables and 2,000,000 samples:
// samples per second and peak memory, and, as the figure to beat, the time to
// read the same samples from an indexed SQLite table.
// Usage: bench_grab_values [WORKDIR]   (default: a folder under /tmp)
#include "bench_util.h"
#include <sqlite3.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "common/prtime.h"
#include "data/archivefile.h"
#include "data/archivefolder.h"
#include "data/dbdatabase.h"
#include "data/grabvalues.h"

namespace {

constexpr int kVariables = 10000;
constexpr int kPerVariable = 200;  // 2,000,000 samples in the day

std::string VarName(int i) {
    char b[32];
    std::snprintf(b, sizeof b, "U%d.V%05d", i % 8 + 1, i);
    return b;
}

// The home folder (configuration and two day files) and the SQLite table.
int Generate(const std::string& home, const host::archive::Day& day) {
    std::filesystem::create_directories(home + "/Config");
    HDBDatabase db;
    db.ConfigId = 1;
    db.ConfigTime.Set(time_t(day.Begin - 7 * 86400));
    db.AddStateSet(1, "S", 0, 3);
    db.AddObject("Unit");
    db.AddType("T", 1);
    for (int i = 0; i < kVariables; ++i)
        db.AddVariable(VarName(i).c_str(), 0, 0);
    if (!DBSaveDatabase(db, (home + "/Config/bench.rtdb").c_str())) return 1;

    std::mt19937 rng(5);
    const host::archive::Day before = host::archive::DayOf(day.Begin - 1);
    std::vector<host::archive::VariableSamples> today, yesterday;
    for (int i = 0; i < kVariables; ++i) {
        host::archive::VariableSamples v{VarName(i), {}}, y{VarName(i), {}};
        y.Samples.push_back({before.End - 1 - int(rng() % 3600), uint16_t(rng() % 4), 1.0});
        int64_t t = day.Begin + rng() % 300;
        for (int k = 0; k < kPerVariable; ++k) {
            v.Samples.push_back({t, uint16_t(rng() % 4), double(rng() % 100000) / 100.0});
            t += 1 + rng() % 800;
            if (t >= day.End) t = day.End - 1 - (kPerVariable - k);  // stay inside the day
        }
        std::sort(v.Samples.begin(), v.Samples.end(),
                  [](auto& a, auto& b) { return a.Time < b.Time; });
        today.push_back(std::move(v));
        yesterday.push_back(std::move(y));
    }
    std::vector<std::pair<host::archive::Day, std::string>> files;
    files.emplace_back(before, host::archive::EncodeDayFile(before, yesterday));
    files.emplace_back(day, host::archive::EncodeDayFile(day, today));
    if (!host::archive::ReplaceDayFiles(home.c_str(), files)) return 1;

    sqlite3* s = nullptr;
    sqlite3_open((home + "/samples.sqlite").c_str(), &s);
    sqlite3_exec(s,
                 "PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF;"
                 "CREATE TABLE samples(var INTEGER, time INTEGER, state INTEGER, value REAL,"
                 " PRIMARY KEY(var, time)) WITHOUT ROWID; BEGIN",
                 nullptr, nullptr, nullptr);
    sqlite3_stmt* ins = nullptr;
    sqlite3_prepare_v2(s, "INSERT OR REPLACE INTO samples VALUES(?,?,?,?)", -1, &ins, nullptr);
    for (int i = 0; i < kVariables; ++i)
        for (const auto& smp : today[std::size_t(i)].Samples) {
            sqlite3_bind_int(ins, 1, i);
            sqlite3_bind_int64(ins, 2, smp.Time);
            sqlite3_bind_int(ins, 3, smp.State);
            sqlite3_bind_double(ins, 4, smp.Value);
            sqlite3_step(ins);
            sqlite3_reset(ins);
        }
    sqlite3_finalize(ins);
    sqlite3_exec(s, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(s);
    return 0;
}

using twbench::Seconds;
}  // namespace

int main(int argc, char** argv) {
    const std::string home = argc > 1 ? argv[1] : "/tmp/tw-bench-grab";
    std::filesystem::remove_all(home);
    const host::archive::Day day = host::archive::DayOf(int64_t(time(nullptr)) - 2 * 86400);

    // The data is made in a child process, so that its memory does not count.
    const pid_t child = fork();
    if (child == 0) _exit(Generate(home, day));
    int status = 0;
    waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "could not make the benchmark data in %s\n", home.c_str());
        return 1;
    }
    const long baseKb = twbench::PeakRssKb();

    RTPHostContext ctx;
    std::strncpy(ctx.Home, home.c_str(), sizeof ctx.Home - 1);
    ctx.PeriodStart.Set(time_t(day.Begin));
    ctx.PeriodEnd.Set(time_t(day.End - 1));
    RTPInfo info{};
    info.Context = &ctx;

    double best = 1e9;
    long long count = 0;
    long peakKb = 0;
    for (int round = 0; round < 3; ++round) {
        HHourFile file;
        const auto t0 = std::chrono::steady_clock::now();
        const char* error = GrabReportValues("", info, file, ctx.PeriodEnd, 1);
        const double s = Seconds(t0);
        if (error) {
            std::fprintf(stderr, "GrabReportValues: %s\n", error);
            return 1;
        }
        best = std::min(best, s);
        count = file.Samples.Count();
        peakKb = twbench::PeakRssKb();
    }
    const double rawMb = double(count) * sizeof(HHourSample) / 1e6;
    std::printf("GrabReportValues: %d variables, %lld samples (with the samples before the day)\n",
                kVariables, count);
    std::printf("  best of 3: %.3f s, %.2f million samples/s (target >= 5)\n", best,
                double(count) / best / 1e6);
    std::printf(
        "  peak memory %.1f MB (process before: %.1f MB); raw samples %.1f MB; "
        "peak/raw %.2f (target < 3)\n",
        peakKb / 1024.0, baseKb / 1024.0, rawMb, peakKb * 1024.0 / 1e6 / rawMb);

    sqlite3* db = nullptr;
    sqlite3_open_v2((home + "/samples.sqlite").c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* q = nullptr;
    sqlite3_prepare_v2(db,
                       "SELECT var, time, state, value FROM samples WHERE time BETWEEN ? AND ? "
                       "ORDER BY var, time",
                       -1, &q, nullptr);
    double sqlBest = 1e9;
    long long rows = 0;
    for (int round = 0; round < 3; ++round) {
        std::vector<HHourSample> out;
        out.reserve(std::size_t(count));
        const auto t0 = std::chrono::steady_clock::now();
        sqlite3_bind_int64(q, 1, day.Begin);
        sqlite3_bind_int64(q, 2, day.End - 1);
        rows = 0;
        while (sqlite3_step(q) == SQLITE_ROW) {
            HHourSample smp{};
            smp.Time.Set(time_t(sqlite3_column_int64(q, 1)));
            smp.State = uint16_t(sqlite3_column_int(q, 2));
            smp.Value = sqlite3_column_double(q, 3);
            out.push_back(smp);
            ++rows;
        }
        sqlite3_reset(q);
        sqlBest = std::min(sqlBest, Seconds(t0));
    }
    sqlite3_finalize(q);
    sqlite3_close(db);
    std::printf("SQLite table (var, time) primary key: %lld rows in %.3f s, %.2f million rows/s\n",
                rows, sqlBest, double(rows) / sqlBest / 1e6);
    std::filesystem::remove_all(home);
    return 0;
}
