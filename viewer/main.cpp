// Tripview: the second-level report "Отключение оборудования" from the saved
// daily reports. Without arguments it opens its wizard window; with --batch it
// runs from the command line.

#include <CLI/CLI.hpp>
#include <cstdio>
#include <exception>

#include "common/prtime.h"
#include "batch.h"
#include "common/cli_values.h"
#include "common/hugeheap.h"
#include "common/paths.h"
#include "window_entry.h"

namespace {

// An entry of the window library, loaded on first use (and kept); null, with
// the reason on standard error, when it cannot be loaded.
void* WindowEntry(const char* name) {
    std::string why;
    void* entry = host::LibraryEntry(host::ProgramLibraryPath("libTripviewWindow.so"), name, why);
    if (!entry) std::fprintf(stderr, "Tripview: cannot load the window library: %s\n", why.c_str());
    return entry;
}

bool WriteCharts(const TW_Statistics& stats, const std::string& folder) {
    auto write = reinterpret_cast<TWV_WriteChartsProc>(WindowEntry("TWV_WriteCharts"));
    if (!write) {
        std::printf("charts: failed: the window library cannot be loaded\n");
        return false;
    }
    return write(&stats, folder.c_str());
}

}  // namespace

int main(int argc, char** argv) {
    host::LoadLocalZoneOnce();
    bool batch = false;
    TW_BatchArgs args;
    CLI::App app{"Tripview - protection non-operations of a period"};
    app.add_flag("--batch", batch, "Run without the window");
    app.add_option("--path", args.path, "Folder of the saved daily reports (.twr)");
    app.add_option("--from", args.from, "Period start, YYYY-MM-DD[ HH:MM[:SS]]");
    app.add_option("--to", args.to, "Period end, YYYY-MM-DD[ HH:MM[:SS]]");
    app.add_option("--txt", args.txtDir, "Write the text report into this folder");
    app.add_option("--xls", args.xlsDir, "Write the spreadsheet into this folder");
    app.add_option("--template", args.templ,
                   "Spreadsheet template (.xls) placed above the report; none: the report alone");
    app.add_option("--stats", args.statsDir, "Write the protection statistics (stats.csv) here");
    app.add_option("--near-miss", args.nearMissShare,
                   "Share of a response window beyond which a correct operation is a near miss "
                   "(default 0.8)");
    std::string step;
    app.add_option("--step", step, "Trend step of the statistics' charts: week or month")
        ->check(CLI::IsMember({"week", "month"}));
    host::RefuseEmptyValues(app);
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        // A wrong command, option or argument exits 2, whatever the parser's
        // own code; --help prints the help and exits 0.
        return app.exit(e) == 0 ? 0 : 2;
    }
    if (batch) {
        if (args.path.empty() || args.from.empty() || args.to.empty()) {
            std::fprintf(stderr, "Tripview: --batch needs --path, --from and --to\n");
            return 2;
        }
        args.step = step == "week"    ? TW_StatsStep::Week
                    : step == "month" ? TW_StatsStep::Month
                                      : TW_StatsStep::None;
        args.writeCharts = WriteCharts;
        // Ten years of reports pass through blocks of megabytes: the tables of
        // each statistic, the points of each chart.
        host::KeepLargeBlocksInHeap(std::size_t(1) << 30, std::size_t(768) << 20);
        try {
            return RunBatch(args);
        } catch (const std::exception& e) {
            std::fprintf(stderr, "Tripview: %s\n", e.what());
            return 1;
        }
    }
    // The window and its toolkit are loaded only now.
    auto run = reinterpret_cast<TWV_RunWindowProc>(WindowEntry("TWV_RunWindow"));
    return run ? run(argc, argv) : 1;
}
