#include "ui/report_preview.h"

#include <QApplication>
#include <QDir>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPrinterInfo>

#include <ctime>

#include "common/cp1251.h"
#include "common/lasterror.h"
#include "common/osfile.h"
#include "common/paths.h"
#include "common/prtime.h"
#include "report/report_pdf.h"
#include "report/report_presenter.h"
#include "runtime/rtlog.h"
#include "ui/qt_app.h"
#include "ui/qt_text.h"
#include "ui/report_painter.h"

using namespace host::literals;

namespace host::ui {

namespace {

QPageLayout PageLayoutOf(const HReportDocument& doc) {
    const bool landscape = doc.Orientation == poLandscape;
    const QSizeF upright =
        landscape ? QSizeF(doc.PageHeight, doc.PageWidth) : QSizeF(doc.PageWidth, doc.PageHeight);
    return QPageLayout(QPageSize(upright, QPageSize::Millimeter),
                       landscape ? QPageLayout::Landscape : QPageLayout::Portrait,
                       QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter);
}

// Paints every page on a device whose painter origin is the paper's corner.
void PaintAll(QPainter& painter, QPagedPaintDevice& device, const HReportDocument& doc,
              double dpi) {
    for (std::size_t i = 0; i < doc.Pages.size(); ++i) {
        if (i > 0) device.newPage();
        PaintReportPage(painter, doc, i, dpi / 25.4);
    }
}

void SetupPrinter(QPrinter& printer, const HReportDocument& doc) {
    printer.setFullPage(true);
    printer.setPageLayout(PageLayoutOf(doc));
    printer.setDocName(FromCp1251(doc.Title));
}

bool PrintOn(QPrinter& printer, const HReportDocument& doc) {
    QPainter painter;
    if (!painter.begin(&printer)) {
        SetError("%s", "Не удалось начать печать"_cp);
        return false;
    }
    PaintAll(painter, printer, doc, printer.resolution());
    return painter.end();
}

// Headless fallback of Preview and Print.
bool WriteHeadless(const HReportDocument& doc, const char* what) {
    const std::string path = HeadlessPreviewPath();
    if (path.empty() || !WriteReportPdf(doc, path.c_str())) return false;
    RTLog("%s: %s", what, path.c_str());
    return true;
}

class QtPagePresenter final : public host::report::PagePresenter {
  public:
    bool Preview(const HReportDocument& doc) override {
        if (!EnsureGuiApplication()) return false;
        if (!HasDisplay() || !HasWidgets())
            return WriteHeadless(doc, "Предварительный просмотр записан в файл"_cp);
        QPrinter printer(QPrinter::HighResolution);
        SetupPrinter(printer, doc);
        QPrintPreviewDialog dialog(&printer);
        dialog.setWindowTitle(FromCp1251(doc.Title));
        QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested, [&doc](QPrinter* p) {
            QPainter painter(p);
            PaintAll(painter, *p, doc, p->resolution());
        });
        if (doc.Options & hrfPreviewFullscreen)
            dialog.setWindowState(dialog.windowState() | Qt::WindowFullScreen);
        dialog.exec();
        return true;
    }

    bool Print(const HReportDocument& doc) override {
        if (!EnsureGuiApplication()) return false;
        if (!HasDisplay() || !HasWidgets()) {
            if (QPrinterInfo::defaultPrinter().isNull())
                return WriteHeadless(doc, "Принтер недоступен, страницы записаны в файл"_cp);
            QPrinter printer(QPrinter::HighResolution);
            SetupPrinter(printer, doc);
            return PrintOn(printer, doc);
        }
        QPrinter printer(QPrinter::HighResolution);
        SetupPrinter(printer, doc);
        QPrintDialog dialog(&printer);
        dialog.setMinMax(1, int(doc.Pages.size()));
        if (dialog.exec() != QDialog::Accepted) return true;
        return PrintOn(printer, doc);
    }

    bool WritePdf(const HReportDocument& doc, const char* path) override {
        return WriteReportPdf(doc, path);
    }
};

QtPagePresenter g_presenter;

// Registers the presenter when the library is loaded and removes it when the
// library goes away.
struct Registration {
    Registration() { host::report::SetPagePresenter(&g_presenter); }
    ~Registration() {
        host::report::PagePresenter* current = host::report::SetPagePresenter(nullptr);
        if (current != &g_presenter) host::report::SetPagePresenter(current);
    }
} g_registration;

}  // namespace

void InstallReportPresenter() {
    host::report::SetPagePresenter(&g_presenter);
}

bool WriteReportPdf(const HReportDocument& doc, const char* path) {
    switch (host::report::WritePdf(doc, path)) {
        case host::report::PdfOutcome::Written:
            return true;
        case host::report::PdfOutcome::Failed:
            return false;
        case host::report::PdfOutcome::FontsMissing:
            RTLog("%s; %s", GetIOErrorS_GUI(-2), "страницы рисует Qt"_cp);
            break;
    }
    return PaintPdf(doc, path);
}

bool PaintPdf(const HReportDocument& doc, const char* path) {
    if (!EnsureGuiApplication()) return false;
    QPdfWriter writer(QString::fromUtf8(host::OsPath(path)));
    constexpr int kDpi = 600;
    writer.setResolution(kDpi);
    writer.setPageLayout(PageLayoutOf(doc));
    writer.setTitle(FromCp1251(doc.Title));
    writer.setCreator(QStringLiteral("Tripwatch"));
    QPainter painter;
    if (!painter.begin(&writer)) {
        SetError("%s: %s", "Не удалось записать файл"_cp, path);
        return false;
    }
    PaintAll(painter, writer, doc, kDpi);
    if (!painter.end()) {
        SetError("%s: %s", "Не удалось записать файл"_cp, path);
        return false;
    }
    return true;
}

std::string HeadlessPreviewPath() {
    const std::string stamp = PRTime::Now().GetStr(nullptr, 0, "%Y%m%d-%H%M%S");
    std::string folder = std::string(GetStartupDir()) + "Reports/";
    if (!host::MakeDirectories(folder.c_str())) {
        folder = ToCp1251(QDir::tempPath());
        if (folder.empty() || folder.back() != '/') folder += '/';
    }
    for (int n = 0; n < 1000; ++n) {
        std::string path = folder + "preview-" + stamp;
        if (n > 0) path += "-" + std::to_string(n);
        path += ".pdf";
        if (!host::FileExists(path.c_str())) return path;
    }
    SetError("%s: %s", "Нет свободного имени файла"_cp, folder.c_str());
    return {};
}

}  // namespace host::ui
