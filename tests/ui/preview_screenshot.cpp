// Opens the print preview of a sample incident report (not full screen) and
// saves a picture of the whole screen to the file given as the argument, then
// closes the preview. Run under Xvfb to refresh docs/preview.png:
//     xvfb-run -a -s "-screen 0 1280x900x24" preview_screenshot docs/preview.png
#include <QApplication>
#include <QPixmap>
#include <QScreen>
#include <QTimer>
#include <QWidget>

#include <cstdio>

#include "common/cp1251.h"
#include "common/strutil.h"
#include "tw_datamodule.h"
#include "tw_fieldtext.h"
#include "tw_file.h"
#include "ui/report_preview.h"

using namespace host::literals;

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: preview_screenshot OUTPUT.png\n");
        return 2;
    }
    QApplication app(argc, argv);
    host::ui::InstallReportPresenter();
    TW_File file;
    file.Start.Set(2026, 12, 7);
    file.End.Set(2026, 12, 8);
    file.RunTime.Set(2026, 12, 8, 0, 5, 0);
    for (int i = 0; i < 30; ++i) {
        TW_ContourLine l;
        TW_SetField(l.ObjectName, Message("Подстанция %d, ячейка %d"_cp, 1 + i / 6, 1 + i % 6));
        TW_SetField(l.SensorPlace, Message("Шкаф РЗА %d"_cp, 10 + i));
        TW_SetField(l.ProtObjectName, Message("Выключатель Q%d"_cp, 10 + i));
        TW_SetField(l.Contour.Sensor, Message("PS%02d_K%d", 1 + i / 6, 1 + i % 6));
        TW_SetField(l.Contour.Limit, "> 110%");
        TW_SetField(l.Contour.StateName, "Перегрузка"_cp);
        l.Contour.Rele.Used = i % 5 != 3;
        TW_SetField(l.Contour.Rele.Sensor, Message("RL%02d", i));
        TW_SetField(l.Contour.Rele.ONName, "Сработало"_cp);
        TW_SetField(l.Contour.Rele.OFFName, "Не сработало"_cp);
        l.Contour.Prot.Used = i % 7 != 4;
        TW_SetField(l.Contour.Prot.Sensor, Message("QF%02d", i));
        TW_SetField(l.Contour.Prot.ONName, "Отключен"_cp);
        TW_SetField(l.Contour.Prot.OFFName, "Не отключен"_cp);
        l.ReleResult = i % 4 ? 0x10 : 0x11;
        l.ProtResult = i % 6 ? 0x10 : 0x02;
        l.Value = 100 + i * 1.25;
        l.Start.Set(2026, 12, 7, i % 24, (i * 7) % 60, 5);
        l.End.Set(2026, 12, 7, i % 24, (i * 7 + 3) % 60, 41);
        file.AddINT(&l);
    }
    file.CreateData();
    file.DataModule->report.Options = 0;  // a window, so that the screen shows its frame
    int status = 1;
    QTimer::singleShot(2500, [&] {
        const QPixmap shot = QGuiApplication::primaryScreen()->grabWindow(0);
        status = shot.save(QString::fromLocal8Bit(argv[1])) ? 0 : 1;
        if (QWidget* w = QApplication::activeModalWidget()) w->close();
    });
    file.Preview();
    return status;
}
