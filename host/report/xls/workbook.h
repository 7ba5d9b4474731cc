// Excel 97-2003 workbook writer (BIFF8 records in a compound file), without any
// spreadsheet toolkit. The caller fills a small model — fonts, sheets with cells,
// merged ranges, column widths, row heights, page breaks and page setup — and
// BuildWorkbook turns it into the "Workbook" stream; SaveWorkbook writes the .xls
// file.
//
// Units:
//   - font heights in twips (1/20 point); FontHeightFromPixels converts a
//     Windows-style pixel height (-11 => 165 twips = 8.25 pt at 96 dpi);
//   - column widths in 1/256 of the width of "0" in the workbook's first font
//     (fonts[0]); 40 characters => 10240;
//   - row heights in twips;
//   - page margins in inches (millimetres / 25.4).
//
// Text is UTF-16. Each cell text may hold at most 32767 UTF-16 units; FreeXL
// (our template reader) reads strings up to 4111 non-Latin-1 units reliably.
//
// The model is validated while it is written: a fault (a cell beyond row 65535
// or column 255, two values for one cell, overlapping merged ranges, a bad sheet
// name, an unknown font, a text too long, a range out of order) throws std::invalid_argument from
// BuildWorkbook and makes SaveWorkbook return false with the message.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace host::xls {

// Largest sheet in BIFF8.
inline constexpr uint32_t kMaxRows = 65536;
inline constexpr uint32_t kMaxColumns = 256;

struct Font {
    std::u16string name = u"Arial";
    uint16_t heightTwips = 200;  // 10 pt
    bool bold = false;
    bool italic = false;
    uint8_t charset = 204;  // Cyrillic; a font-mapping hint only, text is always Unicode

    bool operator==(const Font&) const = default;
};

// Twips of a Windows font height given in pixels at 96 dpi (negative: the
// character height, as VCL's TFont::Height; positive values are treated alike).
constexpr uint16_t FontHeightFromPixels(int pixels) {
    return static_cast<uint16_t>((pixels < 0 ? -pixels : pixels) * 15);
}

enum class HAlign : uint8_t { General = 0, Left = 1, Centre = 2, Right = 3 };
enum class VAlign : uint8_t { Top = 0, Centre = 1, Bottom = 2 };

// Thin black borders; combine with |.
enum Border : uint8_t {
    kBorderNone = 0,
    kBorderLeft = 1,
    kBorderTop = 2,
    kBorderRight = 4,
    kBorderBottom = 8,
    kBorderAll = 15,
};

struct CellFormat {
    int font = -1;  // index into Workbook::fonts; -1 = the workbook default (fonts[0] or Arial 10)
    HAlign hAlign = HAlign::General;
    VAlign vAlign = VAlign::Bottom;
    bool wrap = false;
    uint8_t borders = kBorderNone;  // Border bits
    // Excel number format, e.g. u"0.00" or u"dd.mm.yyyy hh:mm"; empty = General.
    std::u16string numberFormat;

    bool operator==(const CellFormat&) const = default;
};

struct Cell {
    uint32_t row = 0;
    uint32_t col = 0;
    // Empty (a formatted blank), text, or number (dates: days since 1899-12-30).
    std::variant<std::monostate, std::u16string, double> value;
    CellFormat format;
};

// Inclusive cell range.
struct Range {
    uint32_t firstRow = 0, lastRow = 0;
    uint32_t firstCol = 0, lastCol = 0;
};

struct PageSetup {
    uint16_t paperSize = 9;  // 9 = A4, 1 = Letter, 8 = A3, 11 = A5
    bool landscape = true;
    double leftMargin = 0.75, rightMargin = 0.75, topMargin = 1.0, bottomMargin = 1.0;
    double headerMargin = 0.5, footerMargin = 0.5;
    // Excel header/footer codes: &L &C &R sections, &P page, &N pages, && an
    // ampersand. At most 255 UTF-16 units each; empty = none.
    std::u16string header, footer;
    uint16_t scalePercent = 100;  // 10..400, used unless fitToWidth is set
    uint16_t fitToWidth = 0;      // > 0: fit the sheet to this many pages across
    bool printGridlines = false;
    bool centreHorizontally = false;
    // Rows repeated at the top of every printed page (inclusive, 0-based).
    std::optional<std::pair<uint32_t, uint32_t>> repeatRows;
};

struct Sheet {
    std::u16string name = u"Sheet1";  // 1..31 units, none of []:\?/*, unique ignoring case
    std::vector<Cell> cells;          // any order; at most one value per position
    std::vector<Range> merges;        // must not overlap
    std::map<uint32_t, uint16_t> columnWidths;  // column -> width in 1/256 character
    std::map<uint32_t, uint16_t> rowHeights;    // row -> height in twips (<= 8192)
    std::vector<uint32_t> pageBreaks;           // rows that begin a new printed page (<= 1026)
    PageSetup page;
    // Rows 0 .. frozenRows - 1 stay in view while the rest scrolls; 0 = none.
    uint32_t frozenRows = 0;
    // The table an autofilter works on: its first row holds the filter buttons
    // (one per column of the range), the rows below it are filtered.
    std::optional<Range> autoFilter;

    void SetText(uint32_t row, uint32_t col, std::u16string text, const CellFormat& format = {});
    void SetNumber(uint32_t row, uint32_t col, double value, const CellFormat& format = {});
    void SetBlank(uint32_t row, uint32_t col, const CellFormat& format);
    // Merges the range; its other cells get blanks with the top-left cell's format
    // (so that the range's borders are drawn) unless they were given.
    void Merge(uint32_t firstRow, uint32_t firstCol, uint32_t lastRow, uint32_t lastCol) {
        merges.push_back({firstRow, lastRow, firstCol, lastCol});
    }
};

struct Workbook {
    std::vector<Font> fonts;    // fonts[0], when present, is the workbook default
    std::vector<Sheet> sheets;  // at least one; the first is the active sheet
    std::u16string author = u"Tripwatch";
};

// The BIFF8 "Workbook" stream. Throws std::invalid_argument for a faulty model.
std::vector<uint8_t> BuildWorkbook(const Workbook& book);

// Builds the workbook and writes it as an .xls file, atomically. False (and a
// message in *error) when the model is faulty or the file cannot be written.
bool SaveWorkbook(const Workbook& book, const std::string& utf8Path, std::string* error);

}  // namespace host::xls
