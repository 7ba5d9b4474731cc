// The tables the batch mode writes as CSV (stats.csv, operations.csv), as JSON
// arrays of objects named by the header row, for the web view's API.
#pragma once

#include <initializer_list>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>
#include <vector>

namespace web {

// The rows of `csv` (a header row, LF line ends, RFC 4180 quoting) as cells.
std::vector<std::vector<std::string>> ParseCsv(std::string_view csv);

// The rows after the header as objects: an empty cell is null, a cell of a
// column in `textColumns` a string, any other a number.
nlohmann::ordered_json CsvRowsAsJson(std::string_view csv,
                                     const std::vector<std::string>& textColumns);

}  // namespace web
