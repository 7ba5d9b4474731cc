// Reads back one sheet of a workbook with FreeXL (an independent reader): every
// non-empty cell as UTF-8 text, by (row, column), with the cell type FreeXL
// sees (text, number, date-time).
#pragma once

#include <freexl.h>

#include <cstdio>
#include <map>
#include <string>
#include <utility>

namespace twtest {

struct XlsCells {
    bool ok = false;
    unsigned sheets = 0;
    std::string name;  // UTF-8
    unsigned rows = 0;
    unsigned short cols = 0;
    // Texts as they are; numbers with "%g"; dates and times as FreeXL gives
    // them ("2026-03-01 10:01:05").
    std::map<std::pair<unsigned, unsigned>, std::string> text;
    std::map<std::pair<unsigned, unsigned>, unsigned char> type;  // FREEXL_CELL_*

    std::string At(unsigned row, unsigned col) const {
        auto it = text.find({row, col});
        return it == text.end() ? std::string() : it->second;
    }
    // FREEXL_CELL_NULL for an empty cell; SST_TEXT is reported as TEXT.
    int TypeAt(unsigned row, unsigned col) const {
        auto it = type.find({row, col});
        if (it == type.end()) return FREEXL_CELL_NULL;
        return it->second == FREEXL_CELL_SST_TEXT ? FREEXL_CELL_TEXT : it->second;
    }
    // The row holding `value` in column `col`, or -1.
    int FindRow(unsigned col, const std::string& value) const {
        for (const auto& [rc, t] : text)
            if (rc.second == col && t == value) return int(rc.first);
        return -1;
    }
};

inline XlsCells ReadXls(const std::string& path, unsigned short sheet = 0) {
    XlsCells out;
    const void* h = nullptr;
    const int rc = freexl_open(path.c_str(), &h);
    if (rc != FREEXL_OK || !h) {
        if (h) freexl_close(h);
        return out;
    }
    freexl_get_info(h, FREEXL_BIFF_SHEET_COUNT, &out.sheets);
    const char* name = nullptr;
    if (freexl_get_worksheet_name(h, sheet, &name) == FREEXL_OK && name) out.name = name;
    if (freexl_select_active_worksheet(h, sheet) == FREEXL_OK &&
        freexl_worksheet_dimensions(h, &out.rows, &out.cols) == FREEXL_OK) {
        out.ok = true;
        for (unsigned r = 0; r < out.rows; ++r)
            for (unsigned short c = 0; c < out.cols; ++c) {
                FreeXL_CellValue v;
                if (freexl_get_cell_value(h, r, c, &v) != FREEXL_OK) continue;
                switch (v.type) {
                    case FREEXL_CELL_TEXT:
                    case FREEXL_CELL_SST_TEXT:
                    case FREEXL_CELL_DATE:
                    case FREEXL_CELL_DATETIME:
                    case FREEXL_CELL_TIME:
                        out.text[{r, c}] = v.value.text_value;
                        break;
                    case FREEXL_CELL_INT:
                        out.text[{r, c}] = std::to_string(v.value.int_value);
                        break;
                    case FREEXL_CELL_DOUBLE: {
                        char buf[64];
                        std::snprintf(buf, sizeof buf, "%g", v.value.double_value);
                        out.text[{r, c}] = buf;
                        break;
                    }
                    default:
                        continue;
                }
                out.type[{r, c}] = v.type;
            }
    }
    freexl_close(h);
    return out;
}

}  // namespace twtest
