// The daily run's fetch from PostgreSQL as the samples table grows: the shared
// benchmark plant (bench_plant.h), its busy day with the 24-hour look-back and
// only the used contours' 90 variables (as a run without kept values asks),
// from (a) a table holding the plant's two days, (b) the samples table after
// 28 more days of the plant were added before them (30 days, 72,500,000 rows),
// (c) a samples table partitioned by calendar month (ARCHIVE.md) holding those
// 30 days. The added days are made by the server (2,500,000 samples a day
// spread evenly over the 3,000 variables, their states and values at random).
// (a) is a copy of the two days kept beside the samples table and read through
// the archive's "Samples" setting, so that (b) and (c) are each measured in
// turns with it, best of 5, each pair in a process of its own (the first fetch
// of each, the first with the process's logins, shown apart): the ratio holds
// on a machine that others share. Target: (b) and (c) within 1.5x of (a).
// Also what the archive's VACUUM (ANALYZE) after a change costs on the
// partitioned table: all of it against the month changed.
// Usage: bench_pg_month [WORKDIR]   (default: a folder under the temp folder)
//        TW_BENCH_PG=CONNINFO names the server (make bench sets it); the
//        benchmark replaces its schema tripwatch and drops it at the end.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "bench_plant.h"
#include "bench_util.h"
#include "request/grabvalues.h"
#include "runtime/runtime.h"

namespace {

using twbench::Clock;
using twbench::Seconds;

constexpr int kRounds = 5;
constexpr int kAddedDays = 28;
constexpr int kAddedPerDay = 2500000;  // 833 or 834 samples of each variable
constexpr double kTarget = 1.5;

struct Fetch {
    long long samples = 0;
    double first = 0;
    double best = 1e9;
};

// The fetches of two homes, in turns.
struct Turns {
    Fetch f[2];
};

struct Loaded {
    bool ok = false;
    double seconds = 0;
    char why[512] = {};
};

// GrabReportValues of the busy day with its look-back, the used variables,
// from the home's archive; its time goes into `out`.
bool Grab(const std::string& home, bool first, Fetch& out) {
    RTPHostContext ctx = twbench::PlantRunContext(home);
    RTPInfo info{};
    info.Size = sizeof info;
    info.Context = &ctx;
    HHourFile file;
    for (int v : twbench::PlantUsedVariables())
        file.Wanted.push_back(twbench::PlantVarName(v));
    const auto t0 = Clock::now();
    if (const char* error = GrabReportValues("", info, file, ctx.PeriodEnd, 1)) {
        std::printf("GrabReportValues failed: %s\n", host::Cp1251ToUtf8(error).c_str());
        return false;
    }
    const double s = Seconds(t0);
    if (first) out.first = s;
    out.best = std::min(out.best, s);
    out.samples = file.Samples.Count();
    return true;
}

// Runs `sql`; false with the server's text printed.
bool Run(host::pg::Connection& c, const std::string& sql) {
    if (c.Exec(sql)) return true;
    std::printf("  failed: %s\n", c.Error().c_str());
    return false;
}

// Runs `sql` and prints what it was and how long it took.
bool Step(host::pg::Connection& c, const char* what, const std::string& sql,
          double* took = nullptr) {
    std::printf("  %s...", what);
    std::fflush(stdout);
    const auto t0 = Clock::now();
    if (!Run(c, sql)) return false;
    const double s = Seconds(t0);
    std::printf(" %.1f s\n", s);
    if (took) *took += s;
    return true;
}

// One value of a query (empty on failure).
std::string Value(host::pg::Connection& c, const std::string& sql) {
    host::pg::Result r;
    return c.Exec(sql, &r, PGRES_TUPLES_OK) && r.Rows() ? r.Text(0, 0) : "";
}

// The samples table's rows and its size with its indexes, all partitions.
void PrintTable(host::pg::Connection& c) {
    std::printf(
        "  %s rows, %.2f GB with its key\n",
        Value(c, "SELECT to_char(count(*), 'FM999,999,999,999') FROM tripwatch.samples").c_str(),
        std::atof(Value(c,
                        "SELECT coalesce((SELECT sum(pg_total_relation_size(relid)) FROM "
                        "pg_partition_tree('tripwatch.samples')), "
                        "pg_total_relation_size('tripwatch.samples'))")
                      .c_str()) /
            1e9);
}

// The fetch from the two days' home and from `home`, in turns, in a process of
// their own.
bool Measure(const std::string& twoHome, const std::string& home, const char* what, Fetch& two,
             Fetch& f) {
    long kb = 0;
    Turns t;
    const bool ok = twbench::InChild(
        [&](Turns& out) {
            for (int round = 0; round < kRounds; ++round)
                if (!Grab(twoHome, round == 0, out.f[0]) || !Grab(home, round == 0, out.f[1]))
                    return false;
            return true;
        },
        t, kb);
    if (!ok) return false;
    two = t.f[0];
    f = t.f[1];
    for (const auto& [name, one] : {std::pair{"two days", &two}, std::pair{what, &f}})
        std::printf("  fetch of %s: %lld samples, best of %d %.1f ms, first %.1f ms\n", name,
                    one->samples, kRounds, one->best * 1e3, one->first * 1e3);
    return true;
}

// "YYYY-MM-01" of the month of `t` (local time), moved by `months`.
std::string MonthStart(time_t t, int months) {
    tm local{};
    localtime_r(&t, &local);
    const int m = local.tm_year * 12 + local.tm_mon + months;
    char b[32];
    std::snprintf(b, sizeof b, "%04d-%02d-01", 1900 + m / 12, m % 12 + 1);
    return b;
}

// The 28 days before the plant's two: one INSERT a day, made by the server.
std::string AddedDay(int day) {
    const long long begin = twbench::kPlantDay - 86400LL * (2 + day);
    // Variable v has n samples, the k-th at a random second of the k-th n-th
    // of the day: distinct times in order.
    return "INSERT INTO tripwatch.samples (variable, time, state, value) SELECT v.name, "
           "to_timestamp(" +
           std::to_string(begin) +
           " + k * 86400 / v.n + floor(random() * (86400 / v.n))), floor(random() * 4)::integer, "
           "random() * 100 FROM (SELECT 'U' || (i / 500 + 1) || '.P' || lpad(i::text, 4, '0') "
           "AS name, " +
           std::to_string(kAddedPerDay / twbench::kPlantVariables) + " + (i < " +
           std::to_string(kAddedPerDay % twbench::kPlantVariables) +
           ")::integer AS n FROM generate_series(0, " +
           std::to_string(twbench::kPlantVariables - 1) +
           ") AS i) AS v, generate_series(0, v.n - 1) AS k";
}

const char* const kKey = "PRIMARY KEY (variable, time) INCLUDE (state, value)";

// Adds the 28 days to the plain table: without its key, which is made again
// after (in one sort rather than row by row).
bool AddDays(host::pg::Connection& c, double& seconds) {
    std::printf("adding %d days before the plant's two (%d samples a day)...\n", kAddedDays,
                kAddedPerDay);
    if (!Step(c, "dropping the key", "ALTER TABLE tripwatch.samples DROP CONSTRAINT samples_pkey",
              &seconds))
        return false;
    const auto t0 = Clock::now();
    for (int day = 0; day < kAddedDays; ++day) {
        if (!Run(c, AddedDay(day))) return false;
        if ((day + 1) % 7 == 0) {
            std::printf("  %d of %d days added, %.0f s\n", day + 1, kAddedDays, Seconds(t0));
            std::fflush(stdout);
        }
    }
    seconds += Seconds(t0);
    return Step(c, "making the key", std::string("ALTER TABLE tripwatch.samples ADD ") + kKey,
                &seconds) &&
           Step(c, "VACUUM (ANALYZE)", "VACUUM (ANALYZE) tripwatch.samples", &seconds);
}

// Moves the 30 days into a table partitioned by month, one partition a
// calendar month, made as ARCHIVE.md shows; the plain table is dropped.
bool Partition(host::pg::Connection& c, double& seconds) {
    std::printf("moving the 30 days into a table partitioned by month...\n");
    std::string months;
    const time_t first = twbench::kPlantDay - 86400 * (kAddedDays + 1);
    for (int m = 0; MonthStart(first, m) <= MonthStart(twbench::kPlantDay, 0); ++m) {
        const std::string from = MonthStart(first, m), to = MonthStart(first, m + 1);
        months += "CREATE TABLE tripwatch.samples_" + from.substr(0, 4) + "_" + from.substr(5, 2) +
                  " PARTITION OF tripwatch.samples FOR VALUES FROM ('" + from + "') TO ('" + to +
                  "');";
    }
    return Step(c, "making the partitioned table",
                "ALTER TABLE tripwatch.samples DROP CONSTRAINT samples_pkey;"
                "ALTER TABLE tripwatch.samples RENAME TO samples_plain;"
                "CREATE TABLE tripwatch.samples (variable text NOT NULL, time timestamptz NOT "
                "NULL, state integer NOT NULL CHECK (state BETWEEN 0 AND 65535), value double "
                "precision NOT NULL) PARTITION BY RANGE (time);" +
                    months,
                &seconds) &&
           Step(c, "copying the rows",
                "INSERT INTO tripwatch.samples SELECT * FROM tripwatch.samples_plain", &seconds) &&
           Step(c, "dropping the plain table", "DROP TABLE tripwatch.samples_plain", &seconds) &&
           Step(c, "making the key", std::string("ALTER TABLE tripwatch.samples ADD ") + kKey,
                &seconds) &&
           Step(c, "VACUUM (ANALYZE)", "VACUUM (ANALYZE) tripwatch.samples", &seconds);
}

void PrintRatio(const char* what, const Fetch& f, const Fetch& two) {
    const double ratio = f.best / two.best;
    std::printf("%s / two days: %.2fx (target <= %.1f: %s)\n", what, ratio, kTarget,
                ratio <= kTarget ? "ok" : "MISSED");
}

}  // namespace

int main(int argc, char** argv) {
    setenv("TZ", "Europe/Moscow", 1);
    tzset();
    host::SetLogConsole(false);
    std::string why;
    const std::string server = twbench::BenchServer(why);
    if (server.empty()) {
        std::printf("PostgreSQL benchmark skipped: %s\n", why.c_str());
        return 0;
    }
    const std::string home =
        (argc > 1 ? std::string(argv[1])
                  : (std::filesystem::temp_directory_path() / "tw-bench-pg-month").string()) +
        "/";
    std::filesystem::remove_all(home);
    std::filesystem::create_directories(home);

    // The plant is made in a child process, so that its memory counts nowhere.
    std::printf("building the plant in %s and storing its two days...\n", home.c_str());
    Loaded loaded;
    long kb = 0;
    const bool made = twbench::InChild(
        [&](Loaded& l) {
            const twbench::PlantDays days;
            std::string error;
            const auto t0 = Clock::now();
            l.ok = twbench::MakePlantHome(home, days, error) &&
                   twbench::LoadPlantIntoServer(home, server, days, error);
            l.seconds = Seconds(t0);
            std::snprintf(l.why, sizeof l.why, "%s", error.c_str());
            return l.ok;
        },
        loaded, kb);
    if (!made) {
        std::printf("cannot build the plant: %s\n", loaded.why);
        std::filesystem::remove_all(home);
        return 1;
    }
    // The two days' home: a copy of the plant's that reads the copy of the two
    // days.
    const std::string twoHome = home + "two/";
    std::error_code copied;
    std::filesystem::create_directories(twoHome, copied);
    for (const char* part : {"Config", "Archive", "Jobs"})
        if (!copied)
            std::filesystem::copy(home + part, twoHome + part,
                                  std::filesystem::copy_options::recursive, copied);
    // The long statements wait as long as they take.
    host::pg::Connection c;
    if (copied || !c.Open(server, host::pg::Timeouts{30, 0, 0}) ||
        !c.Exec("SET timezone = 'Europe/Moscow'; SET maintenance_work_mem = '2GB'") ||
        !host::WriteArchiveSettings(twoHome.c_str(), server, "tripwatch.two_days") ||
        !twbench::UseArchive(home, server)) {
        std::printf("cannot prepare the two homes: %s\n",
                    copied ? copied.message().c_str() : c.Error().c_str());
        std::filesystem::remove_all(home);
        return 1;
    }

    Fetch twoPlain, plain, twoMonthly, monthly;
    double added = 0, partitioned = 0, whole = 0, month = 0;
    const bool ok = [&] {
        std::printf("(a) the plant's two days, stored through the archive in %.1f s\n",
                    loaded.seconds);
        PrintTable(c);
        if (!Step(c, "keeping a copy of them for (a)",
                  std::string("CREATE TABLE tripwatch.two_days AS SELECT * FROM "
                              "tripwatch.samples; ALTER TABLE tripwatch.two_days ADD ") +
                      kKey) ||
            !Run(c, "VACUUM (ANALYZE) tripwatch.two_days"))
            return false;
        if (!AddDays(c, added)) return false;
        Run(c, "CHECKPOINT");
        std::printf("(b) 30 days in one table, %.0f s to add the 28\n", added);
        PrintTable(c);
        if (!Measure(twoHome, home, "30 days in one table", twoPlain, plain)) return false;
        if (!Partition(c, partitioned)) return false;
        Run(c, "CHECKPOINT");
        std::printf("(c) 30 days partitioned by month, %.0f s to move them\n", partitioned);
        PrintTable(c);
        if (!Measure(twoHome, home, "30 days by month", twoMonthly, monthly)) return false;
        std::printf("VACUUM (ANALYZE) after a change of 2026-12-07 on the partitioned table:\n");
        return Step(c, "the whole table (every month)", "VACUUM (ANALYZE) tripwatch.samples",
                    &whole) &&
               Step(c, "only its month", "VACUUM (ANALYZE) tripwatch.samples_2026_12", &month);
    }();
    Run(c, "DROP SCHEMA IF EXISTS tripwatch CASCADE");
    std::filesystem::remove_all(home);
    if (!ok) return 1;

    std::printf(
        "\nthe daily run's fetch (GrabReportValues of 2026-12-07 with its look-back, %zu "
        "used variables), best of %d in turns with the two days:\n",
        twbench::PlantUsedVariables().size(), kRounds);
    std::printf(
        "  30 days in one table %.1f ms (two days %.1f ms), 30 days by month %.1f ms (two "
        "days %.1f ms)\n",
        plain.best * 1e3, twoPlain.best * 1e3, monthly.best * 1e3, twoMonthly.best * 1e3);
    // The 30 days carry each variable's last sample before the look-back in;
    // the two days have none before it.
    const long long carried = (long long)twbench::PlantUsedVariables().size();
    const bool same = twoMonthly.samples == twoPlain.samples &&
                      plain.samples == twoPlain.samples + carried &&
                      monthly.samples == plain.samples;
    std::printf(
        "  samples fetched: two days %lld, 30 days %lld and %lld (%s: the two days' and "
        "one carried in a variable)\n",
        twoPlain.samples, plain.samples, monthly.samples, same ? "as they must be" : "WRONG");
    PrintRatio("30 days in one table", plain, twoPlain);
    PrintRatio("30 days by month", monthly, twoMonthly);
    std::printf("VACUUM (ANALYZE) of every month / of the month changed: %.1f s / %.1f s\n", whole,
                month);
    return same ? 0 : 1;
}
