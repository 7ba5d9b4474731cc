// The incident report through the report engine: a report of 10,000 incidents
// exported as an Excel 97-2003 workbook and as PDF (the engine's own PDF
// writer, which also writes the pages of a preview without a display).
// Target: under 1 s each. Also printed: the
// layout alone, and the peak memory with 1,000 and with 10,000 items, which
// should grow in proportion to the items; then a year's second-level report
// (24,090 non-operations from 730 daily reports) and one longer than a sheet
// (70,000 items, two sheets). First, the memory the .xls export of 70,000 items
// holds an item, beyond the report's own data. Target: under 1 KB an item.
#include "bench_report.h"
#include "bench_util.h"
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "common/cp1251.h"
#include "common/strutil.h"
#include "tw_datamodule.h"
#include "tw_fieldtext.h"
#include "tw_file.h"

using namespace host::literals;

namespace {

using twbench::Clock;
using twbench::Seconds;

constexpr int kRounds = 3;

void Fill(TW_File& f, int items) {
    std::mt19937 rng(42);
    twbench::SetReportDay(f);
    for (int i = 0; i < items; ++i) {
        TW_ContourLine l;
        const int c = int(rng() % 300);
        TW_SetField(l.ObjectName, Message("Подстанция %d, ячейка %d"_cp, c / 10, c % 10));
        TW_SetField(l.SensorPlace, Message("Шкаф защиты %d"_cp, c));
        TW_SetField(l.ProtObjectName, Message("Выключатель Q%d"_cp, c));
        TW_SetField(l.Contour.Sensor, Message("PS%03d_K%02d", c / 10, c % 10));
        TW_SetField(l.Contour.Limit, "> 110%");
        TW_SetField(l.Contour.StateName, "Перегрузка"_cp);
        l.Contour.Rele.Used = rng() % 4 != 0;
        TW_SetField(l.Contour.Rele.Sensor, Message("RL%03d", c));
        TW_SetField(l.Contour.Rele.ONName, "Сработало"_cp);
        TW_SetField(l.Contour.Rele.OFFName, "Не сработало"_cp);
        l.Contour.Prot.Used = rng() % 4 != 0;
        TW_SetField(l.Contour.Prot.Sensor, Message("QF%03d", c));
        TW_SetField(l.Contour.Prot.ONName, "Отключен"_cp);
        TW_SetField(l.Contour.Prot.OFFName, "Не отключен"_cp);
        l.ReleResult = rng() % 5 ? 0x10 : 0x11;
        l.ProtResult = rng() % 5 ? 0x10 : 0x02;
        l.Value = double(rng() % 100000) / 100.0;
        const int s = int(rng() % 86000);
        l.Start.Set(2026, 12, 7, s / 3600, s / 60 % 60, s % 60);
        l.End.Set(2026, 12, 7, (s + 300) / 3600, (s + 300) / 60 % 60, s % 60);
        f.AddINT(&l);
    }
}

void Run(int items, const std::string& dir) {
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    TW_File f;
    Fill(f, items);
    f.CreateData();
    double layout = 1e9, xls = 1e9, pdf = 1e9;
    int pages = 0;
    for (int r = 0; r < kRounds; ++r) {
        auto t0 = Clock::now();
        f.DataModule->Prepare(&f);
        pages = int(f.DataModule->report.Layout().Pages.size());
        auto t1 = Clock::now();
        if (!f.ExportToXLS((dir + "bench").c_str())) std::printf("export failed\n");
        auto t2 = Clock::now();
        f.DataModule->Prepare(&f);
        if (!f.DataModule->report.ExportPdf((dir + "bench.pdf").c_str()))
            std::printf("pdf failed\n");
        auto t3 = Clock::now();
        layout = std::min(layout, Seconds(t0, t1));
        xls = std::min(xls, Seconds(t1, t2));
        pdf = std::min(pdf, Seconds(t2, t3));
    }
    std::printf(
        "%6d items, %4d pages: layout %.3f s, .xls %.3f s (%.1f MB), PDF %.3f s (%.1f MB); "
        "peak memory %.0f MB",
        items, pages, layout, xls,
        double(std::filesystem::file_size(dir + "bench 07-12-2026 00_00-23_59.xls")) / 1e6, pdf,
        double(std::filesystem::file_size(dir + "bench.pdf")) / 1e6,
        double(twbench::PeakRssKb()) / 1024);
    // The target is for 10,000 items.
    if (items == 10000)
        std::printf(" (target .xls and PDF under 1 s each: %s)",
                    xls < 1 && pdf < 1 ? "ok" : "MISSED");
    std::printf("\n");
}

// Memory the .xls export holds per item: the peak of a child that fills the
// report and exports it, less the peak of one that only fills it, over the items.
void HeldPerItem(int items, const std::string& dir) {
    const auto measure = [&](bool exporting) {
        long peakKb = 0;
        bool ok = false;
        const bool ran = twbench::InChild(
            [&](bool& done) {
                TW_File f;
                Fill(f, items);
                f.CreateData();
                f.DataModule->Prepare(&f);
                done = !exporting || f.ExportToXLS((dir + "held").c_str());
                return done;
            },
            ok, peakKb);
        return ran && ok ? peakKb : -1L;
    };
    const long dataKb = measure(false), exportKb = measure(true);
    if (dataKb < 0 || exportKb < 0) {
        std::printf(".xls export of %d items: measurement failed\n", items);
        return;
    }
    const double perItem = double(exportKb - dataKb) * 1024.0 / items;
    std::printf(
        ".xls export of %d items: %.0f bytes held an item (peak %.0f MB, the data alone %.0f MB) "
        "(target < 1 KB an item: %s)\n",
        items, perItem, double(exportKb) / 1024, double(dataKb) / 1024,
        perItem < 1024 ? "ok" : "MISSED");
}

}  // namespace

int main() {
    const std::string dir =
        (std::filesystem::temp_directory_path() / "tw-bench-report-export").string() + "/";
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    std::printf("Report export (best of %d rounds)\n", kRounds);
    HeldPerItem(70000, dir);
    Run(1000, dir);
    Run(10000, dir);
    Run(24090, dir);
    Run(70000, dir);
    std::filesystem::remove_all(dir);
    return 0;
}
