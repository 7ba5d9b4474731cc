// The engine's own PDF writer: laid-out pages written as PDF without a GUI
// toolkit, much faster than painting them through Qt. Texts use the DejaVu
// Sans fonts (regular and bold, embedded as subsets), so Cyrillic is drawn and
// extractable; every line is placed, aligned and squeezed to its box by the
// engine's text model (report_text.h) as the Qt painter does; the cell borders
// of a page are one path.
#pragma once

#include <string>

#include "report/report_pages.h"

namespace host::report {

enum class PdfOutcome {
    Written,
    Failed,        // the file could not be written (last error set; no file is left)
    FontsMissing,  // the fonts cannot be read (last error set); nothing was written
};

// Writes `doc` as a PDF file (cp1251 path).
PdfOutcome WritePdf(const HReportDocument& doc, const char* path);

// The folder of DejaVuSans.ttf and DejaVuSans-Bold.ttf, with a final '/'
// (default /usr/share/fonts/truetype/dejavu/). Set it for fonts elsewhere.
void SetPdfFontFolder(std::string folder);
std::string PdfFontFolder();

}  // namespace host::report
