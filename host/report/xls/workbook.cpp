#include "workbook.h"

#include "records.h"
#include "sheet.h"
#include "workbook_writer.h"

#include <stdexcept>

namespace host::xls {

namespace {

// Faults found before any sheet is written: no or too many sheets, a bad sheet
// name, views out of range.
void CheckBook(const Workbook& book) {
    if (book.sheets.empty()) detail::Fault("a workbook needs at least one sheet");
    if (book.sheets.size() > 1000) detail::Fault("too many sheets");
    detail::CheckSheetNames(book.sheets);
    for (const Sheet& s : book.sheets)
        detail::CheckViews(s);
}

}  // namespace

std::vector<uint8_t> BuildWorkbook(const Workbook& book) {
    CheckBook(book);
    WorkbookWriter writer(book.fonts, book.author);
    for (const Sheet& s : book.sheets)
        writer.AddSheet(s);
    std::vector<uint8_t> out;
    writer.WriteStream([&out](std::span<const uint8_t> piece) {
        out.insert(out.end(), piece.begin(), piece.end());
    });
    return out;
}

bool SaveWorkbook(const Workbook& book, const std::string& utf8Path, std::string* error) {
    try {
        CheckBook(book);
        WorkbookWriter writer(book.fonts, book.author);
        for (const Sheet& s : book.sheets)
            writer.AddSheet(s);
        return writer.Save(utf8Path, error);
    } catch (const std::exception& e) {
        if (error) *error = "cannot write '" + utf8Path + "': " + e.what();
        return false;
    }
}

}  // namespace host::xls
