// Tripview: the second-level report "Отключение оборудования" from the saved
// daily reports. Without arguments it opens its wizard window; with --batch it
// runs from the command line.
#include <CLI/CLI.hpp>
#include <QApplication>
#include <QMessageBox>

#include <cstdio>
#include <exception>

#include "batch.h"
#include "ui/qt_app.h"
#include "ws_Main.h"

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
    app.add_option("--template", args.templ, "Spreadsheet template (.xls)");
    app.add_option("--stats", args.statsDir, "Write the protection statistics (stats.csv) here");
    app.add_option("--near-miss", args.nearMissShare,
                   "Share of a response window beyond which a correct operation is a near miss "
                   "(default 0.8)");
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
