// Reads back the first sheet of a workbook with FreeXL (an independent reader):
// every non-empty cell as UTF-8 text, by (row, column).
#pragma once

#include <freexl.h>

#include <cstdio>
#include <map>
#include <string>
#include <utility>

namespace twtest {

struct XlsCells {
    bool ok = false;
    unsigned rows = 0;
    unsigned short cols = 0;
    std::map<std::pair<unsigned, unsigned>, std::string> text;  // UTF-8

    std::string At(unsigned row, unsigned col) const {
        auto it = text.find({row, col});
        return it == text.end() ? std::string() : it->second;
    }
    // The row holding `value` in column `col`, or -1.
    int FindRow(unsigned col, const std::string& value) const {
        for (const auto& [rc, t] : text)
            if (rc.second == col && t == value) return int(rc.first);
        return -1;
    }
};

inline XlsCells ReadXls(const std::string& path) {
    XlsCells out;
    const void* h = nullptr;
    const int rc = freexl_open(path.c_str(), &h);
    if (rc != FREEXL_OK || !h) {
        if (h) freexl_close(h);
        return out;
    }
    if (freexl_select_active_worksheet(h, 0) == FREEXL_OK &&
        freexl_worksheet_dimensions(h, &out.rows, &out.cols) == FREEXL_OK) {
        out.ok = true;
        for (unsigned r = 0; r < out.rows; ++r)
            for (unsigned short c = 0; c < out.cols; ++c) {
                FreeXL_CellValue v;
                if (freexl_get_cell_value(h, r, c, &v) != FREEXL_OK) continue;
                if (v.type == FREEXL_CELL_TEXT || v.type == FREEXL_CELL_SST_TEXT)
                    out.text[{r, c}] = v.value.text_value;
                else if (v.type == FREEXL_CELL_INT)
                    out.text[{r, c}] = std::to_string(v.value.int_value);
                else if (v.type == FREEXL_CELL_DOUBLE) {
                    char buf[64];
                    std::snprintf(buf, sizeof buf, "%g", v.value.double_value);
                    out.text[{r, c}] = buf;
                }
            }
    }
    freexl_close(h);
    return out;
}

}  // namespace twtest
