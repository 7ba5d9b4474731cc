#include "csv_json.h"

#include <algorithm>
#include <cstdlib>

namespace web {

std::vector<std::vector<std::string>> ParseCsv(std::string_view csv) {
    std::vector<std::vector<std::string>> rows;
    std::vector<std::string> row;
    std::string cell;
    bool quoted = false, any = false;
    for (std::size_t i = 0; i < csv.size(); ++i) {
        const char c = csv[i];
        if (quoted) {
            if (c == '"' && i + 1 < csv.size() && csv[i + 1] == '"') {
                cell += '"';
                ++i;
            } else if (c == '"') {
                quoted = false;
            } else {
                cell += c;
            }
            continue;
        }
        any = true;
        if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            row.push_back(std::move(cell));
            cell.clear();
        } else if (c == '\n') {
            row.push_back(std::move(cell));
            cell.clear();
            rows.push_back(std::move(row));
            row.clear();
            any = false;
        } else if (c != '\r') {
            cell += c;
        }
    }
    if (any) {
        row.push_back(std::move(cell));
        rows.push_back(std::move(row));
    }
    return rows;
}

nlohmann::ordered_json CsvRowsAsJson(std::string_view csv,
                                     const std::vector<std::string>& textColumns) {
    const auto rows = ParseCsv(csv);
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    if (rows.empty()) return list;
    const std::vector<std::string>& names = rows.front();
    for (std::size_t r = 1; r < rows.size(); ++r) {
        nlohmann::ordered_json object = nlohmann::ordered_json::object();
        for (std::size_t c = 0; c < names.size(); ++c) {
            const std::string cell = c < rows[r].size() ? rows[r][c] : std::string();
            const bool text =
                std::find(textColumns.begin(), textColumns.end(), names[c]) != textColumns.end();
            if (text)
                object[names[c]] = cell;
            else if (cell.empty())
                object[names[c]] = nullptr;
            else
                object[names[c]] = nlohmann::ordered_json::parse(cell, nullptr, false);
        }
        list.push_back(std::move(object));
    }
    return list;
}

}  // namespace web
