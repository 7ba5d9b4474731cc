// The whole daily job as a timer or cron job starts it, `rthost run` of the
// busy day as a process, on the busy plant and on the ten-times plant of
// bench_plant.h: the binary, text and spreadsheet reports, no values kept. The
// two plants' homes are built one after the other, each in a child process
// that frees its samples; the runs take turns, best of 3, the reports removed
// after each. Targets: the ten-times plant's job under 3 s with a peak memory
// under 1.5 GB, and its time per sample within 1.3x of the busy plant's.
// "--keep" leaves both homes in place afterwards (for profilers).
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench_plant.h"
#include "bench_util.h"
#include "config/configtree.h"

using twbench::Clock;

namespace {

constexpr int kRounds = 3;

struct Plant {
    const char* name;
    twbench::PlantShape shape;
    std::string home;
};

struct Built {
    double generate = 0, write = 0;
    char why[512] = {};
};

// The job of the home writes every report and keeps no values.
bool EveryReport(const std::string& home) {
    const std::string path = home + "Jobs/Bench.json";
    HConfigTree job;
    if (!job.Load(path.c_str())) return false;
    job.Root()->SetBool("SaveVals", false);
    job.Root()->SetBool("SaveTXT", true);
    job.Root()->SetBool("SaveXLS", true);
    return job.SaveAs(path.c_str());
}

bool Build(const Plant& plant, Built& b) {
    const auto t0 = Clock::now();
    const twbench::PlantDays days(plant.shape);
    b.generate = twbench::Seconds(t0);
    std::printf("  %d samples made in %.1f s; writing the configuration and the day files...\n",
                plant.shape.busySamples + plant.shape.beforeSamples, b.generate);
    std::fflush(stdout);
    const auto t1 = Clock::now();
    std::string why;
    if (!twbench::MakePlantHome(plant.home, days, why)) {
        std::snprintf(b.why, sizeof b.why, "%s", why.c_str());
        return false;
    }
    if (!EveryReport(plant.home)) {
        std::snprintf(b.why, sizeof b.why, "the job cannot be rewritten");
        return false;
    }
    b.write = twbench::Seconds(t1);
    return true;
}

// A run's figures: its time, peak memory, what its console said of the day,
// and the reports' sizes.
struct Run {
    double ms = -1;
    long peakKb = 0;
    long incidents = -1, operationLines = 0;
    std::uintmax_t bytes[3] = {};  // binary, text, spreadsheet
};

const char* const kExtensions[3] = {".twr", ".txt", ".xls"};

// One run of the job on the busy day. False when it failed or a report is
// missing (said on the console).
bool RunOnce(const std::string& bin, const Plant& plant, Run& r) {
    const std::vector<std::string> args{bin + "rthost", "run",   plant.home,
                                        "--job",        "Bench", "--from",
                                        "2026-12-07",   "--to",  "2026-12-07"};
    const std::string log = plant.home + "rthost-run.log";
    const twbench::Measured m = twbench::RunProgram(args, log);
    if (!m.ok) return false;
    r.ms = m.seconds * 1e3;
    r.peakKb = m.peakKb;
    std::error_code ec;
    for (const auto& e :
         std::filesystem::recursive_directory_iterator(plant.home + "Reports", ec)) {
        for (int k = 0; k < 3; ++k)
            if (e.is_regular_file() && e.path().extension() == kExtensions[k])
                r.bytes[k] += e.file_size();
    }
    std::filesystem::remove_all(plant.home + "Reports");
    for (int k = 0; k < 3; ++k)
        if (r.bytes[k] == 0) {
            std::printf("  %s: no %s report written\n", plant.name, kExtensions[k]);
            return false;
        }
    // "... N incident(s), ..." and a line of each operation without a demand.
    std::ifstream in(log);
    const std::string operation = "Срабатывание: ";
    for (std::string line; std::getline(in, line);) {
        if (const auto at = line.find(" incident(s)"); at != std::string::npos) {
            const auto from = line.rfind(' ', at - 1);
            r.incidents = std::atol(line.c_str() + (from == std::string::npos ? 0 : from + 1));
        }
        if (line.find(operation) != std::string::npos) ++r.operationLines;
    }
    return true;
}

double PerThousand(const Run& r, const twbench::PlantShape& s) {
    return r.ms * 1e3 / ((s.busySamples + s.beforeSamples) / 1e3);
}

}  // namespace

int main(int argc, char** argv) {
    const bool keep = argc > 1 && std::strcmp(argv[1], "--keep") == 0;
    setenv("TZ", "Europe/Moscow", 1);
    tzset();
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    const std::string bin = twbench::ProgramFolder();
    const std::string root = (std::filesystem::temp_directory_path() / "tw-bench-scale/").string();
    std::filesystem::remove_all(root);
    Plant plants[2] = {{"busy plant", twbench::kBusyPlant, root + "busy/"},
                       {"ten-times plant", twbench::kTenTimesPlant, root + "ten-times/"}};
    for (const Plant& p : plants) {
        std::printf("building the %s in %s: %d variables, %d used contours...\n", p.name,
                    p.home.c_str(), p.shape.variables, p.shape.contours);
        std::filesystem::create_directories(p.home);
        Built b;
        long kb = 0;
        if (!twbench::InChild([&](Built& out) { return Build(p, out); }, b, kb)) {
            std::printf("cannot build the %s: %s\n", p.name, b.why);
            std::filesystem::remove_all(root);
            return 1;
        }
        std::printf("  written in %.1f s (the builder's peak memory %ld MB)\n", b.write, kb / 1024);
    }

    Run best[2];
    long peakKb[2] = {};  // the highest of the runs
    for (int round = 0; round < kRounds; ++round)
        for (int i = 0; i < 2; ++i) {
            std::printf("round %d, %s...\n", round + 1, plants[i].name);
            std::fflush(stdout);
            Run r;
            if (!RunOnce(bin, plants[i], r)) {
                std::printf("rthost run of the %s failed\n", plants[i].name);
                std::filesystem::remove_all(root);
                return 1;
            }
            if (best[i].ms < 0 || r.ms < best[i].ms) best[i] = r;
            peakKb[i] = std::max(peakKb[i], r.peakKb);
        }

    std::printf("\nrthost run of 2026-12-07, binary, text and spreadsheet reports, best of %d:\n",
                kRounds);
    for (int i = 0; i < 2; ++i) {
        const Plant& p = plants[i];
        const Run& r = best[i];
        std::printf(
            "%s: %d variables, %d contours; samples %d (the day) + %d (the day before); %ld "
            "incidents, %ld operation lines; reports %.0f / %.0f / %.0f KB (binary / text / "
            "spreadsheet); %.1f ms, peak %ld MB (the highest of the runs), %.2f us per 1,000 "
            "samples\n",
            p.name, p.shape.variables, p.shape.contours, p.shape.busySamples, p.shape.beforeSamples,
            r.incidents, r.operationLines, double(r.bytes[0]) / 1e3, double(r.bytes[1]) / 1e3,
            double(r.bytes[2]) / 1e3, r.ms, peakKb[i] / 1024, PerThousand(r, p.shape));
    }
    const double seconds = best[1].ms / 1e3;
    const long peakMb = peakKb[1] / 1024;
    const double ratio =
        PerThousand(best[1], plants[1].shape) / PerThousand(best[0], plants[0].shape);
    std::printf("ten-times plant, whole daily job: %.2f s (target < 3 s: %s)\n", seconds,
                seconds < 3 ? "ok" : "MISSED");
    std::printf("peak memory: %ld MB (target < 1.5 GB: %s)\n", peakMb,
                peakKb[1] < 1536L * 1024 ? "ok" : "MISSED");
    std::printf("time per sample, ten-times / busy day: %.2fx (target <= 1.3: %s)\n", ratio,
                ratio <= 1.3 ? "ok" : "MISSED");
    if (keep)
        std::printf("the homes are kept in %s\n", root.c_str());
    else
        std::filesystem::remove_all(root);
    return 0;
}
