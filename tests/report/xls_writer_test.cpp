// The BIFF8 workbook writer: records checked against the format's byte tables,
// the shared string table's CONTINUE splitting, read-back by FreeXL (an
// independent reader), a workbook large enough for DIFAT, model faults, and
// (when installed) LibreOffice's rendering.
#include "host/report/xls/workbook.h"

#include "host/report/xls/cfb_writer.h"
#include "host/report/xls/workbook_writer.h"
#include "report/xls_test_util.h"
#include "test_env.h"

#include <cstdio>
#include <random>

namespace {

using namespace xls_test;
using namespace host::xls;
namespace fs = std::filesystem;

constexpr uint16_t kBof = 0x0809, kFont = 0x0031, kXf = 0x00E0, kBoundSheet = 0x0085, kSst = 0x00FC,
                   kContinue = 0x003C, kExtSst = 0x00FF, kLabelSst = 0x00FD, kNumber = 0x0203,
                   kBlank = 0x0201, kMerged = 0x00E5, kDimensions = 0x0200, kSetup = 0x00A1,
                   kRow = 0x0208, kColInfo = 0x007D, kBreaks = 0x001B, kWindow2 = 0x023E,
                   kFooter = 0x0015, kStyle = 0x0293, kCodepage = 0x0042, kFormat = 0x041E,
                   kName = 0x0018, kPane = 0x0041, kAutoFilterInfo = 0x009D, kSupBook = 0x01AE,
                   kExternSheet = 0x0017, kWsBool = 0x0081, kBottomMargin = 0x0029;

std::string Utf8(std::u16string_view s) {
    std::string r;
    for (char16_t c : s) {
        if (c < 0x80) {
            r += char(c);
        } else if (c < 0x800) {
            r += char(0xC0 | (c >> 6));
            r += char(0x80 | (c & 0x3F));
        } else {
            r += char(0xE0 | (c >> 12));
            r += char(0x80 | ((c >> 6) & 0x3F));
            r += char(0x80 | (c & 0x3F));
        }
    }
    return r;
}

Record Only(const std::vector<Record>& all, uint16_t type) {
    const auto found = RecordsOf(all, type);
    EXPECT_EQ(found.size(), 1u) << "records of type 0x" << std::hex << type;
    return found.empty() ? Record{type, 0, {}} : found[0];
}

Workbook SmallBook() {
    Workbook book;
    book.fonts = {Font{}, Font{u"MS Sans Serif", FontHeightFromPixels(-11), true, false, 204}};
    Sheet sheet;
    sheet.name = u"Отчёт";
    CellFormat boxed{1, HAlign::Centre, VAlign::Top, true, kBorderAll, {}};
    sheet.SetText(0, 0, u"Ab", boxed);
    book.sheets.push_back(sheet);
    return book;
}

TEST(XlsRecords, GlobalsFollowTheByteTables) {
    const Bytes stream = BuildWorkbook(SmallBook());
    const auto all = Records(stream);
    ASSERT_FALSE(all.empty());
    EXPECT_EQ(all[0].type, kBof);
    EXPECT_TRUE(
        SameBytes(Le().u16(0x0600).u16(5).u16(0x0DBB).u16(0x07CC).u32(0).u32(6).b, all[0].data));
    EXPECT_TRUE(SameBytes(Le().u16(1200).b, Only(all, kCodepage).data));

    // Four copies of the default font, then ours, which the XFs call font 5 and 6.
    const auto fonts = RecordsOf(all, kFont);
    ASSERT_EQ(fonts.size(), 6u);
    const Bytes arial10 = {0xC8, 0x00, 0x00, 0x00, 0xFF, 0x7F, 0x90, 0x01, 0x00, 0x00, 0x00,
                           0x00, 0xCC, 0x00, 0x05, 0x00, 'A',  'r',  'i',  'a',  'l'};
    for (int i = 0; i < 5; ++i)
        EXPECT_TRUE(SameBytes(arial10, fonts[i].data)) << "font " << i;
    // 11 px = 165 twips, bold (weight 700, and grbit bit 0 for readers that look there).
    const Bytes sansBold = {0xA5, 0x00, 0x01, 0x00, 0xFF, 0x7F, 0xBC, 0x02, 0x00, 0x00,
                            0x00, 0x00, 0xCC, 0x00, 0x0D, 0x00, 'M',  'S',  ' ',  'S',
                            'a',  'n',  's',  ' ',  'S',  'e',  'r',  'i',  'f'};
    EXPECT_TRUE(SameBytes(sansBold, fonts[5].data));

    const auto xfs = RecordsOf(all, kXf);
    ASSERT_EQ(xfs.size(), 17u);
    const Bytes normal = {0, 0, 0, 0, 0xF5, 0xFF, 0x20, 0, 0,    0x00,
                          0, 0, 0, 0, 0,    0,    0,    0, 0xC0, 0x20};
    EXPECT_TRUE(SameBytes(normal, xfs[0].data));
    Bytes outline = normal;
    outline[9] = 0xF4;
    for (int i = 1; i < 15; ++i)
        EXPECT_TRUE(SameBytes(outline, xfs[i].data)) << "XF " << i;
    const Bytes defaultCell = {0, 0, 0, 0, 0x01, 0x00, 0x20, 0, 0,    0x00,
                               0, 0, 0, 0, 0,    0,    0,    0, 0xC0, 0x20};
    EXPECT_TRUE(SameBytes(defaultCell, xfs[15].data));
    // Font 6; centred (2) + wrap (0x08) + top (0 << 4); thin (1) on all four
    // sides with colour 8: left/right/top/bottom styles 0x1111, left colour
    // 8 << 16, right colour 8 << 23, top colour 8, bottom colour 8 << 7.
    const Bytes boxed = {0x06, 0x00, 0x00, 0x00, 0x01, 0x00, 0x0A, 0x00, 0x00, 0xF8,
                         0x11, 0x11, 0x08, 0x04, 0x08, 0x04, 0x00, 0x00, 0xC0, 0x20};
    EXPECT_TRUE(SameBytes(boxed, xfs[16].data));
    EXPECT_TRUE(SameBytes({0x00, 0x80, 0x00, 0xFF}, Only(all, kStyle).data));

    // BOUNDSHEET points at the worksheet's BOF; the name is stored as UTF-16.
    const Record sheet = Only(all, kBoundSheet);
    const auto bofs = RecordsOf(all, kBof);
    ASSERT_EQ(bofs.size(), 2u);
    EXPECT_TRUE(SameBytes(
        Le().u32(uint32_t(bofs[1].offset)).u8(0).u8(0).u8(5).u8(1).utf16(u"Отчёт").b, sheet.data));
    EXPECT_EQ(U16(bofs[1].data, 2), 0x0010);
}

TEST(XlsRecords, WorksheetFollowsTheByteTables) {
    Workbook book;
    Sheet& s = book.sheets.emplace_back();
    s.name = u"S";
    const CellFormat framed{-1, HAlign::Left, VAlign::Bottom, false, kBorderTop | kBorderBottom,
                            {}};
    s.SetText(2, 1, u"title", framed);
    s.Merge(2, 1, 3, 3);
    s.SetNumber(5, 4, 2.5);
    s.columnWidths = {{1, 2560}, {2, 2560}, {4, 1000}};
    s.rowHeights = {{2, 600}};
    s.pageBreaks = {40, 5, 0};
    s.page.leftMargin = 5 / 25.4;
    s.page.footer = u"&CСтр. &P";
    const auto all = SheetRecords(Records(BuildWorkbook(book)), 0);
    ASSERT_FALSE(all.empty());

    EXPECT_TRUE(SameBytes(Le().u32(2).u32(6).u16(1).u16(5).u16(0).b, Only(all, kDimensions).data));
    // A4 landscape: paper 9, scale 100, page 1, no fit, flags 0, 300 dpi, 0.5" margins, 1 copy.
    EXPECT_TRUE(SameBytes(Le().u16(9)
                              .u16(100)
                              .u16(1)
                              .u16(0)
                              .u16(0)
                              .u16(0)
                              .u16(300)
                              .u16(300)
                              .f64(0.5)
                              .f64(0.5)
                              .u16(1)
                              .b,
                          Only(all, kSetup).data));
    EXPECT_TRUE(SameBytes(Le().f64(5 / 25.4).b, Only(all, 0x0026).data));
    // Breaks sorted, the one at row 0 dropped, each spanning columns 0..255.
    EXPECT_TRUE(SameBytes(Le().u16(2).u16(5).u16(0).u16(255).u16(40).u16(0).u16(255).b,
                          Only(all, kBreaks).data));
    EXPECT_TRUE(SameBytes(Le().u16(9).u8(1).utf16(u"&CСтр. &P").b, Only(all, kFooter).data));
    // Equal neighbouring widths share one COLINFO.
    const auto cols = RecordsOf(all, kColInfo);
    ASSERT_EQ(cols.size(), 2u);
    EXPECT_TRUE(SameBytes(Le().u16(1).u16(2).u16(2560).u16(15).u16(2).u16(0).b, cols[0].data));
    EXPECT_TRUE(SameBytes(Le().u16(4).u16(4).u16(1000).u16(15).u16(2).u16(0).b, cols[1].data));

    const auto rows = RecordsOf(all, kRow);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_TRUE(SameBytes(Le().u16(2).u16(1).u16(4).u16(600).u16(0).u16(0).u32(0x000F0140).b,
                          rows[0].data));
    EXPECT_TRUE(SameBytes(Le().u16(3).u16(1).u16(4).u16(255).u16(0).u16(0).u32(0x000F0100).b,
                          rows[1].data));
    EXPECT_TRUE(SameBytes(Le().u16(5).u16(4).u16(5).u16(255).u16(0).u16(0).u32(0x000F0100).b,
                          rows[2].data));

    // The title's XF is 16; the merged area's other five cells are blanks with it.
    EXPECT_TRUE(SameBytes(Le().u16(2).u16(1).u16(16).u32(0).b, Only(all, kLabelSst).data));
    const auto blanks = RecordsOf(all, kBlank);
    ASSERT_EQ(blanks.size(), 5u);
    const std::pair<int, int> at[] = {{2, 2}, {2, 3}, {3, 1}, {3, 2}, {3, 3}};
    for (int i = 0; i < 5; ++i)
        EXPECT_TRUE(SameBytes(Le().u16(at[i].first).u16(at[i].second).u16(16).b, blanks[i].data));
    EXPECT_TRUE(SameBytes(Le().u16(5).u16(4).u16(15).f64(2.5).b, Only(all, kNumber).data));
    EXPECT_TRUE(SameBytes(Le().u16(1).u16(2).u16(3).u16(1).u16(3).b, Only(all, kMerged).data));
    EXPECT_TRUE(SameBytes(Le().u16(0x06B6).u16(0).u16(0).u16(64).u16(0).u16(0).u16(0).u32(0).b,
                          Only(all, kWindow2).data));

    // Record order inside the sheet: cells after DIMENSIONS, MERGEDCELLS after WINDOW2.
    auto pos = [&](uint16_t type) {
        return std::find_if(all.begin(), all.end(),
                            [&](const Record& r) { return r.type == type; }) -
               all.begin();
    };
    EXPECT_LT(pos(kSetup), pos(kColInfo));
    EXPECT_LT(pos(kDimensions), pos(kRow));
    EXPECT_LT(pos(kNumber), pos(kWindow2));
    EXPECT_LT(pos(kWindow2), pos(kMerged));
}

// A table of two sheets as a report writes it: frozen header rows, an
// autofilter, rows repeated on printed pages, fitted one page across; the bytes
// from the tables of host/report/XLS.md.
TEST(XlsRecords, FrozenFilteredPrintedTablesFollowTheByteTables) {
    Workbook book;
    for (int i = 0; i < 2; ++i) {
        Sheet& s = book.sheets.emplace_back();
        s.name = i == 0 ? u"Отчет" : u"Отчет (2)";
        const uint32_t header = i == 0 ? 2 : 0;
        for (uint32_t c = 0; c < 5; ++c)
            s.SetText(header, c, u"h");
        s.SetNumber(header + 1, 0, 46082.5, {-1, {}, {}, {}, {}, u"dd.mm.yyyy hh:mm:ss"});
        s.columnWidths = {{0, 5000}, {4, 3000}};
        s.frozenRows = header + 1;
        s.autoFilter = Range{header, i == 0 ? 10u : 5u, 0, 4};
        s.page.repeatRows = std::pair<uint32_t, uint32_t>(0, header);
        s.page.fitToWidth = 1;
    }
    const auto all = Records(BuildWorkbook(book));

    // Globals: the moment's format, one SUPBOOK and one reference per sheet,
    // then per sheet Print_Titles (0x07) and the hidden _FilterDatabase (0x0D).
    EXPECT_TRUE(SameBytes(Le().u16(164).u16(19).u8(0).ascii("dd.mm.yyyy hh:mm:ss").b,
                          Only(all, kFormat).data));
    EXPECT_TRUE(SameBytes(Le().u16(2).u16(0x0401).b, Only(all, kSupBook).data));
    EXPECT_TRUE(SameBytes(Le().u16(2).u16(0).u16(0).u16(0).u16(0).u16(1).u16(1).b,
                          Only(all, kExternSheet).data));
    auto name = [](uint16_t flags, uint8_t code, uint16_t sheet, uint16_t firstRow,
                   uint16_t lastRow, uint16_t firstCol, uint16_t lastCol) {
        return Le()
            .u16(flags)
            .u8(0)
            .u8(1)
            .u16(11)
            .u16(0)
            .u16(uint16_t(sheet + 1))
            .u32(0)
            .u8(0)
            .u8(code)
            .u8(0x3B)
            .u16(sheet)
            .u16(firstRow)
            .u16(lastRow)
            .u16(firstCol)
            .u16(lastCol)
            .b;
    };
    const auto names = RecordsOf(all, kName);
    ASSERT_EQ(names.size(), 4u);
    EXPECT_TRUE(SameBytes(name(0x0020, 0x07, 0, 0, 2, 0, 255), names[0].data));
    EXPECT_TRUE(SameBytes(name(0x0021, 0x0D, 0, 2, 10, 0, 4), names[1].data));
    EXPECT_TRUE(SameBytes(name(0x0020, 0x07, 1, 0, 0, 0, 255), names[2].data));
    EXPECT_TRUE(SameBytes(name(0x0021, 0x0D, 1, 0, 5, 0, 4), names[3].data));

    for (int i = 0; i < 2; ++i) {
        SCOPED_TRACE("sheet " + std::to_string(i));
        const auto sheet = SheetRecords(all, i);
        const uint16_t frozen = i == 0 ? 3 : 1;
        // Fitted one page across: WSBOOL 0x0100, SETUP pages across 1, down 0.
        EXPECT_TRUE(SameBytes(Le().u16(0x05C1).b, Only(sheet, kWsBool).data));
        const Record setup = Only(sheet, kSetup);
        EXPECT_EQ(U16(setup.data, 6), 1);
        EXPECT_EQ(U16(setup.data, 8), 0);
        // Five filter buttons, between the last COLINFO and DIMENSIONS.
        EXPECT_TRUE(SameBytes(Le().u16(5).b, Only(sheet, kAutoFilterInfo).data));
        // Frozen: 0x0008 and 0x0100 beside the displayed/selected flags, then
        // PANE right after WINDOW2 with the rows of the upper pane.
        EXPECT_TRUE(SameBytes(
            Le().u16(i == 0 ? 0x07BE : 0x01BE).u16(0).u16(0).u16(64).u16(0).u16(0).u16(0).u32(0).b,
            Only(sheet, kWindow2).data));
        EXPECT_TRUE(SameBytes(Le().u16(0).u16(frozen).u16(frozen).u16(0).u8(2).u8(0).b,
                              Only(sheet, kPane).data));
        // The moment is a NUMBER in the XF of its format.
        const Record number = Only(sheet, kNumber);
        EXPECT_EQ(U16(number.data, 0), frozen);
        const auto xfs = RecordsOf(all, kXf);
        const uint16_t xf = U16(number.data, 4);
        ASSERT_LT(xf, xfs.size());
        EXPECT_EQ(U16(xfs[xf].data, 2), 164);
        EXPECT_EQ(RecordsOf(sheet, kBreaks).size(), 0u);
        std::vector<uint16_t> order;
        for (const Record& r : sheet)
            if (r.type == kColInfo || r.type == kAutoFilterInfo || r.type == kDimensions ||
                r.type == kWindow2 || r.type == kPane)
                order.push_back(r.type);
        EXPECT_EQ(order, (std::vector<uint16_t>{kColInfo, kColInfo, kAutoFilterInfo, kDimensions,
                                                kWindow2, kPane}));
    }
}

TEST(XlsRecords, FormatsAndFontsAreSharedAndNumbered) {
    Workbook book;
    book.fonts = {Font{}, Font{u"Arial", 240, true}};
    Sheet& s = book.sheets.emplace_back();
    const CellFormat bold{1, HAlign::Right, VAlign::Bottom, false, 0, {}};
    const CellFormat date{-1, HAlign::General, VAlign::Bottom, false, 0, u"dd.mm.yyyy"};
    const CellFormat twoPlaces{-1, HAlign::General, VAlign::Bottom, false, 0, u"0.00"};
    for (uint32_t r = 0; r < 50; ++r) {
        s.SetText(r, 0, u"x", bold);
        s.SetNumber(r, 1, 46000 + r, date);
        s.SetNumber(r, 2, r / 3.0, twoPlaces);
    }
    const auto all = Records(BuildWorkbook(book));
    EXPECT_EQ(RecordsOf(all, kXf).size(), 19u) << "one XF per distinct format";
    // A user format gets index 164; "0.00" is built in (2) and not written.
    EXPECT_TRUE(
        SameBytes(Le().u16(164).u16(10).u8(0).ascii("dd.mm.yyyy").b, Only(all, kFormat).data));
    const auto xfs = RecordsOf(all, kXf);
    EXPECT_EQ(U16(xfs[17].data, 2), 164);
    EXPECT_EQ(xfs[17].data[9], 0xFC) << "number format marked as used";
    EXPECT_EQ(U16(xfs[18].data, 2), 2);
}

// An independent reading of SST + CONTINUE that insists on the splitting rules:
// a string's header stays with its first character, a string split inside its
// characters resumes after a repeated flags byte, UTF-16 units are never cut.
std::vector<std::u16string> DecodeSst(const std::vector<Record>& all, uint32_t* total) {
    std::vector<Bytes> parts;
    bool inSst = false;
    for (const Record& r : all) {
        if (r.type == kSst)
            inSst = true;
        else if (r.type != kContinue)
            inSst = false;
        if (inSst) {
            EXPECT_LE(r.data.size(), 8224u);
            parts.push_back(r.data);
        }
    }
    std::vector<std::u16string> out;
    if (parts.empty()) return out;
    *total = U32(parts[0], 0);
    const uint32_t unique = U32(parts[0], 4);
    std::size_t part = 0, pos = 8;
    for (uint32_t i = 0; i < unique; ++i) {
        if (pos == parts[part].size()) {  // the string begins a CONTINUE: no flags byte
            ++part;
            pos = 0;
        }
        if (part >= parts.size()) {
            ADD_FAILURE() << "SST ends before string " << i;
            return out;
        }
        const Bytes& p0 = parts[part];
        EXPECT_LE(pos + 3, p0.size()) << "header of string " << i << " split";
        const uint16_t cch = U16(p0, pos);
        bool wide = p0[pos + 2] & 1;
        EXPECT_EQ(p0[pos + 2] & ~1, 0);
        pos += 3;
        if (cch) {
            EXPECT_LT(pos, p0.size()) << "string " << i << " header parted from its text";
        }
        std::u16string s;
        while (s.size() < cch) {
            if (pos == parts[part].size()) {
                ++part;
                if (part >= parts.size()) {
                    ADD_FAILURE() << "SST ends inside string " << i;
                    return out;
                }
                const uint8_t flags = parts[part][0];
                EXPECT_LE(flags, 1) << "continuation flags of string " << i;
                wide = flags & 1;
                pos = 1;
            }
            const Bytes& p = parts[part];
            if (wide) {
                EXPECT_LE(pos + 2, p.size()) << "UTF-16 unit cut in string " << i;
                if (pos + 2 > p.size()) return out;
                s += char16_t(U16(p, pos));
                pos += 2;
            } else {
                s += char16_t(p[pos++]);
            }
        }
        out.push_back(s);
    }
    EXPECT_EQ(part + 1, parts.size());
    EXPECT_EQ(pos, parts.back().size()) << "bytes after the last string";
    return out;
}

void CheckSst(const std::vector<std::u16string>& strings) {
    Workbook book;
    Sheet& s = book.sheets.emplace_back();
    for (std::size_t i = 0; i < strings.size(); ++i)
        s.SetText(uint32_t(i), 0, strings[i]);
    s.SetText(uint32_t(strings.size()), 0, strings[0]);  // a repeat is shared
    const Bytes stream = BuildWorkbook(book);
    const auto all = Records(stream);
    uint32_t total = 0;
    const auto decoded = DecodeSst(all, &total);
    EXPECT_EQ(total, strings.size() + 1);
    ASSERT_EQ(decoded.size(), strings.size());
    for (std::size_t i = 0; i < strings.size(); ++i)
        EXPECT_TRUE(decoded[i] == strings[i]) << "string " << i << " of " << strings[i].size();
    EXPECT_EQ(U32(RecordsOf(all, kLabelSst).back().data, 6), 0u);

    // EXTSST: every bucket points at its first string, relative to its record too.
    const Record ext = Only(all, kExtSst);
    const uint16_t perBucket = U16(ext.data, 0);
    EXPECT_EQ(perBucket, std::max<std::size_t>(strings.size() / 128 + 1, 8));
    const std::size_t buckets = (strings.size() + perBucket - 1) / perBucket;
    ASSERT_EQ(ext.data.size(), 2 + 8 * buckets);
    for (std::size_t b = 0; b < buckets; ++b) {
        const uint32_t at = U32(ext.data, 2 + 8 * b);
        const uint16_t inRecord = U16(ext.data, 6 + 8 * b);
        EXPECT_EQ(U16(stream, at), strings[b * perBucket].size()) << "bucket " << b;
        const uint16_t type = U16(stream, at - inRecord);
        EXPECT_TRUE(type == kSst || type == kContinue) << "bucket " << b;
    }
}

TEST(XlsSst, StringsSplitAcrossContinueRecords) {
    // Boundary cases: 8 bytes of counts, then a filler that leaves 2, 3, 4 or 5
    // bytes in the first record for the next string's header and first character.
    for (std::size_t left : {0, 1, 2, 3, 4, 5, 6}) {
        const std::size_t filler = 8224 - 8 - 3 - left;
        SCOPED_TRACE("left " + std::to_string(left));
        CheckSst({std::u16string(filler, u'a'), std::u16string(300, u'ж'), u"b"});
        CheckSst({std::u16string(filler, u'a'), u"Latin", std::u16string(10, u'я')});
        CheckSst({std::u16string(filler, u'a'), std::u16string(), u"x"});
    }
    // Strings of up to 32767 units that span several records.
    CheckSst({std::u16string(32767, u'Щ'), std::u16string(32767, u'q'), u"tail"});
}

TEST(XlsSst, RandomStringsRoundTrip) {
    std::mt19937 rng(12345);
    std::vector<std::u16string> strings;
    for (int i = 0; i < 1500; ++i) {
        const std::size_t n = rng() % 3000;
        const bool cyrillic = rng() % 2;
        std::u16string s;
        for (std::size_t k = 0; k < n; ++k)
            s += cyrillic && rng() % 3 ? char16_t(0x0410 + rng() % 64) : char16_t('a' + rng() % 26);
        s += char16_t(u'0' + i % 10) + std::u16string(u"#") + char16_t(u'A' + i % 26) +
             char16_t(u'a' + (i / 26) % 26) + char16_t(u'a' + (i / 676) % 26);
        strings.push_back(s);
    }
    CheckSst(strings);
}

// A report-like sheet: a merged bold title, a boxed header row, Cyrillic text,
// wrapped notes, numbers and page breaks.
Workbook ReportBook(int dataRows) {
    Workbook book;
    book.fonts = {Font{u"MS Sans Serif", FontHeightFromPixels(-11)},
                  Font{u"MS Sans Serif", FontHeightFromPixels(-16), true},
                  Font{u"MS Sans Serif", FontHeightFromPixels(-11), true}};
    Sheet& s = book.sheets.emplace_back();
    s.name = u"Срабатывания";
    s.SetText(0, 0, u"Срабатывание автоматической защиты",
              {1, HAlign::Centre, VAlign::Centre, true, kBorderAll, {}});
    s.Merge(0, 0, 1, 5);
    s.rowHeights[0] = 400;
    const CellFormat head{2, HAlign::Centre, VAlign::Top, true, kBorderAll, {}};
    const char16_t* captions[] = {u"Контур", u"начало", u"оконч.",
                                  u"макс.",  u"Δ, %",   u"Примечание"};
    for (uint32_t c = 0; c < 6; ++c)
        s.SetText(2, c, captions[c], head);
    const CellFormat text{0, HAlign::Left, VAlign::Top, true, kBorderRight | kBorderBottom, {}};
    const CellFormat number{
        0, HAlign::Right, VAlign::Top, false, kBorderRight | kBorderBottom, u"0.000"};
    for (int i = 0; i < dataRows; ++i) {
        const uint32_t r = 3 + i;
        s.SetText(r, 0,
                  u"КЗ-" + std::u16string(1, char16_t(u'А' + i % 32)) + u" линия №" +
                      std::u16string(1, char16_t(u'0' + i % 10)),
                  text);
        s.SetNumber(r, 1, i * 0.125, number);
        s.SetNumber(r, 2, -i, number);
        s.SetNumber(r, 3, 1e6 + i, number);
        s.SetBlank(r, 4, text);
        if (i % 7 == 0) s.SetText(r, 5, u"длинное примечание, которое переносится на строки", text);
        if (i > 0 && i % 20 == 0) s.pageBreaks.push_back(r);
    }
    s.columnWidths = {{0, 30 * 256}, {5, 40 * 256}};
    s.page.leftMargin = s.page.rightMargin = s.page.bottomMargin = 5 / 25.4;
    s.page.topMargin = 20 / 25.4;
    s.page.footer = u"&RСтраница &P из &N";
    s.page.repeatRows = std::pair<uint32_t, uint32_t>(2, 2);
    return book;
}

using XlsFile = ScratchFolderTest;

TEST_F(XlsFile, FreeXlReadsBackEveryCell) {
    const Workbook book = ReportBook(100);
    const std::string path = dir_ / "report.xls";
    std::string error;
    ASSERT_TRUE(SaveWorkbook(book, path, &error)) << error;

    const FreeXlSheet read = ReadWithFreeXl(path);
    ASSERT_EQ(read.openResult, 0);
    ASSERT_TRUE(read.handle);
    EXPECT_EQ(read.name, "Срабатывания");
    EXPECT_EQ(read.rows, 103u);
    EXPECT_EQ(read.cols, 6u);
    std::size_t texts = 0, numbers = 0;
    for (const Cell& c : book.sheets[0].cells) {
        if (const auto* t = std::get_if<std::u16string>(&c.value)) {
            ++texts;
            const auto it = read.texts.find({c.row, c.col});
            ASSERT_NE(it, read.texts.end()) << "text at " << c.row << "," << c.col;
            EXPECT_EQ(it->second, Utf8(*t)) << "at " << c.row << "," << c.col;
        } else if (const auto* n = std::get_if<double>(&c.value)) {
            ++numbers;
            const auto it = read.numbers.find({c.row, c.col});
            ASSERT_NE(it, read.numbers.end()) << "number at " << c.row << "," << c.col;
            EXPECT_EQ(it->second, *n);
        }
    }
    EXPECT_EQ(read.texts.size(), texts) << "no text where none was written";
    EXPECT_EQ(read.numbers.size(), numbers);

    // Merged title: one range, and blanks carrying the title's borders.
    const auto all = Records(ReadBackWorkbook(path));
    const auto sheet = SheetRecords(all, 0);
    EXPECT_TRUE(SameBytes(Le().u16(1).u16(0).u16(1).u16(0).u16(5).b, Only(sheet, kMerged).data));
    uint16_t titleXf = 0;
    for (const Record& r : RecordsOf(sheet, kLabelSst))
        if (U16(r.data, 0) == 0 && U16(r.data, 2) == 0) titleXf = U16(r.data, 4);
    int fillers = 0;
    for (const Record& r : RecordsOf(sheet, kBlank))
        if (U16(r.data, 0) <= 1) {
            ++fillers;
            EXPECT_EQ(U16(r.data, 4), titleXf);
        }
    EXPECT_EQ(fillers, 11);
    EXPECT_EQ(RecordsOf(all, kName).size(), 1u) << "Print_Titles";
}

TEST_F(XlsFile, EverySheetIsFoundThroughItsOffset) {
    Workbook book;
    for (const char16_t* name : {u"Первый", u"Second", u"Третий"}) {
        Sheet& s = book.sheets.emplace_back();
        s.name = name;
        for (uint32_t r = 0; r < 40; ++r)
            s.SetText(r, r % 3, s.name + u" " + char16_t(u'a' + r % 26));
    }
    const std::string path = dir_ / "sheets.xls";
    ASSERT_TRUE(SaveWorkbook(book, path, nullptr));
    for (unsigned short i = 0; i < 3; ++i) {
        const FreeXlSheet read = ReadWithFreeXl(path, i);
        ASSERT_TRUE(read.handle) << "sheet " << i;
        EXPECT_EQ(read.name, Utf8(book.sheets[i].name));
        EXPECT_EQ(read.rows, 40u);
        EXPECT_EQ(read.texts.size(), 40u);
        EXPECT_EQ(read.texts.at({39, 0}), Utf8(book.sheets[i].name + u" n"));
    }
    // Only the first sheet is displayed and selected.
    const auto all = Records(ReadBackWorkbook(path));
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(U16(Only(SheetRecords(all, i), kWindow2).data, 0), i == 0 ? 0x06B6 : 0x00B6);
}

TEST_F(XlsFile, StringCrossingOneContinueReadsInFreeXl) {
    Workbook book;
    Sheet& s = book.sheets.emplace_back();
    const std::u16string first(3000, u'ё'), second(4000, u'Ж');  // the second crosses 8224
    s.SetText(0, 0, first);
    s.SetText(1, 0, second);
    s.SetText(2, 0, u"после");
    const std::string path = dir_ / "continue.xls";
    ASSERT_TRUE(SaveWorkbook(book, path, nullptr));
    EXPECT_EQ(RecordsOf(Records(ReadBackWorkbook(path)), kContinue).size(), 1u);
    const FreeXlSheet read = ReadWithFreeXl(path);
    ASSERT_TRUE(read.handle);
    EXPECT_EQ(read.texts.at({0, 0}), Utf8(first));
    EXPECT_EQ(read.texts.at({1, 0}), Utf8(second));
    EXPECT_EQ(read.texts.at({2, 0}), "после");
}

TEST_F(XlsFile, WorkbookBeyondSevenMegabytesUsesDifat) {
    Workbook book;
    Sheet& s = book.sheets.emplace_back();
    constexpr uint32_t kRows = 65536, kCols = 7;
    s.cells.reserve(kRows * kCols);
    for (uint32_t r = 0; r < kRows; ++r)
        for (uint32_t c = 0; c < kCols; ++c)
            s.SetNumber(r, c, r * 7.0 + c + 0.5);
    const std::string path = dir_ / "big.xls";
    std::string error;
    ASSERT_TRUE(SaveWorkbook(book, path, &error)) << error;

    const Bytes file = ReadFile(path);
    EXPECT_GT(U32(file, 0x2C), 109u) << "FAT sectors";
    EXPECT_GE(U32(file, 0x48), 1u) << "DIFAT sectors";
    const FreeXlSheet read = ReadWithFreeXl(path);
    ASSERT_EQ(read.openResult, 0);
    ASSERT_TRUE(read.handle);
    EXPECT_EQ(read.rows, kRows);
    EXPECT_EQ(read.cols, kCols);
    ASSERT_EQ(read.numbers.size(), std::size_t(kRows) * kCols);
    std::size_t wrong = 0;
    for (const auto& [at, v] : read.numbers)
        if (v != at.first * 7.0 + at.second + 0.5) ++wrong;
    EXPECT_EQ(wrong, 0u);
}

// Rows handed to WorkbookWriter one at a time, below a head of titles given
// with the sheet, and fonts added as they come, must give the file the whole
// model gives: across the 32-row blocks, up to a full sheet (beyond 7 MB, with
// DIFAT) and with a second sheet after it.
TEST_F(XlsFile, RowsWrittenOneAtATimeGiveTheModelsFile) {
    for (const int dataRows : {0, 28, 29, 61, 65533}) {
        Workbook book = ReportBook(dataRows);
        book.sheets.push_back(SmallBook().sheets[0]);
        std::vector<uint32_t>& breaks = book.sheets[0].pageBreaks;
        breaks.resize(std::min<std::size_t>(breaks.size(), 3));  // a sheet takes 1026
        const Sheet& whole = book.sheets[0];
        Sheet head = whole;
        std::erase_if(head.cells, [](const Cell& c) { return c.row >= 3; });
        WorkbookWriter writer({book.fonts[0]});
        for (std::size_t f = 1; f < book.fonts.size(); ++f)
            writer.AddFont(book.fonts[f]);
        writer.AddSheet(head);
        Sheet row;
        for (const Cell& c : whole.cells) {
            if (c.row < 3) continue;
            if (!row.cells.empty() && row.cells.back().row != c.row) {
                writer.AddRows(row);
                row.cells.clear();
            }
            row.cells.push_back(c);
        }
        writer.AddRows(row);
        writer.AddSheet(book.sheets[1]);
        const std::string path = dir_ / "streamed.xls";
        std::string error;
        ASSERT_TRUE(writer.Save(path, &error)) << error;
        EXPECT_TRUE(SameBytes(BuildCompoundFile(BuildWorkbook(book)), ReadFile(path)))
            << dataRows << " data rows";
    }
    const Workbook two = ReportBook(2);
    WorkbookWriter writer(two.fonts);
    writer.AddSheet(two.sheets[0]);
    Sheet above;
    above.SetText(4, 0, u"above the last row");
    EXPECT_THROW(writer.AddRows(above), std::invalid_argument);
}

TEST_F(XlsFile, FaultyModelsAreRejectedWithoutAFile) {
    auto rejects = [&](const Workbook& book, const std::string& expected) {
        const std::string path = dir_ / "bad.xls";
        std::string error;
        EXPECT_FALSE(SaveWorkbook(book, path, &error));
        EXPECT_NE(error.find(expected), std::string::npos) << error;
        EXPECT_NE(error.find(path), std::string::npos) << error;
        EXPECT_FALSE(fs::exists(path));
    };
    auto one = [](auto change) {
        Workbook b;
        b.sheets.emplace_back().SetText(0, 0, u"x");
        change(b, b.sheets[0]);
        return b;
    };
    rejects(Workbook{}, "at least one sheet");
    rejects(one([](Workbook&, Sheet& s) { s.SetText(0, 0, u"again"); }), "given twice");
    rejects(one([](Workbook&, Sheet& s) { s.SetNumber(65536, 0, 1); }), "beyond");
    rejects(one([](Workbook&, Sheet& s) { s.SetNumber(0, 256, 1); }), "beyond");
    rejects(one([](Workbook&, Sheet& s) {
                s.Merge(0, 0, 2, 2);
                s.Merge(2, 2, 3, 3);
            }),
            "overlap");
    rejects(one([](Workbook&, Sheet& s) { s.Merge(3, 0, 2, 0); }), "ends before");
    rejects(one([](Workbook&, Sheet& s) {
                s.SetText(1, 0, u"y", {3, {}, {}, {}, {}, {}});
            }),
            "font 3");
    rejects(one([](Workbook&, Sheet& s) { s.SetText(1, 0, std::u16string(32768, u'z')); }),
            "32767");
    rejects(one([](Workbook&, Sheet& s) { s.SetNumber(1, 0, std::nan("")); }), "finite");
    rejects(one([](Workbook&, Sheet& s) { s.page.header = std::u16string(256, u'h'); }), "255");
    rejects(one([](Workbook&, Sheet& s) { s.name = u"a/b"; }), "[]:");
    rejects(one([](Workbook&, Sheet& s) { s.autoFilter = Range{5, 4, 0, 1}; }), "ends before");
    rejects(one([](Workbook&, Sheet& s) { s.autoFilter = Range{0, 4, 0, 256}; }), "beyond");
    rejects(one([](Workbook&, Sheet& s) { s.frozenRows = 65536; }), "frozen rows");
    rejects(one([](Workbook&, Sheet& s) { s.name = std::u16string(32, u'n'); }), "1 to 31");
    rejects(one([](Workbook& b, Sheet& s) {
                s.name = u"Лист";
                b.sheets.emplace_back().name = u"ЛИСТ";
            }),
            "used twice");
}

// LibreOffice, when installed, must open the file and print it as A4 landscape
// with the footer's page numbers and the title rows repeated on every page.
TEST_F(XlsFile, LibreOfficeRendersIt) {
    if (std::system("command -v soffice >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "LibreOffice is not installed";
    const fs::path xls = dir_ / "report.xls";
    ASSERT_TRUE(SaveWorkbook(ReportBook(60), xls, nullptr));
    const std::string profile = "file://" + (dir_ / "profile").string();
    const std::string convert =
        "cd '" + dir_.string() + "' && soffice -env:UserInstallation=" + profile +
        " --headless --norestore --convert-to pdf report.xls" + " >lo.log 2>&1";
    ASSERT_EQ(std::system(convert.c_str()), 0);
    ASSERT_TRUE(fs::exists(dir_ / "report.pdf")) << "LibreOffice could not load the file";
    if (std::system("command -v pdfinfo >/dev/null 2>&1 && command -v pdftotext >/dev/null 2>&1"))
        GTEST_SKIP() << "poppler-utils are not installed";
    const std::string info = "cd '" + dir_.string() + "' && pdfinfo report.pdf >info.txt" +
                             " && pdftotext -layout report.pdf report.txt";
    ASSERT_EQ(std::system(info.c_str()), 0);
    const Bytes infoBytes = ReadFile(dir_ / "info.txt");
    const std::string infoText(infoBytes.begin(), infoBytes.end());
    EXPECT_NE(infoText.find("841.89 x 595."), std::string::npos) << infoText;
    EXPECT_NE(infoText.find("Pages:           3\n"), std::string::npos) << infoText;
    const Bytes textBytes = ReadFile(dir_ / "report.txt");
    const std::string text(textBytes.begin(), textBytes.end());
    EXPECT_NE(text.find("Срабатывание автоматической защиты"), std::string::npos);
    EXPECT_NE(text.find("Страница 3 из 3"), std::string::npos);
    std::size_t captions = 0;
    for (std::size_t at = 0; (at = text.find("Примечание", at)) != std::string::npos; ++at)
        ++captions;
    EXPECT_EQ(captions, 3u) << "the header row repeats on each page";
}

}  // namespace
