// Worksheets (internal to host_xls): a sheet's checks, its cells resolved to
// XFs and shared strings, and the parts of its substream around the rows and
// cells (row_writer.h). Faults in the model throw std::invalid_argument.
#pragma once

#include "workbook.h"

#include <cstdint>
#include <string_view>
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

// The cells of `sheet` resolved to XFs and SST entries, sorted by row and
// column, with blank fillers for its merged ranges. Fault (naming the sheet
// `name`) for a cell beyond the sheet, given twice or too long, and for merged
// ranges out of order or overlapping.
std::vector<OutCell> ResolveCells(const Sheet& sheet, std::u16string_view name, Styles& styles,
                                  StringTable& sst);

// The worksheet substream of `sheet` down to its DIMENSIONS record: BOF, page
// setup, columns and the autofilter's buttons. Fault for page breaks or column
// widths out of range and a page header or footer too long.
void PutSheetHead(std::vector<uint8_t>& out, const Sheet& sheet);

// The rest after the rows and cells: views, merged ranges and EOF; `active`
// for the sheet shown first.
void PutSheetTail(std::vector<uint8_t>& out, const Sheet& sheet, bool active);

}  // namespace host::xls::detail
