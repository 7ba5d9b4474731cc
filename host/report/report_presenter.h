// The page presenter: whoever can paint laid-out pages on screen, on a printer
// or into PDF. The engine itself is toolkit-free; the Qt user-interface library
// (host_ui) registers a presenter when it is loaded. When none is registered by
// the time a report is previewed, printed or written as PDF, the engine loads
// libhost_ui.so from its own folder, which registers itself.
#pragma once

#include "report/report_pages.h"

namespace host::report {

class PagePresenter {
  public:
    virtual ~PagePresenter() = default;
    // Shows the pages in a preview window and returns when it is closed; without
    // a display, writes them to a PDF file and logs where. False: last error set.
    virtual bool Preview(const HReportDocument& doc) = 0;
    // Prints the pages (the print dialog first, when there is a display). False:
    // last error set; a cancelled dialog is not a failure.
    virtual bool Print(const HReportDocument& doc) = 0;
    // Writes the pages as a PDF file (cp1251 path). False: last error set.
    virtual bool WritePdf(const HReportDocument& doc, const char* path) = 0;
};

// Installs `presenter` (not owned; null removes it) and returns the previous one.
PagePresenter* SetPagePresenter(PagePresenter* presenter);
// The presenter, loading host_ui when none is installed; null (last error set)
// when there is none to be had.
PagePresenter* GetPagePresenter();

}  // namespace host::report
