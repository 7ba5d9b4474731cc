#include "row_writer.h"

#include "records.h"

#include <algorithm>
#include <string>

namespace host::xls::detail {

namespace {

constexpr uint16_t kDefaultRowTwips = 255;
constexpr uint32_t kRowsPerBlock = 32;

// Rows that need a ROW record, in order: those with cells or a height of their
// own. Fault for a row height beyond the sheet or above 8192 twips.
std::vector<uint32_t> RowsWithRecords(const std::map<uint32_t, uint16_t>& heights,
                                      const std::vector<OutCell>& cells) {
    std::vector<uint32_t> rows;
    for (const OutCell& c : cells)
        if (rows.empty() || rows.back() != c.row) rows.push_back(c.row);
    for (const auto& [row, height] : heights) {
        if (row >= kMaxRows) Fault("row height given for row " + std::to_string(row));
        if (height > 8192) Fault("row height above 8192 twips for row " + std::to_string(row));
        rows.push_back(row);
    }
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}

void PutCell(std::vector<uint8_t>& out, const OutCell& cell) {
    Data d;
    d.U16(cell.row).U16(cell.col).U16(cell.xf);
    switch (cell.kind) {
        case OutCell::kTextCell:
            PutRecord(out, kLabelSst, d.U32(cell.sst));
            break;
        case OutCell::kNumberCell:
            PutRecord(out, kNumber, d.F64(cell.number));
            break;
        case OutCell::kBlankCell:
            PutRecord(out, kBlank, d);
            break;
    }
}

}  // namespace

void RowWriter::Put(const std::map<uint32_t, uint16_t>& heights,
                    const std::vector<OutCell>& cells) {
    const std::vector<uint32_t> rows = RowsWithRecords(heights, cells);
    if (rows.empty()) return;
    if (rows.front() < nextRow_)
        Fault("row " + std::to_string(rows.front()) + " given after the rows below it");
    auto cell = cells.begin();
    for (const uint32_t row : rows) {
        if (row / kRowsPerBlock != block_) Flush();
        block_ = row / kRowsPerBlock;
        const auto first = cell;
        while (cell != cells.end() && cell->row == row)
            ++cell;
        PutRow(row, heights, first, cell);
    }
    nextRow_ = rows.back() + 1;
}

// The ROW record of `row`, whose cells are [first, end), and the cells.
void RowWriter::PutRow(uint32_t row, const std::map<uint32_t, uint16_t>& heights, CellIt first,
                       CellIt end) {
    const auto h = heights.find(row);
    const bool custom = h != heights.end();
    Data d;
    d.U16(uint16_t(row));
    if (first == end)
        d.U16(0).U16(0);
    else
        d.U16(first->col).U16(uint16_t((end - 1)->col + 1));
    d.U16(custom ? h->second : kDefaultRowTwips)
        .U16(0)
        .U16(0)
        .U32(custom ? 0x000F0140 : 0x000F0100);
    PutRecord(rows_, kRow, d);
    for (CellIt c = first; c != end; ++c) {
        if (!anyCell_) firstRow_ = c->row;
        anyCell_ = true;
        lastRow_ = c->row;
        firstCol_ = std::min(firstCol_, c->col);
        lastCol_ = std::max(lastCol_, c->col);
        PutCell(cells_, *c);
    }
}

void RowWriter::Flush() {
    out_.Append(rows_);
    out_.Append(cells_);
    rows_.clear();
    cells_.clear();
}

void RowWriter::Finish() {
    Flush();
}

void RowWriter::PutDimensions(std::vector<uint8_t>& out) const {
    Data dim;
    if (!anyCell_)
        dim.Zeros(14);
    else
        dim.U32(firstRow_)
            .U32(uint32_t(lastRow_) + 1)
            .U16(firstCol_)
            .U16(uint16_t(lastCol_ + 1))
            .U16(0);
    PutRecord(out, kDimensions, dim);
}

}  // namespace host::xls::detail
