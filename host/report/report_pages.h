// A laid-out report: pages of rows of positioned cells, every text already
// pulled. It is what the painters (preview, printer, PDF) and the spreadsheet
// export consume; it owns copies of everything it needs and does not refer back
// to the layout.
#pragma once

#include <string>
#include <vector>

#include "report/report_types.h"

// One cell: its horizontal place in the row (millimetres from the page's left
// edge), its text and its look.
struct HReportCell {
    double Left = 0;
    double Width = 0;
    std::string Text;  // cp1251; "\n" breaks lines
    HReportFont Font;
    HReportAlignment Alignment = hraLeft;
    bool WordWrap = false;
    unsigned Bounds = 0;   // HReportBound set
    HReportValue Value;    // how a spreadsheet holds it; None: as text
    double MinHeight = 0;  // the column's minimum height (mm), without the padding
};

// What produced a row.
enum class HReportRowKind { Header, Item, Footer };

// One row of a page: its vertical place (millimetres from the page's top edge).
struct HReportRow {
    double Top = 0;
    double Height = 0;
    HReportRowKind Kind = HReportRowKind::Item;
    int Source = 0;         // header index for headers and footers, item index for items
    bool EveryPage = true;  // headers and footers: on every page of the band, not the first only
    std::vector<HReportCell> Cells;
};

struct HReportPage {
    std::vector<HReportRow> Rows;
};

// Horizontal place of one of the first band's item columns (mm from the page's
// left edge).
struct HReportColumnPlace {
    double Left = 0;
    double Width = 0;
};

// While a continuous layout (HCustomReport::LayoutContinuous) fills its
// footers, the engine reports the page kPageNumberStandIn (GetCurrentPage() + 1)
// of kPageCountStandIn pages, so that a spreadsheet can put its own page codes
// where a footer shows them.
inline constexpr int kPageNumberStandIn = 918273645;
inline constexpr int kPageCountStandIn = 546372819;

struct HReportDocument {
    double PageWidth = 210;  // the page as printed (orientation applied), mm
    double PageHeight = 297;
    HReportOrientation Orientation = poPortrait;
    HReportPageCel PageCel;
    std::string Title;  // the print job's name, cp1251
    unsigned Options = 0;
    std::vector<HReportPage> Pages;  // at least one
    // The first band's item columns, also when it has no items; empty without a band.
    std::vector<HReportColumnPlace> ItemColumns;
};
