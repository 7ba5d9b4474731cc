// Ten years of daily reports with their times files of a 1,000-contour plant
// with about 500 incidents a day (3,650 reports, about 1,800,000 incidents, 7%
// of them misoperations), written into a temporary folder first (by a child
// process, so that its memory does not count). Measured:
// - in-process, the statistics of 2026 from the folder as `Tripview --batch
//   --stats` makes them: the search of the reports (headers), loading every
//   report with its times (the non-operations gathered in the same pass), the
//   statistics and the CSV; target under 2 s;
// - as processes, `Tripview --batch --stats --xls` of that year (target under
//   1.5 s) and of the ten years (under 10 s, peak memory under 1 GB).
#include "bench_util.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>

#include "common/cp1251.h"
#include "common/strutil.h"
#include "nonoperation.h"
#include "report_search.h"
#include "runtime/runtime.h"
#include "stats_csv.h"
#include "tw_file.h"
#include "tw_stats.h"

using namespace host::literals;

namespace {

using namespace twbench;

constexpr int kContours = 1000;
constexpr int kFirstYear = 2017;
constexpr int kYears = 10;
constexpr int kIncidentsPerDay = 500;
constexpr double kYearSeconds = 1.5, kTenYearsSeconds = 10, kTenYearsMb = 1024;

TW_Contour MakeContour(int n) {
    TW_Contour c{};
    c.Used = 1;
    std::snprintf(c.Sensor, sizeof c.Sensor, "U%02d.P%03d.Sensor", n / 100, n % 100);
    c.Interval = 10;
    c.State = uint16_t(3 + n % 3);
    StrCpy(c.StateName, "Превышение температуры"_cp, sizeof c.StateName);
    StrCpy(c.Limit, "> 120"_cp, sizeof c.Limit);
    c.Rele.Used = 1;
    std::snprintf(c.Rele.Sensor, sizeof c.Rele.Sensor, "U%02d.P%03d.Relay", n / 100, n % 100);
    c.Rele.State = 1;
    c.Rele.MaxTime = 10 + n % 3 * 5;
    StrCpy(c.Rele.ONName, "Реле сработало"_cp, sizeof c.Rele.ONName);
    StrCpy(c.Rele.OFFName, "Реле не сработало"_cp, sizeof c.Rele.OFFName);
    c.Prot.Used = n % 4 != 0;
    std::snprintf(c.Prot.Sensor, sizeof c.Prot.Sensor, "U%02d.P%03d.Breaker", n / 100, n % 100);
    c.Prot.State = 2;
    c.Prot.MaxTime = 30;
    StrCpy(c.Prot.ONName, "Выключатель отключился"_cp, sizeof c.Prot.ONName);
    StrCpy(c.Prot.OFFName, "Выключатель не отключился"_cp, sizeof c.Prot.OFFName);
    return c;
}

// One line's outcome byte and times: mostly in time (a few near the end of
// the window), some not held, some late, a few never.
uint8_t Line(std::mt19937& rng, uint32_t window, uint32_t length, TW_LineTimes& t) {
    const unsigned roll = rng() % 100;
    if (roll < 93) {
        t.Response = rng() % window;
        return 0x10;
    }
    if (roll < 96) {
        t.Response = rng() % window;
        t.Held = 1 + rng() % (length - t.Response);
        return roll < 95 ? 0x12 : 0x11;
    }
    if (roll < 99) t.Response = window + rng() % (length - window);
    return 0x00;
}

// Writes the ten years' reports, as the daily run does, into `dir`; false on
// failure.
bool WriteYears(const std::string& dir) {
    std::mt19937 rng(20261207);
    std::vector<TW_Contour> contours;
    for (int n = 0; n < kContours; ++n)
        contours.push_back(MakeContour(n));
    PRTime first, end;
    first.Set(kFirstYear, 1, 1);
    end.Set(kFirstYear + kYears, 1, 1);
    for (int day = 0; host::AddCalendarDays(first, day) < end; ++day) {
        TW_File report;
        report.Start = host::AddCalendarDays(first, day);
        report.End = host::AddCalendarDays(first, day + 1);
        report.RunTime = report.End;
        const time_t dayStart = report.Start.GetTT();
        // About kIncidentsPerDay a day, contour by contour as Fill makes them.
        for (int n = 0; n < kContours; ++n) {
            for (int k = 0; rng() % (kContours + kIncidentsPerDay) < unsigned(kIncidentsPerDay);
                 ++k) {
                TW_ContourLine line{};
                line.Contour = contours[std::size_t(n)];
                const time_t start = dayStart + 3600 * (k + 1) + rng() % 3000;
                const uint32_t length = 60 + rng() % 600;
                line.Start.Set(start);
                line.End.Set(start + length);
                line.Value = double(rng() % 10000) / 10;
                StrCpy(line.ObjectName, "Котел"_cp, sizeof line.ObjectName);
                StrCpy(line.SensorPlace, "Топка"_cp, sizeof line.SensorPlace);
                StrCpy(line.ProtObjectName, "Выключатель"_cp, sizeof line.ProtObjectName);
                TW_IncidentTimes t;
                line.ReleResult = Line(rng, line.Contour.Rele.MaxTime, length, t.Rele);
                if (line.Contour.Prot.Used)
                    line.ProtResult = Line(rng, line.Contour.Prot.MaxTime, length, t.Prot);
                report.Add(line);
                report.Times.push_back(t);
            }
        }
        report.MakeFileName((dir + "/Daily").c_str(), nullptr);
        if (!report.Save() || !report.SaveTimes()) return false;
    }
    return true;
}

// Tripview --batch --stats --xls of 2026, then of the ten years, as processes.
void MeasureTripview(const std::string& dir) {
    const std::string tripview =
        (std::filesystem::read_symlink("/proc/self/exe").parent_path() / "Tripview").string();
    setenv("QT_QPA_PLATFORM", "offscreen", 0);  // the charts of the statistics
    const auto run = [&](const std::string& from, const char* out) {
        const std::string folder = dir + "/" + out;
        std::filesystem::create_directories(folder);
        return RunProgram({tripview, "--batch", "--path", dir, "--from", from, "--to", "2027-01-01",
                           "--stats", folder, "--xls", folder},
                          dir + "/tripview.log");
    };
    const Measured year = run("2026-01-01", "out-year");
    const Measured ten = run(std::to_string(kFirstYear) + "-01-01", "out-ten");
    if (!year.ok || !ten.ok) {
        std::printf("Tripview --batch --stats --xls: failed\n");
        return;
    }
    std::printf("Tripview --batch --stats --xls, one year: %.2f s, %.0f MB (target < %.1f s: %s)\n",
                year.seconds, year.peakKb / 1024.0, kYearSeconds,
                year.seconds < kYearSeconds ? "ok" : "MISSED");
    const double tenMb = ten.peakKb / 1024.0;
    std::printf(
        "Tripview --batch --stats --xls, ten years: %.2f s (target < %.0f s: %s), peak memory "
        "%.0f MB (target < %.0f MB: %s)\n",
        ten.seconds, kTenYearsSeconds, ten.seconds < kTenYearsSeconds ? "ok" : "MISSED", tenMb,
        kTenYearsMb, tenMb < kTenYearsMb ? "ok" : "MISSED");
}

}  // namespace

// --keep leaves the reports in the folder, to measure Tripview on them by hand.
int main(int argc, char** argv) {
    const bool keep = argc > 1 && std::strcmp(argv[1], "--keep") == 0;
    const std::string dir = (std::filesystem::temp_directory_path() / "tw-bench-stats").string();
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    RTInitialize(dir.c_str(), nullptr);

    const auto g0 = Clock::now();
    const pid_t child = fork();
    if (child == 0) _exit(WriteYears(dir) ? 0 : 1);
    int status = 0;
    waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "writing the reports failed\n");
        return 1;
    }
    const double written = Seconds(g0);
    uintmax_t bytes = 0;
    for (const auto& e : std::filesystem::directory_iterator(dir))
        bytes += e.file_size();

    PRTime from, to;
    from.Set(2026, 1, 1);
    to.Set(2027, 1, 1);
    const long rssBefore = twbench::PeakRssKb();
    const auto t0 = Clock::now();
    InfoArray reports;
    const int found = SearchReports(reports, (dir + "/").c_str(), from, to);
    const auto t1 = Clock::now();
    TW_StatsBuilder builder;
    int untimed = 0;
    TW_File nonOperations;
    const int misoperations =
        GatherNonOperations(reports, from, to, nonOperations, nullptr, [&](const TW_File& r) {
            builder.Add(r);
            untimed += r.TimesOf(0) == nullptr;
        });
    const auto t2 = Clock::now();
    const int incidents = builder.Incidents();
    const TW_Statistics stats = builder.Finish(from, to);
    const std::string csv = TW_StatsCsv(stats);
    const auto t3 = Clock::now();
    const double total = Seconds(t0, t3);

    std::printf("%d years of reports, %.1f MB on disk (written in %.1f s)\n", kYears,
                double(bytes) / 1e6, written);
    std::printf("2026 in-process: %d reports (%d without times), %d incidents, %zu contours\n",
                found, untimed, incidents, stats.Contours.size());
    std::printf("search:     %7.3f s\n", Seconds(t0, t1));
    std::printf("load:       %7.3f s  (%d non-operations gathered in the same pass)\n",
                Seconds(t1, t2), misoperations);
    std::printf("statistics: %7.3f s  (and the CSV, %zu bytes)\n", Seconds(t2, t3), csv.size());
    std::printf("total:      %7.3f s  (target < 2 s) %s\n", total, total < 2 ? "ok" : "MISSED");
    std::printf(
        "plant: %d demands, %d misoperations (rate %.4f), %d slow, %d near misses, "
        "relay median %.1f s\n",
        stats.Plant.Demands, stats.Plant.Misoperations, stats.Plant.MisoperationRate(),
        stats.Plant.Slow, stats.Plant.NearMiss, stats.Plant.Relay.Median);
    std::printf(
        "peak memory: %ld MB (%ld MB before the measurement; the non-operations "
        "gathered hold %.0f MB of it)\n",
        twbench::PeakRssKb() / 1024, rssBefore / 1024,
        double(misoperations) * sizeof(TW_ContourLine) / (1 << 20));
    MeasureTripview(dir);
    if (!keep) std::filesystem::remove_all(dir);
    return 0;
}
