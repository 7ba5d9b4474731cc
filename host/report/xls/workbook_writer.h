// A workbook written sheet by sheet and row by row, for sheets too large to
// hold as a Workbook model: each batch of rows is written when it is given and,
// past a small limit, kept in a temporary file; the shared strings, the formats
// and the workbook globals are written at the end. The bytes are those
// BuildWorkbook gives for a model with the same sheets, cells given in the same
// order (BuildWorkbook itself writes through this class).
//
// The writer owns its temporary files and removes them when it is destroyed.
// A fault in what it is given throws std::invalid_argument (as BuildWorkbook
// describes); a temporary file that cannot be made or written throws
// std::system_error.
#pragma once

#include "workbook.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace host::xls {

class WorkbookWriter {
  public:
    // A workbook with these fonts (fonts[0], when present, is the default).
    explicit WorkbookWriter(std::vector<Font> fonts, std::u16string author = u"Tripwatch");
    ~WorkbookWriter();
    WorkbookWriter(const WorkbookWriter&) = delete;
    WorkbookWriter& operator=(const WorkbookWriter&) = delete;

    // A font after those given so far (its index is the next one), for cells
    // given from now on. Fault for a font the constructor would refuse.
    void AddFont(const Font& font);

    // Ends the sheet before, if any, and begins `sheet`: its name, page setup,
    // columns and views, with its cells, row heights and merged ranges as its
    // first rows. The autofilter and repeated rows must already name the rows
    // that follow.
    void AddSheet(const Sheet& sheet);

    // More rows of the current sheet: the cells, row heights and merged ranges
    // of `rows` (the rest of it is not looked at), all below the rows given
    // before and each merged range within them. Fault for a row given before.
    void AddRows(const Sheet& rows);

    // Ends the workbook (no sheet may be added after) and hands the "Workbook"
    // stream, in order and in pieces, to `piece`. Returns the stream's size.
    uint64_t WriteStream(const std::function<void(std::span<const uint8_t>)>& piece);

    // Ends the workbook and writes it as an .xls file, atomically. False (and a
    // message in *error) when it is faulty or the file cannot be written.
    bool Save(const std::string& utf8Path, std::string* error);

  private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace host::xls
