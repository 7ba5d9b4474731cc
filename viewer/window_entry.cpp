#include "window_entry.h"

#include <QApplication>
#include <QMessageBox>
#include <cstdio>
#include <exception>

#include "common/cp1251.h"
#include "common/lasterror.h"
#include "stats_charts.h"
#include "ui/qt_app.h"
#include "ws_Main.h"

extern "C" __attribute__((visibility("default"))) int TWV_RunWindow(int argc, char** argv) {
    if (!host::ui::HasDisplay()) {
        std::fprintf(stderr,
                     "Tripview: the window needs a display; without one, use --batch "
                     "(Tripview --help)\n");
        return 2;
    }
    int qtArgc = argc > 0 ? 1 : 0;
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

// The charts beside stats.csv, drawn without a display when there is none.
extern "C" __attribute__((visibility("default"))) bool TWV_WriteCharts(const TW_Statistics* stats,
                                                                       const char* folder) {
    if (!host::ui::EnsureGuiApplication()) {
        std::printf("charts: failed: %s\n", host::Cp1251ToUtf8(GetIOErrorS_GUI(-2)).c_str());
        return false;
    }
    QStringList written;
    QString error;
    const bool ok = TW_WriteStatsCharts(*stats, QString::fromUtf8(folder), written, error);
    for (const QString& file : written)
        std::printf("chart: %s\n", file.toUtf8().constData());
    if (!ok) std::printf("charts: failed: %s\n", error.toUtf8().constData());
    return ok;
}
