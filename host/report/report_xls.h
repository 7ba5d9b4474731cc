// The spreadsheet form of a report: a table people can sort, filter and sum,
// whose printed form keeps the report's headers and page numbers. It is made
// from the continuous layout (HCustomReport::LayoutContinuous).
//
// Sheet "Отчет", from the top:
//   - the template's first sheet, its markers filled in, row for row;
//   - the report's title rows: its header rows that are not caption rows, each
//     cell placed on the table columns nearest its edges and merged across them;
//   - one header row: for each of the first band's item columns the texts of
//     the caption rows above it, "Датчик: значение, начало" (the top caption,
//     then the lower ones). A header row is a caption row when it has two or
//     more cells and every cell's edges are edges of the item columns;
//   - the items, one sheet row each and one sheet column per item column,
//     without page headers, page footers or page breaks between them. A cell
//     with a value (HReportValue) is a number cell with its display format
//     (moments as date-time cells), any other cell holds its text.
// The rows down to the header row stay in view (frozen) and are printed at the
// top of every page (Print_Titles); the header row and the items below it carry
// an autofilter; the footers that print on every page become the sheet's page
// footer (a cell's alignment picks the left, centre or right part; the page
// number and count stand-ins become the footer's page codes); the print is one
// page wide. Column widths fit the header and item texts, up to
// kMaxColumnChars characters (longer texts wrap).
//
// Past the sheet's 65536 rows the items go on in sheets "Отчет (2)",
// "Отчет (3)", ..., each beginning with the header row, frozen, filtered and
// printed alike.
#pragma once

#include "report/report_pages.h"
#include "report/xls/template_reader.h"
#include "report/xls/workbook.h"
#include "report/xls/workbook_writer.h"

#include <functional>

namespace host::report {

// The workbook of `doc` (a continuous layout); `templ` (may be null) goes above
// the report, its markers replaced through `resolve`. Does not fail.
host::xls::Workbook MakeWorkbook(const HReportDocument& doc, const host::xls::TemplateSheet* templ,
                                 const host::xls::NameResolver& resolve);

// A continuous layout of the report (HCustomReport::LayoutContinuous) that
// hands each item row to its argument, in order, instead of keeping it.
using ContinuousLayout =
    std::function<HReportDocument(const std::function<void(HReportRow&&)>& onItem)>;

// The workbook MakeWorkbook makes, written into `writer` (which has no sheet
// yet) row by row, so that no more than one item is held. `layout` is called
// twice, as the column widths need every item before the first is written; it
// must lay out the same items both times. Throws what the writer throws.
void WriteWorkbook(const ContinuousLayout& layout, const host::xls::TemplateSheet* templ,
                   const host::xls::NameResolver& resolve, host::xls::WorkbookWriter& writer);

// The widest column the texts may ask for, in characters of the engine's
// default font (HReportFont{}, the workbook's first font, whose character is
// the sheet's width unit).
inline constexpr int kMaxColumnChars = 60;

}  // namespace host::report
