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
    unsigned Bounds = 0;  // HReportBound set
};

// What produced a row.
enum class HReportRowKind { Header, Item, Footer };

// One row of a page: its vertical place (millimetres from the page's top edge).
struct HReportRow {
    double Top = 0;
    double Height = 0;
    HReportRowKind Kind = HReportRowKind::Item;
    int Source = 0;  // header index for headers and footers, item index for items
    std::vector<HReportCell> Cells;
};

struct HReportPage {
    std::vector<HReportRow> Rows;
};

struct HReportDocument {
    double PageWidth = 210;  // the page as printed (orientation applied), mm
    double PageHeight = 297;
    HReportOrientation Orientation = poPortrait;
    HReportPageCel PageCel;
    std::string Title;  // the print job's name, cp1251
    unsigned Options = 0;
    std::vector<HReportPage> Pages;  // at least one
};
