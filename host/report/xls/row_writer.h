// A worksheet's rows and cells (internal to host_xls), written as they arrive
// in blocks of 32 rows: the blocks's ROW records, then its cells. Only the
// block being filled is held; the rest goes to the SpillBuffer, which the
// writer refers to and must outlive it. Faults throw std::invalid_argument.
#pragma once

#include "sheet.h"
#include "spill_buffer.h"

#include <cstdint>
#include <map>
#include <vector>

namespace host::xls::detail {

class RowWriter {
  public:
    explicit RowWriter(SpillBuffer& out) : out_(out) {}

    // Rows with `cells` (resolved, sorted by row and column) or a height of
    // their own, all below the rows put before. Fault for a row put before and
    // for a height beyond the sheet or above 8192 twips.
    void Put(const std::map<uint32_t, uint16_t>& heights, const std::vector<OutCell>& cells);

    // Writes the last block.
    void Finish();

    // The DIMENSIONS record of the cells put.
    void PutDimensions(std::vector<uint8_t>& out) const;

  private:
    using CellIt = std::vector<OutCell>::const_iterator;

    void PutRow(uint32_t row, const std::map<uint32_t, uint16_t>& heights, CellIt first,
                CellIt end);
    void Flush();

    SpillBuffer& out_;
    std::vector<uint8_t> rows_, cells_;  // the block being filled
    uint32_t block_ = 0;
    uint32_t nextRow_ = 0;  // the first row that may still be put
    bool anyCell_ = false;
    uint16_t firstRow_ = 0, lastRow_ = 0, firstCol_ = 255, lastCol_ = 0;
};

}  // namespace host::xls::detail
