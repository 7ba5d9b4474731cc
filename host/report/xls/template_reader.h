// Reading a user's spreadsheet template (.xls, Excel 97-2003) and filling in
// named values.
//
// The template's first worksheet is read with FreeXL. FreeXL gives texts and
// values only (no fonts, borders, widths or merged ranges) and reads formula
// cells as empty. It does not survive every damaged file (some make it read
// outside its buffers), so it runs in a short-lived child process that hands
// the cells back through a pipe: a damaged or foreign file yields an error
// message, never a crash or a hang (the child gets 30 seconds).
//
// Named-value markers: a cell text may contain markers of the form
//
//     #{Name}
//
// where Name is an ASCII identifier (a letter or '_', then letters, digits or
// '_'), compared case-sensitively. "Дата: #{Date}" becomes "Дата: 07.12.2026"
// when the resolver knows Date. A marker whose name the resolver does not know,
// and anything that is not a complete marker ("#{", "#{ Date}", "#{1x}"), stays
// exactly as typed. Replacement values are inserted as they are; markers inside
// them are not expanded again. The syntax can be typed in any spreadsheet
// program and does not occur in ordinary text or numbers.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace host::xls {

struct TemplateCell {
    enum class Kind { Text, Number, Date };
    uint32_t row = 0;
    uint32_t col = 0;
    Kind kind = Kind::Text;
    // UTF-8. Numbers in their shortest exact decimal form with a '.' ("3", "0.1",
    // "1e+20"); dates and times as FreeXL gives them ("2026-12-07",
    // "2026-12-07 08:00:00", "08:00:00").
    std::string text;
};

struct TemplateSheet {
    std::string name;                 // UTF-8
    uint32_t rows = 0;                // number of rows in the sheet's used area (last row + 1)
    uint32_t cols = 0;                // number of columns (last column + 1)
    std::vector<TemplateCell> cells;  // non-empty cells, by row then column
};

// Reads the first worksheet of the .xls file at `utf8Path`. On failure returns
// false and sets *error (when not null) to a message that names the file.
bool ReadTemplate(const std::string& utf8Path, TemplateSheet* sheet, std::string* error);

// The value of a named value, or nothing when the name is unknown.
using NameResolver = std::function<std::optional<std::string>(std::string_view name)>;

// `text` with every marker #{Name} that `resolve` knows replaced by its value.
std::string ReplaceMarkers(std::string_view text, const NameResolver& resolve);

// The names of the well-formed markers in `text`, in order of appearance
// (repeats included).
std::vector<std::string> FindMarkers(std::string_view text);

}  // namespace host::xls
