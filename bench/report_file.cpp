// The report file: saving and loading a report of 100,000 incidents (MB/s of the
// 1880-byte items) and reading the headers of 10,000 report files, as the
// second-level program does when it looks for the reports of a period.
// Targets: save and load at least 200 MB/s of item bytes; 10,000 headers in
// under 1 s.
#include "bench_report.h"
#include "bench_util.h"
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "common/cp1251.h"
#include "common/strutil.h"
#include "tw_file.h"

using namespace host::literals;

namespace {

using namespace twbench;

constexpr int kItems = 100000;
constexpr int kHeaderFiles = 10000;
constexpr int kRounds = 3;

// Incidents as a busy plant gives them: a few hundred contours, varying times,
// values and outcomes.
void Fill(TW_File& f) {
    std::mt19937 rng(42);
    twbench::SetReportDay(f);
    for (int i = 0; i < kItems; ++i) {
        TW_ContourLine l;
        TW_Contour& c = l.Contour;
        const int contour = i % 400;
        c.Used = 1;
        StrCpy(c.Sensor, Message("TT%03d.PV", contour), sizeof c.Sensor);
        c.Interval = 10 + contour % 50;
        c.State = uint16_t(3 + contour % 4);
        StrCpy(c.StateName, "Превышение температуры"_cp, sizeof c.StateName);
        StrCpy(c.Limit, Message("> %d", 100 + contour), sizeof c.Limit);
        c.Rele.Used = 1;
        StrCpy(c.Rele.Sensor, Message("RL%03d.OUT", contour), sizeof c.Rele.Sensor);
        c.Rele.MaxTime = 5;
        StrCpy(c.Rele.ONName, "Сработка"_cp, sizeof c.Rele.ONName);
        StrCpy(c.Rele.OFFName, "Несработка"_cp, sizeof c.Rele.OFFName);
        c.Prot.Used = contour % 3 != 0;
        StrCpy(c.Prot.Sensor, Message("Q%03d.POS", contour), sizeof c.Prot.Sensor);
        const int start = int(rng() % 86000);
        l.Start.Set(2026, 12, 7, start / 3600, start / 60 % 60, start % 60);
        l.End.Set(2026, 12, 7, (start + 300) / 3600, (start + 300) / 60 % 60, start % 60);
        StrCpy(l.ObjectName, Message("%s %d", "Котел"_cp, contour / 20), sizeof l.ObjectName);
        l.Value = double(rng() % 100000) / 100.0;
        StrCpy(l.SensorPlace, "Топка"_cp, sizeof l.SensorPlace);
        StrCpy(l.ProtObjectName, "<не задан>"_cp, sizeof l.ProtObjectName);
        l.ReleResult = (rng() % 10) ? 0x10 : 0x00;
        l.ProtResult = (rng() % 10) ? 0x10 : 0x12;
        f.Add(l);
    }
}

}  // namespace

int main() {
    const std::string dir =
        (std::filesystem::temp_directory_path() / "tw-bench-report-file").string();
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir + "/headers");
    const double itemMB = double(kItems) * sizeof(TW_ContourLine) / 1e6;

    TW_File report;
    Fill(report);
    report.FileName.Set((dir + "/big.twr").c_str());

    double bestSave = 1e9, bestLoad = 1e9;
    for (int r = 0; r < kRounds; ++r) {
        auto t0 = Clock::now();
        if (!report.Save()) {
            std::fprintf(stderr, "save failed\n");
            return 1;
        }
        auto t1 = Clock::now();
        TW_File back;
        if (!back.Load(report.FileName) || back.Count() != kItems) {
            std::fprintf(stderr, "load failed\n");
            return 1;
        }
        auto t2 = Clock::now();
        bestSave = std::min(bestSave, Seconds(t0, t1));
        bestLoad = std::min(bestLoad, Seconds(t1, t2));
    }
    const auto fileSize = std::filesystem::file_size(dir + "/big.twr");

    // 10,000 report files of one incident each (copies of one saved file).
    TW_File small;
    small.Start = report.Start;
    small.End = report.End;
    small.Add(*report.ItemINT(0));
    small.FileName.Set((dir + "/one.twr").c_str());
    small.Save();
    std::ifstream in(dir + "/one.twr", std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<std::string> paths;
    for (int i = 0; i < kHeaderFiles; ++i) {
        paths.push_back(dir + "/headers/" + std::to_string(i) + ".twr");
        std::ofstream(paths.back(), std::ios::binary)
            .write(bytes.data(), std::streamsize(bytes.size()));
    }
    double bestHeaders = 1e9;
    for (int r = 0; r < kRounds; ++r) {
        TW_File scratch;
        long total = 0;
        auto t0 = Clock::now();
        for (const std::string& p : paths)
            total += scratch.LoadHeader(p.c_str());
        auto t1 = Clock::now();
        if (total != kHeaderFiles) {
            std::fprintf(stderr, "header reading failed\n");
            return 1;
        }
        bestHeaders = std::min(bestHeaders, Seconds(t0, t1));
    }

    const double saveRate = itemMB / bestSave, loadRate = itemMB / bestLoad;
    std::printf("report of %d items: %.1f MB of items, %.2f MB on disk\n", kItems, itemMB,
                double(fileSize) / 1e6);
    std::printf("save:    %7.3f s  %7.1f MB/s  (target >= 200 MB/s) %s\n", bestSave, saveRate,
                saveRate >= 200 ? "ok" : "MISSED");
    std::printf("load:    %7.3f s  %7.1f MB/s  (target >= 200 MB/s) %s\n", bestLoad, loadRate,
                loadRate >= 200 ? "ok" : "MISSED");
    std::printf("headers: %7.3f s  for %d files (target < 1 s) %s\n", bestHeaders, kHeaderFiles,
                bestHeaders < 1 ? "ok" : "MISSED");
    std::filesystem::remove_all(dir);
    return 0;
}
