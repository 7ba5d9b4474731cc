#include "sheet.h"

#include "records.h"
#include "sst.h"
#include "styles.h"

#include "common/cp1251.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <tuple>

namespace host::xls {

void Sheet::SetText(uint32_t row, uint32_t col, std::u16string text, const CellFormat& format) {
    cells.push_back({row, col, std::move(text), format});
}

void Sheet::SetNumber(uint32_t row, uint32_t col, double value, const CellFormat& format) {
    cells.push_back({row, col, value, format});
}

void Sheet::SetBlank(uint32_t row, uint32_t col, const CellFormat& format) {
    cells.push_back({row, col, std::monostate{}, format});
}

}  // namespace host::xls

namespace host::xls::detail {

namespace {

constexpr std::size_t kMaxTextUnits = 32767;
constexpr std::size_t kMaxMergesPerRecord = 1026;
constexpr std::size_t kMaxPageBreaks = 1026;
constexpr uint16_t kDefaultRowTwips = 255;

std::string Where(std::u16string_view name, uint32_t row, uint32_t col) {
    return "sheet '" + Utf16ToUtf8(std::u16string(name)) + "' row " + std::to_string(row) +
           " column " + std::to_string(col);
}

void CheckCellPosition(std::u16string_view name, uint32_t row, uint32_t col) {
    if (row >= kMaxRows || col >= kMaxColumns)
        Fault(Where(name, row, col) + " lies beyond the sheet's 65536 rows and 256 columns");
}

char16_t FoldCase(char16_t c) {
    if (c >= u'A' && c <= u'Z') return c + 32;
    if (c >= 0x0410 && c <= 0x042F) return c + 32;  // А..Я
    if (c >= 0x0400 && c <= 0x040F) return c + 80;  // Ѐ..Џ, Ё
    return c;
}

// ---------------------------------------------------------------------------
// Cells.

bool Before(const OutCell& a, const OutCell& b) {
    return std::tie(a.row, a.col) < std::tie(b.row, b.col);
}

OutCell Resolve(std::u16string_view name, const Cell& c, Styles& styles, StringTable& sst) {
    CheckCellPosition(name, c.row, c.col);
    OutCell o{
        uint16_t(c.row), uint16_t(c.col), styles.CellXf(c.format), OutCell::kBlankCell, 0, 0.0};
    if (const auto* text = std::get_if<std::u16string>(&c.value)) {
        if (text->size() > kMaxTextUnits)
            Fault(Where(name, c.row, c.col) + ": text longer than 32767 characters");
        o.kind = OutCell::kTextCell;
        o.sst = sst.Add(*text);
    } else if (const auto* number = std::get_if<double>(&c.value)) {
        if (!std::isfinite(*number))
            Fault(Where(name, c.row, c.col) + ": the number is not finite");
        o.kind = OutCell::kNumberCell;
        o.number = *number;
    }
    return o;
}

// The sheet's merged ranges by first row. Fault for a range beyond the sheet,
// one that ends before it begins, and two that overlap.
std::vector<Range> CheckedMerges(const Sheet& sheet, std::u16string_view name) {
    std::vector<Range> merges = sheet.merges;
    std::sort(merges.begin(), merges.end(),
              [](const Range& a, const Range& b) { return a.firstRow < b.firstRow; });
    for (std::size_t i = 0; i < merges.size(); ++i) {
        const Range& m = merges[i];
        CheckCellPosition(name, m.lastRow, m.lastCol);
        if (m.firstRow > m.lastRow || m.firstCol > m.lastCol)
            Fault(Where(name, m.firstRow, m.firstCol) + ": merged range ends before it begins");
        for (std::size_t j = i + 1; j < merges.size() && merges[j].firstRow <= m.lastRow; ++j)
            if (merges[j].firstCol <= m.lastCol && m.firstCol <= merges[j].lastCol)
                Fault(Where(name, merges[j].firstRow, merges[j].firstCol) +
                      ": merged ranges overlap");
    }
    return merges;
}

// Blanks in the top-left cell's format for the cells of each merged range that
// have none (so that the range's borders are drawn); `cells` stay sorted.
void AddMergeFillers(std::vector<OutCell>& cells, const std::vector<Range>& merges) {
    auto find = [&](uint32_t row, uint32_t col) {
        const OutCell probe{uint16_t(row), uint16_t(col), 0, OutCell::kBlankCell, 0, 0.0};
        const auto it = std::lower_bound(cells.begin(), cells.end(), probe, Before);
        return it != cells.end() && it->row == row && it->col == col ? &*it : nullptr;
    };
    std::vector<OutCell> fillers;
    for (const Range& m : merges) {
        const OutCell* corner = find(m.firstRow, m.firstCol);
        if (!corner || corner->xf == kDefaultCellXf) continue;
        for (uint32_t r = m.firstRow; r <= m.lastRow; ++r)
            for (uint32_t c = m.firstCol; c <= m.lastCol; ++c)
                if ((r != m.firstRow || c != m.firstCol) && !find(r, c))
                    fillers.push_back(
                        {uint16_t(r), uint16_t(c), corner->xf, OutCell::kBlankCell, 0, 0.0});
    }
    if (!fillers.empty()) {
        cells.insert(cells.end(), fillers.begin(), fillers.end());
        std::sort(cells.begin(), cells.end(), Before);
    }
}

// ---------------------------------------------------------------------------
// Page setup and columns.

void PutCalcSettings(std::vector<uint8_t>& out) {
    PutU16Record(out, kCalcMode, 1);
    PutU16Record(out, kCalcCount, 100);
    PutU16Record(out, kCalcRefMode, 1);
    PutU16Record(out, kCalcIter, 0);
    PutRecord(out, kCalcDelta, Data().F64(0.001));
    PutU16Record(out, kCalcSaveRecalc, 1);
}

void PutPageBreaks(std::vector<uint8_t>& out, std::vector<uint32_t> breaks) {
    std::sort(breaks.begin(), breaks.end());
    breaks.erase(std::unique(breaks.begin(), breaks.end()), breaks.end());
    std::erase(breaks, 0u);  // a page always begins at row 0
    if (breaks.empty()) return;
    if (breaks.size() > kMaxPageBreaks) Fault("more than 1026 page breaks in a sheet");
    if (breaks.back() >= kMaxRows) Fault("page break beyond row 65535");
    Data d;
    d.U16(uint16_t(breaks.size()));
    for (uint32_t row : breaks)
        d.U16(uint16_t(row)).U16(0).U16(255);
    PutRecord(out, kHorizontalPageBreaks, d);
}

void PutPageSetup(std::vector<uint8_t>& out, const Sheet& sheet) {
    const PageSetup& p = sheet.page;
    PutU16Record(out, kPrintHeaders, 0);
    PutU16Record(out, kPrintGrid, p.printGridlines ? 1 : 0);
    PutU16Record(out, kGridSet, 1);
    PutRecord(out, kGuts, Data().Zeros(8));
    PutRecord(out, kDefaultRowHeight, Data().U16(0).U16(kDefaultRowTwips));
    PutU16Record(out, kWsBool, uint16_t(0x04C1 | (p.fitToWidth ? 0x0100 : 0)));
    PutPageBreaks(out, sheet.pageBreaks);
    for (auto [type, text] : {std::pair{kHeader, &p.header}, std::pair{kFooter, &p.footer}}) {
        if (text->size() > 255) Fault("page header or footer longer than 255 characters");
        Data d;
        if (!text->empty()) PutString16(d, *text);
        PutRecord(out, type, d);
    }
    PutU16Record(out, kHCenter, p.centreHorizontally ? 1 : 0);
    PutU16Record(out, kVCenter, 0);
    PutRecord(out, kLeftMargin, Data().F64(p.leftMargin));
    PutRecord(out, kRightMargin, Data().F64(p.rightMargin));
    PutRecord(out, kTopMargin, Data().F64(p.topMargin));
    PutRecord(out, kBottomMargin, Data().F64(p.bottomMargin));
    // Flags: bit 1 set = portrait; "not initialised" (bit 2) and "no orientation"
    // (bit 6) stay clear so that paper and orientation apply.
    PutRecord(out, kSetup,
              Data()
                  .U16(p.paperSize)
                  .U16(std::clamp<uint16_t>(p.scalePercent, 10, 400))
                  .U16(1)  // first page number
                  .U16(p.fitToWidth)
                  .U16(0)  // fit height: as many pages as needed
                  .U16(p.landscape ? 0x0000 : 0x0002)
                  .U16(300)
                  .U16(300)
                  .F64(p.headerMargin)
                  .F64(p.footerMargin)
                  .U16(1));
}

void PutColumns(std::vector<uint8_t>& out, const Sheet& sheet) {
    PutU16Record(out, kDefColWidth, 8);
    std::vector<Data> records;
    for (auto it = sheet.columnWidths.begin(); it != sheet.columnWidths.end();) {
        const uint32_t first = it->first;
        if (first >= kMaxColumns) Fault("column width given for column " + std::to_string(first));
        uint32_t last = first;
        const uint16_t width = it->second;
        for (++it; it != sheet.columnWidths.end() && it->first == last + 1 && it->second == width;
             ++it)
            ++last;
        records.push_back(Data()
                              .U16(uint16_t(first))
                              .U16(uint16_t(last))
                              .U16(width)
                              .U16(kDefaultCellXf)
                              .U16(0x0002)  // width set by the user
                              .U16(0));
    }
    if (records.size() > 255) Fault("more than 255 distinct column widths");
    for (const Data& d : records)
        PutRecord(out, kColInfo, d);
}

// ---------------------------------------------------------------------------
// Views and merged ranges.

void PutWindow(std::vector<uint8_t>& out, const Sheet& sheet, bool active) {
    // Frozen rows: WINDOW2's fFrozen (0x0008) and fFrozenNoSplit (0x0100), then
    // a PANE whose split is counted in rows; the lower pane (2) is active.
    const bool frozen = sheet.frozenRows > 0;
    PutRecord(out, kWindow2,
              Data()
                  .U16(uint16_t((active ? 0x06B6 : 0x00B6) | (frozen ? 0x0108 : 0)))
                  .U16(0)   // top row
                  .U16(0)   // left column
                  .U16(64)  // automatic gridline colour
                  .U16(0)
                  .U16(0)
                  .U16(0)
                  .U32(0));
    if (frozen)
        PutRecord(out, kPane,
                  Data()
                      .U16(0)                           // no columns frozen
                      .U16(uint16_t(sheet.frozenRows))  // rows in the upper pane
                      .U16(uint16_t(sheet.frozenRows))  // first row of the lower pane
                      .U16(0)                           // first column of the right pane
                      .U8(2)                            // active pane: lower left
                      .U8(0));
}

void PutMerges(std::vector<uint8_t>& out, const std::vector<Range>& merges) {
    for (std::size_t i = 0; i < merges.size(); i += kMaxMergesPerRecord) {
        const std::size_t n = std::min(kMaxMergesPerRecord, merges.size() - i);
        Data d;
        d.U16(uint16_t(n));
        for (std::size_t k = i; k < i + n; ++k) {
            const Range& m = merges[k];
            d.U16(uint16_t(m.firstRow))
                .U16(uint16_t(m.lastRow))
                .U16(uint16_t(m.firstCol))
                .U16(uint16_t(m.lastCol));
        }
        PutRecord(out, kMergedCells, d);
    }
}

}  // namespace

void CheckSheetNames(const std::vector<Sheet>& sheets) {
    std::vector<std::u16string> seen;
    for (const Sheet& s : sheets) {
        const std::string name = "'" + Utf16ToUtf8(s.name) + "'";
        if (s.name.empty() || s.name.size() > 31)
            Fault("sheet name " + name + " must have 1 to 31 characters");
        if (s.name.find_first_of(u"[]:\\?/*") != std::u16string::npos)
            Fault("sheet name " + name + " contains one of []:\\?/*");
        if (s.name.front() == u'\'' || s.name.back() == u'\'')
            Fault("sheet name " + name + " begins or ends with an apostrophe");
        std::u16string folded = s.name;
        std::transform(folded.begin(), folded.end(), folded.begin(), FoldCase);
        if (std::find(seen.begin(), seen.end(), folded) != seen.end())
            Fault("sheet name " + name + " is used twice");
        seen.push_back(std::move(folded));
    }
}

void CheckViews(const Sheet& sheet) {
    const std::u16string_view name = sheet.name;
    if (sheet.frozenRows >= kMaxRows)
        Fault("sheet '" + Utf16ToUtf8(sheet.name) + "': frozen rows beyond row 65535");
    if (const auto& f = sheet.autoFilter) {
        CheckCellPosition(name, f->lastRow, f->lastCol);
        if (f->firstRow > f->lastRow || f->firstCol > f->lastCol)
            Fault(Where(name, f->firstRow, f->firstCol) + ": filter range ends before it begins");
    }
    if (const auto& rows = sheet.page.repeatRows)
        if (rows->first > rows->second || rows->second >= kMaxRows)
            Fault("rows to repeat on every page are out of range");
}

std::vector<OutCell> ResolveCells(const Sheet& sheet, std::u16string_view name, Styles& styles,
                                  StringTable& sst) {
    std::vector<OutCell> cells;
    cells.reserve(sheet.cells.size());
    for (const Cell& c : sheet.cells)
        cells.push_back(Resolve(name, c, styles, sst));
    std::stable_sort(cells.begin(), cells.end(), Before);
    for (std::size_t i = 1; i < cells.size(); ++i)
        if (cells[i].row == cells[i - 1].row && cells[i].col == cells[i - 1].col)
            Fault(Where(name, cells[i].row, cells[i].col) + " is given twice");
    AddMergeFillers(cells, CheckedMerges(sheet, name));
    return cells;
}

void PutSheetHead(std::vector<uint8_t>& out, const Sheet& sheet) {
    PutBof(out, kWorksheetSubstream);
    PutCalcSettings(out);
    PutPageSetup(out, sheet);
    PutColumns(out, sheet);
    if (sheet.autoFilter) {
        // The number of filter buttons: one per column of the range.
        const Range& f = *sheet.autoFilter;
        PutU16Record(out, kAutoFilterInfo, uint16_t(f.lastCol - f.firstCol + 1));
    }
}

void PutSheetTail(std::vector<uint8_t>& out, const Sheet& sheet, bool active) {
    PutWindow(out, sheet, active);
    PutMerges(out, sheet.merges);
    PutRecord(out, kEof, Data());
}

}  // namespace host::xls::detail
