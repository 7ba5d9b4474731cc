#include "report/report_presenter.h"

#include <dlfcn.h>

#include <string>

#include "common/cp1251.h"
#include "common/lasterror.h"
#include "common/paths.h"
#include "report/report_layout.h"
#include "report/report_pdf.h"

using namespace host::literals;

namespace host::report {

namespace {
PagePresenter* g_presenter = nullptr;
}  // namespace

PagePresenter* SetPagePresenter(PagePresenter* presenter) {
    PagePresenter* previous = g_presenter;
    g_presenter = presenter;
    return previous;
}

PagePresenter* GetPagePresenter() {
    if (g_presenter) return g_presenter;
    // The library registers its presenter while it is loaded; it stays loaded.
    const std::string path =
        LibraryFolder(reinterpret_cast<const void*>(&GetPagePresenter)) + "libhost_ui.so";
    if (!dlopen(path.c_str(), RTLD_NOW | RTLD_GLOBAL) && !dlopen("libhost_ui.so", RTLD_NOW)) {
        const char* why = dlerror();
        SetError("%s: %s", "Просмотр и печать недоступны"_cp,
                 Utf8ToCp1251Lossy(why ? why : "libhost_ui.so").c_str());
        return nullptr;
    }
    if (!g_presenter) SetError("%s", "Просмотр и печать недоступны"_cp);
    return g_presenter;
}

}  // namespace host::report

bool HCustomReport::Preview() {
    host::report::PagePresenter* p = host::report::GetPagePresenter();
    return p && p->Preview(Layout());
}

bool HCustomReport::Print() {
    host::report::PagePresenter* p = host::report::GetPagePresenter();
    return p && p->Print(Layout());
}

bool HCustomReport::ExportPdf(const char* fileName) {
    const HReportDocument doc = Layout();
    switch (host::report::WritePdf(doc, fileName)) {
        case host::report::PdfOutcome::Written:
            return true;
        case host::report::PdfOutcome::Failed:
            return false;
        case host::report::PdfOutcome::FontsMissing:
            break;
    }
    // Without the fonts the Qt presenter paints the pages (and logs why).
    host::report::PagePresenter* p = host::report::GetPagePresenter();
    return p && p->WritePdf(doc, fileName);
}
