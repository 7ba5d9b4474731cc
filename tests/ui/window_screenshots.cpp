// Pictures of Tripview's result page, its statistics, its operations without a
// demand and of the module's settings dialog for the README, made from a demo
// home (make demo) with widget grabs, which need no display:
//     QT_QPA_PLATFORM=offscreen window_screenshots demo-home docs
#include <QApplication>
#include <QDate>
#include <QDateEdit>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>

#include <cstdio>
#include <string>

#include "common/cp1251.h"
#include "config/configtree.h"
#include "plantdb/dbdatabase.h"
#include "plugin_state.h"
#include "tw_Config.h"
#include "ui_tw_Config.h"
#include "ui_ws_Main.h"
#include "ws_Main.h"

using namespace host::literals;

namespace {
// A day of the demo plant as its list of planted events names it.
QDate DemoDay(const std::string& home, const char* key) {
    QFile file(QString::fromUtf8((home + "/demo-incidents.json").c_str()));
    if (!file.open(QIODevice::ReadOnly)) return {};
    const QJsonObject days = QJsonDocument::fromJson(file.readAll()).object();
    return QDate::fromString(days.value(QLatin1String(key)).toString(), Qt::ISODate);
}
}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: window_screenshots DEMO_HOME OUTPUT_FOLDER\n");
        return 2;
    }
    QApplication app(argc, argv);
    const std::string home = argv[1], out = std::string(argv[2]) + "/";
    int status = 0;
    {
        const std::string scratch = out + ".screenshot-settings";
        TWSMainForm window(scratch + ".hcfg", scratch + ".log");
        Ui::TWSMainForm& ui = *window.Form();
        window.resize(900, 480);
        window.show();
        ui.edtPath->setText(QString::fromUtf8((home + "/Reports").c_str()));
        ui.dtStart->setDate(DemoDay(home, "firstDay"));
        ui.dtEnd->setDate(DemoDay(home, "lastDay").addDays(1));
        ui.btnNext1->click();
        ui.btnNext2->click();
        app.processEvents();
        if (!window.grab().save(QString::fromUtf8((out + "tripview.png").c_str()))) status = 1;
        // The statistics beside the list, with the charts of its first contour.
        window.resize(1200, 760);
        ui.tabsResult->setCurrentWidget(ui.tabStats);
        ui.listStats->selectRow(0);
        window.showContourCharts();
        app.processEvents();
        if (!window.grab().save(QString::fromUtf8((out + "tripview-stats.png").c_str())))
            status = 1;
        // The operations that no demand explains.
        window.resize(1000, 520);
        ui.tabsResult->setCurrentWidget(ui.tabOperations);
        app.processEvents();
        if (!window.grab().save(QString::fromUtf8((out + "tripview-operations.png").c_str())))
            status = 1;
        window.close();
        std::remove((scratch + ".hcfg").c_str());
        std::remove((scratch + ".log").c_str());
    }
    {
        tripplug::State().PluginDatabase = DBCreateDatabase();
        TConfigForm form(false, "Отключение оборудования"_cp);
        HConfigTree settings;
        settings.Load((home + "/Jobs/Daily.json").c_str());
        settings.Root()->SetStr("CfgFile", (home + "/Config/demo.rtdb").c_str());
        form.LoadDialog(settings.Root());
        form.resize(560, 700);
        form.show();
        app.processEvents();
        if (!form.grab().save(QString::fromUtf8((out + "settings.png").c_str()))) status = 1;
        HDBDestroy(tripplug::State().PluginDatabase);
    }
    return status;
}
