#include "ui/qt_app.h"

#include <QApplication>
#include <QGuiApplication>

#include <cstdlib>
#include <cstring>

#include "common/cp1251.h"
#include "common/lasterror.h"

using namespace host::literals;

namespace host::ui {

namespace {
bool HeadlessPlatformName(const char* name) {
    return name &&
           (std::strncmp(name, "offscreen", 9) == 0 || std::strncmp(name, "minimal", 7) == 0);
}
}  // namespace

bool HasDisplay() {
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return !HeadlessPlatformName(QGuiApplication::platformName().toUtf8().constData());
    if (HeadlessPlatformName(std::getenv("QT_QPA_PLATFORM"))) return false;
    const char* x = std::getenv("DISPLAY");
    const char* w = std::getenv("WAYLAND_DISPLAY");
    return (x && *x) || (w && *w);
}

bool EnsureGuiApplication() {
    QCoreApplication* app = QCoreApplication::instance();
    if (app) {
        if (qobject_cast<QGuiApplication*>(app)) return true;
        SetError("%s", "Программа не может рисовать страницы отчета"_cp);
        return false;
    }
    if (!HasDisplay()) qputenv("QT_QPA_PLATFORM", QByteArrayLiteral("offscreen"));
    static int argc = 1;
    static char name[] = "tripwatch";
    static char* argv[] = {name, nullptr};
    new QApplication(argc, argv);  // lives until the process ends
    return true;
}

bool HasWidgets() {
    return qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr;
}

}  // namespace host::ui
