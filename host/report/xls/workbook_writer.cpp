#include "workbook_writer.h"

#include "cfb_writer.h"
#include "globals.h"
#include "records.h"
#include "row_writer.h"
#include "sheet.h"
#include "spill_buffer.h"
#include "sst.h"
#include "styles.h"

#include "common/lasterror.h"
#include "common/osfile.h"

#include <system_error>

namespace host::xls {

using namespace detail;

namespace {

// Rows and cells a sheet holds in memory before they go to its temporary file.
constexpr std::size_t kHeldRowBytes = 256 * 1024;
constexpr std::size_t kMaxSheets = 1000;

// A sheet's substream: the records before its rows (DIMENSIONS last), the rows
// and cells, and the records after them.
struct SheetPart {
    std::vector<uint8_t> head;
    SpillBuffer rows{kHeldRowBytes};
    std::vector<uint8_t> tail;
};

// What the globals need of `sheet`: all but its cells, row heights and merges.
Sheet Outline(const Sheet& sheet) {
    Sheet o;
    o.name = sheet.name;
    o.columnWidths = sheet.columnWidths;
    o.pageBreaks = sheet.pageBreaks;
    o.page = sheet.page;
    o.frozenRows = sheet.frozenRows;
    o.autoFilter = sheet.autoFilter;
    return o;
}

std::string CannotWrite(const std::string& path, const std::string& why) {
    return "cannot write '" + path + "': " + why;
}

}  // namespace

struct WorkbookWriter::State {
    State(std::vector<Font> f, std::u16string a)
        : fonts(std::move(f)), author(std::move(a)), styles(fonts) {}

    void AddSheet(const Sheet& sheet);
    void AddRows(const Sheet& rows);
    void EndSheet();
    uint64_t Finish();
    void ForEachPiece(const std::function<void(std::span<const uint8_t>)>& piece) const;

    std::vector<Font> fonts;  // before styles, which refers to it
    std::u16string author;
    Styles styles;
    StringTable sst;
    std::vector<Sheet> outlines;  // one a sheet, merged ranges included
    std::vector<std::unique_ptr<SheetPart>> parts;
    std::unique_ptr<RowWriter> rows;  // of the sheet being written
    std::vector<uint8_t> globals;
    uint64_t size = 0;  // of the whole stream, once finished
};

void WorkbookWriter::State::AddSheet(const Sheet& sheet) {
    if (size) Fault("a sheet added to a finished workbook");
    EndSheet();
    if (outlines.size() >= kMaxSheets) Fault("too many sheets");
    CheckViews(sheet);
    outlines.push_back(Outline(sheet));
    CheckSheetNames(outlines);
    auto& part = parts.emplace_back(std::make_unique<SheetPart>());
    PutSheetHead(part->head, outlines.back());
    rows = std::make_unique<RowWriter>(part->rows);
    AddRows(sheet);
}

void WorkbookWriter::State::AddRows(const Sheet& part) {
    if (!rows) Fault("rows given outside a sheet");
    Sheet& outline = outlines.back();
    rows->Put(part.rowHeights, ResolveCells(part, outline.name, styles, sst));
    outline.merges.insert(outline.merges.end(), part.merges.begin(), part.merges.end());
}

void WorkbookWriter::State::EndSheet() {
    if (!rows) return;
    rows->Finish();
    SheetPart& part = *parts.back();
    rows->PutDimensions(part.head);
    PutSheetTail(part.tail, outlines.back(), parts.size() == 1);
    rows.reset();
}

// The globals, now that every string and format is known, with the stream
// offset of each sheet in its BOUNDSHEET. Returns the stream's size.
uint64_t WorkbookWriter::State::Finish() {
    if (size) return size;
    EndSheet();
    if (outlines.empty()) Fault("a workbook needs at least one sheet");
    const std::vector<std::size_t> offsetFields =
        PutGlobals(globals, styles, sst, author, outlines);
    uint64_t at = globals.size();
    for (std::size_t i = 0; i < parts.size(); ++i) {
        for (int k = 0; k < 4; ++k)
            globals[offsetFields[i] + k] = uint8_t(at >> (8 * k));
        at += parts[i]->head.size() + parts[i]->rows.size() + parts[i]->tail.size();
    }
    size = at;
    return size;
}

void WorkbookWriter::State::ForEachPiece(
    const std::function<void(std::span<const uint8_t>)>& piece) const {
    piece(globals);
    for (const auto& part : parts) {
        piece(part->head);
        part->rows.ForEachPiece(piece);
        piece(part->tail);
    }
}

WorkbookWriter::WorkbookWriter(std::vector<Font> fonts, std::u16string author)
    : state_(std::make_unique<State>(std::move(fonts), std::move(author))) {}

WorkbookWriter::~WorkbookWriter() = default;

void WorkbookWriter::AddFont(const Font& font) {
    state_->fonts.push_back(font);
    state_->styles.CheckFonts();
}

void WorkbookWriter::AddSheet(const Sheet& sheet) {
    state_->AddSheet(sheet);
}

void WorkbookWriter::AddRows(const Sheet& rows) {
    state_->AddRows(rows);
}

uint64_t WorkbookWriter::WriteStream(const std::function<void(std::span<const uint8_t>)>& piece) {
    const uint64_t size = state_->Finish();
    state_->ForEachPiece(piece);
    return size;
}

bool WorkbookWriter::Save(const std::string& utf8Path, std::string* error) {
    CompoundFrame frame;
    try {
        frame = MakeCompoundFrame(state_->Finish());
    } catch (const std::exception& e) {
        if (error) *error = CannotWrite(utf8Path, e.what());
        return false;
    }
    std::string failure;
    const auto produce = [&](const host::PieceWriter& write) {
        bool ok = true;
        const auto put = [&](std::span<const uint8_t> bytes) {
            ok = ok && write({reinterpret_cast<const char*>(bytes.data()), bytes.size()});
        };
        try {
            put(frame.head);
            state_->ForEachPiece(put);
            const std::vector<uint8_t> zeros(kMiniStreamCutoff, 0);
            for (uint64_t left = frame.padding; left > 0;) {
                const std::size_t n = std::size_t(std::min<uint64_t>(left, zeros.size()));
                put(std::span(zeros.data(), n));
                left -= n;
            }
            put(frame.tail);
        } catch (const std::exception& e) {
            failure = e.what();
            return false;
        }
        return ok;
    };
    if (host::StreamOsFileAtomically(utf8Path, produce)) return true;
    if (error)
        *error = CannotWrite(utf8Path, failure.empty()
                                           ? std::generic_category().message(int(GetIOErrorN()))
                                           : failure);
    return false;
}

}  // namespace host::xls
