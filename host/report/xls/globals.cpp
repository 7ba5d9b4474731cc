#include "globals.h"

#include "records.h"
#include "sst.h"
#include "styles.h"

#include <algorithm>
#include <string_view>

namespace host::xls::detail {

namespace {

// INTERFACEHDR to WRITEACCESS: the file's user interface and its author, the
// user name padded with spaces to 112 bytes.
void PutInterface(std::vector<uint8_t>& out, std::u16string_view author) {
    PutU16Record(out, kInterfaceHdr, 0x04B0);
    PutU16Record(out, kMms, 0);
    PutRecord(out, kInterfaceEnd, Data());
    const std::size_t max = FitsLatin1(author) ? 109 : 54;
    Data d;
    PutString16(d, author.substr(0, max));
    while (d.size() < 112)
        d.U8(' ');
    PutRecord(out, kWriteAccess, d);
}

// CODEPAGE to BOOKBOOL: text encoding, sheet ids, protection (none), the
// workbook window and calculation settings.
void PutBookSettings(std::vector<uint8_t>& out, std::size_t sheets) {
    PutU16Record(out, kCodepage, 1200);
    PutU16Record(out, kDsf, 0);
    Data tabs;
    for (std::size_t i = 0; i < sheets; ++i)
        tabs.U16(uint16_t(i + 1));
    PutRecord(out, kTabId, tabs);
    PutU16Record(out, kFnGroupCount, 14);
    for (uint16_t type : {kWindowProtect, kProtect, kPassword, kProt4Rev, kProt4RevPass})
        PutU16Record(out, type, 0);
    PutRecord(out, kWindow1,
              Data()
                  .U16(0x0168)
                  .U16(0x010E)
                  .U16(0x3A5C)
                  .U16(0x23BE)
                  .U16(0x0038)  // scroll bars and sheet tabs visible
                  .U16(0)       // active sheet
                  .U16(0)       // first visible tab
                  .U16(1)       // selected sheets
                  .U16(600));   // tab bar width ratio
    PutU16Record(out, kBackup, 0);
    PutU16Record(out, kHideObj, 0);
    PutU16Record(out, kDate1904, 0);
    PutU16Record(out, kPrecision, 1);
    PutU16Record(out, kRefreshAll, 0);
    PutU16Record(out, kBookBool, 0);
}

// One BOUNDSHEET a sheet. Returns where each record's stream offset of its
// sheet goes, to be filled in once the sheet's place is known.
std::vector<std::size_t> PutBoundSheets(std::vector<uint8_t>& out,
                                        const std::vector<Sheet>& sheets) {
    std::vector<std::size_t> offsetFields;
    for (const Sheet& s : sheets) {
        offsetFields.push_back(out.size() + 4);
        Data d;
        d.U32(0).U8(0).U8(0);  // offset filled in later; visible worksheet
        PutString8(d, s.name);
        PutRecord(out, kBoundSheet, d);
    }
    return offsetFields;
}

// A built-in name local to sheet `sheet` whose formula is one ptgArea3d over
// the area (absolute rows and columns).
void PutBuiltInName(std::vector<uint8_t>& out, uint8_t code, bool hidden, std::size_t sheet,
                    const Range& area) {
    constexpr uint16_t kFormulaSize = 11;  // one ptgArea3d
    PutRecord(out, kName,
              Data()
                  .U16(uint16_t(0x0020 | (hidden ? 0x0001 : 0)))  // built-in, maybe hidden
                  .U8(0)                                          // no shortcut key
                  .U8(1)                                          // name length: the code
                  .U16(kFormulaSize)
                  .U16(0)
                  .U16(uint16_t(sheet + 1))  // local to the sheet
                  .U32(0)
                  .U8(0)  // name characters: 8-bit
                  .U8(code)
                  .U8(0x3B)  // ptgArea3d
                  .U16(uint16_t(sheet))
                  .U16(uint16_t(area.firstRow))
                  .U16(uint16_t(area.lastRow))
                  .U16(uint16_t(area.firstCol))
                  .U16(uint16_t(area.lastCol)));
}

// SUPBOOK, EXTERNSHEET and the built-in names of the sheets: Print_Titles
// (0x07) for the rows repeated on every printed page, _FilterDatabase (0x0D,
// hidden) for the autofilter's range.
void PutNames(std::vector<uint8_t>& out, const std::vector<Sheet>& sheets) {
    const bool any = std::any_of(sheets.begin(), sheets.end(), [](const Sheet& s) {
        return s.page.repeatRows.has_value() || s.autoFilter.has_value();
    });
    if (!any) return;
    // Internal references: one SUPBOOK for this workbook, one XTI per sheet.
    PutRecord(out, kSupBook, Data().U16(uint16_t(sheets.size())).U16(0x0401));
    Data xti;
    xti.U16(uint16_t(sheets.size()));
    for (std::size_t i = 0; i < sheets.size(); ++i)
        xti.U16(0).U16(uint16_t(i)).U16(uint16_t(i));
    PutRecord(out, kExternSheet, xti);
    for (std::size_t i = 0; i < sheets.size(); ++i) {
        if (const auto& rows = sheets[i].page.repeatRows)
            PutBuiltInName(out, 0x07, false, i, Range{rows->first, rows->second, 0, 255});
        if (const auto& filter = sheets[i].autoFilter) PutBuiltInName(out, 0x0D, true, i, *filter);
    }
}

}  // namespace

std::vector<std::size_t> PutGlobals(std::vector<uint8_t>& out, const Styles& styles,
                                    const StringTable& sst, std::u16string_view author,
                                    const std::vector<Sheet>& sheets) {
    PutBof(out, kGlobalsSubstream);
    PutInterface(out, author);
    PutBookSettings(out, sheets.size());
    styles.Write(out);
    PutU16Record(out, kUsesElfs, 0);
    std::vector<std::size_t> offsetFields = PutBoundSheets(out, sheets);
    PutRecord(out, kCountry, Data().U16(7).U16(7));
    PutNames(out, sheets);
    sst.Write(out);
    PutRecord(out, kEof, Data());
    return offsetFields;
}

}  // namespace host::xls::detail
