// The Qt page presenter of the report engine: print preview, printing and PDF.
// Loading this library registers it with the engine (see
// report/report_presenter.h); programs may also call InstallReportPresenter.
//
// Without a display, Preview writes the pages to
//     <start folder>Reports/preview-YYYYMMDD-HHMMSS.pdf
// (the system's temporary folder when that folder cannot be created; "-1",
// "-2", ... are added when the name is taken) and logs the path; Print sends
// the pages to the default printer without a dialog, or, when there is none,
// writes them to a PDF file in the same way. Nothing waits for a dialog that
// nobody can see.
#pragma once

#include <string>

#include "report/report_pages.h"

namespace host::ui {

// Registers the Qt presenter with the report engine.
void InstallReportPresenter();

// Writes the pages as a PDF file (cp1251 path) with the engine's PDF writer
// (report/report_pdf.h); when its fonts cannot be read, logs why and paints the
// pages with Qt (PaintPdf). False (last error set) when the file cannot be
// written.
bool WriteReportPdf(const HReportDocument& doc, const char* path);

// Paints the pages into a PDF file with Qt's PDF writer. False (last error set)
// when the file cannot be written.
bool PaintPdf(const HReportDocument& doc, const char* path);

// The file name a preview without a display is written to (cp1251); empty
// (last error set) when no folder can take it.
std::string HeadlessPreviewPath();

}  // namespace host::ui
