// Small value types of the report engine's layout: fonts, alignment, borders,
// width kinds, height units, page set-up and option flags. Lengths of the page
// are in millimetres; texts are cp1251.
#pragma once

#include <string>

// How a column's Width is read.
enum HReportWidthKind {
    // Percent of the printable width (page width minus the side margins). The
    // columns of a row of this kind add up to 100, so the row fills the page.
    hrwDefault = 0,
    // The column takes what the row leaves after its other columns; several
    // hrwAuto columns share that rest in proportion to their Width values.
    hrwAuto = 1,
    // A fixed width in typographic points (1/72 inch): 200 is 70.6 mm.
    hrwValue = 2,
};

// How a column's Height is read (a minimum height of the cell's row; 0 = none).
enum HReportHeightUnit {
    hrmMillimetres = 0,
    hrmCharacters = 1,  // lines of the column's font (see LineHeightMm)
};

enum HReportAlignment {
    hraLeft = 0,
    hraCenter = 1,
    hraRight = 2,
};

// Cell edges drawn with a thin line (a set, combine with |).
enum HReportBound : unsigned {
    hrbLeft = 1,
    hrbTop = 2,
    hrbRight = 4,
    hrbBottom = 8,
};

enum HReportOrientation {
    poPortrait = 0,
    poLandscape = 1,
};

// Report options (a set).
enum HReportOption : unsigned {
    hrfPreviewFullscreen = 1,  // the preview window opens full screen
};

// What a cell holds for a spreadsheet, beside the text the pages show: a
// number, or a moment as the platform date-time (days since 1899-12-30), each
// with the spreadsheet's display format ("0.000", "dd.mm.yyyy hh:mm:ss"; empty:
// the spreadsheet's general format). None: the text is the value.
struct HReportValue {
    enum Kind { None = 0, Number = 1, DateTime = 2 };
    Kind kind = None;
    double number = 0;
    std::string format;

    bool operator==(const HReportValue&) const = default;
};

// A cell font. Height is a Windows font height in pixels at 96 dpi: negative
// values give the character height (-11 is 8.25 pt), positive ones are read alike.
struct HReportFont {
    std::string Name = "MS Sans Serif";
    int Height = -11;
    bool Bold = false;

    bool operator==(const HReportFont&) const = default;
};

// The sheet of paper. PageWidth and PageHeight describe the sheet upright (A4:
// 210 x 297 mm); poLandscape turns it, so the printed page is 297 mm wide.
struct HReportPageSize {
    HReportOrientation Orientation = poPortrait;
    double PageWidth = 210;
    double PageHeight = 297;

    double OrientedWidth() const { return Orientation == poLandscape ? PageHeight : PageWidth; }
    double OrientedHeight() const { return Orientation == poLandscape ? PageWidth : PageHeight; }
};

// The printable area: margins in millimetres and a frame drawn around it
// (Bounds, a set of HReportBound; empty = no frame).
struct HReportPageCel {
    unsigned Bounds = 0;
    double MarginLeft = 10;
    double MarginTop = 10;
    double MarginRight = 10;
    double MarginBottom = 10;
};
