// Worksheets (internal to host_xls): a sheet's checks, its cells resolved to
// XFs and shared strings, and its substream (page setup, columns, rows and
// cells, views, merged ranges). Faults in the model throw std::invalid_argument.
#pragma once

#include "workbook.h"

#include <cstdint>
#include <vector>

namespace host::xls::detail {

class Styles;
class StringTable;

// A cell as it is written: position, XF and value.
struct OutCell {
    uint16_t row, col, xf;
    enum Kind : uint8_t { kBlankCell, kTextCell, kNumberCell } kind;
    uint32_t sst;
    double number;
};

// Fault for a sheet name that is empty, too long, holds one of []:\?/*, begins
// or ends with an apostrophe, or repeats another one ignoring case.
void CheckSheetNames(const std::vector<Sheet>& sheets);

// Fault for frozen rows, a filter range or repeated rows outside the sheet.
void CheckViews(const Sheet& sheet);

// The sheet's cells resolved to XFs and SST entries, sorted by row and column,
// with blank fillers for the merged ranges. Fault for a cell beyond the sheet,
// given twice or too long, and for merged ranges out of order or overlapping.
std::vector<OutCell> ResolveCells(const Sheet& sheet, Styles& styles, StringTable& sst);

// The worksheet substream of `sheet` with its resolved `cells`; `active` for
// the sheet shown first. Fault for page breaks, column widths or row heights
// out of range and a page header or footer too long.
std::vector<uint8_t> BuildSheet(const Sheet& sheet, bool active, const std::vector<OutCell>& cells);

}  // namespace host::xls::detail
