// The spreadsheet form of a laid-out report. The sheet's columns are the grid
// made of every column boundary of every row; each cell is merged across the
// grid columns it spans. Rows follow the pages: each page's header rows, items
// and footers, with a page break after each page's footer. A template's first
// sheet, with its named-value markers filled in, is placed above the report.
#pragma once

#include "report/report_pages.h"
#include "report/xls_template.h"
#include "report/xls_writer.h"

namespace host::report {

// The workbook of `doc`; `templ` (may be null) goes above the report, its
// markers replaced through `resolve`. Does not fail; the workbook's own limits
// (65536 rows) are checked when it is written.
host::xls::Workbook MakeWorkbook(const HReportDocument& doc, const host::xls::TemplateSheet* templ,
                                 const host::xls::NameResolver& resolve);

// Width of one spreadsheet character unit (the "0" of the default font) in mm,
// used to turn the grid's millimetres into column widths.
inline constexpr double kXlsCharWidthMm = 1.9;

}  // namespace host::report
