// Tripview: the second-level report "Отключение оборудования" from the saved
// daily reports. Without arguments it opens its wizard window; with --batch it
// runs from the command line.
#include <CLI/CLI.hpp>
#include <QApplication>
#include <QMessageBox>

#include <cstdio>
#include <exception>

#include "common/cli_values.h"
#include "batch.h"
#include "common/cp1251.h"
#include "common/lasterror.h"
#include "stats_charts.h"
#include "ui/qt_app.h"
#include "ws_Main.h"

namespace {

// The charts beside stats.csv, drawn without a display when there is none.
bool WriteCharts(const TW_Statistics& stats, const std::string& folder) {
    if (!host::ui::EnsureGuiApplication()) {
        std::printf("charts: failed: %s\n", host::Cp1251ToUtf8(GetIOErrorS_GUI(-2)).c_str());
        return false;
    }
    QStringList written;
    QString error;
    const bool ok = TW_WriteStatsCharts(stats, QString::fromUtf8(folder.c_str()), written, error);
    for (const QString& file : written)
        std::printf("chart: %s\n", file.toUtf8().constData());
    if (!ok) std::printf("charts: failed: %s\n", error.toUtf8().constData());
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
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
        try {
            return RunBatch(args);
        } catch (const std::exception& e) {
            std::fprintf(stderr, "Tripview: %s\n", e.what());
            return 1;
        }
    }
    if (!host::ui::HasDisplay()) {
        std::fprintf(stderr,
                     "Tripview: the window needs a display; without one, use --batch "
                     "(Tripview --help)\n");
        return 2;
    }
    int qtArgc = 1;
    QApplication application(qtArgc, argv);
    try {
        TWSMainForm window;
        window.show();
        return application.exec();
    } catch (const std::exception& e) {
        QMessageBox::critical(nullptr, QStringLiteral("Tripview"), QString::fromUtf8(e.what()));
        return 1;
    }
}
