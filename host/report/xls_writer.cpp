#include "xls_writer.h"

#include "cfb_writer.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <stdexcept>
#include <string_view>
#include <tuple>

namespace host::xls {

void Sheet::SetText(uint32_t row, uint32_t col, std::u16string text, const CellFormat& format) {
    cells.push_back({row, col, std::move(text), format});
}

void Sheet::SetNumber(uint32_t row, uint32_t col, double value, const CellFormat& format) {
    cells.push_back({row, col, value, format});
}

void Sheet::SetBlank(uint32_t row, uint32_t col, const CellFormat& format) {
    cells.push_back({row, col, std::monostate{}, format});
}

namespace {

// Record types.
enum : uint16_t {
    kEof = 0x000A,
    kCalcCount = 0x000C,
    kCalcMode = 0x000D,
    kPrecision = 0x000E,
    kCalcRefMode = 0x000F,
    kCalcDelta = 0x0010,
    kCalcIter = 0x0011,
    kProtect = 0x0012,
    kPassword = 0x0013,
    kHeader = 0x0014,
    kFooter = 0x0015,
    kExternSheet = 0x0017,
    kName = 0x0018,
    kWindowProtect = 0x0019,
    kHorizontalPageBreaks = 0x001B,
    kDate1904 = 0x0022,
    kLeftMargin = 0x0026,
    kRightMargin = 0x0027,
    kTopMargin = 0x0028,
    kBottomMargin = 0x0029,
    kPrintHeaders = 0x002A,
    kPrintGrid = 0x002B,
    kFont = 0x0031,
    kContinue = 0x003C,
    kWindow1 = 0x003D,
    kPane = 0x0041,
    kBackup = 0x0040,
    kCodepage = 0x0042,
    kDefColWidth = 0x0055,
    kWriteAccess = 0x005C,
    kCalcSaveRecalc = 0x005F,
    kColInfo = 0x007D,
    kGuts = 0x0080,
    kWsBool = 0x0081,
    kGridSet = 0x0082,
    kHCenter = 0x0083,
    kVCenter = 0x0084,
    kBoundSheet = 0x0085,
    kCountry = 0x008C,
    kHideObj = 0x008D,
    kFnGroupCount = 0x009C,
    kAutoFilterInfo = 0x009D,
    kSetup = 0x00A1,
    kMms = 0x00C1,
    kBookBool = 0x00DA,
    kXf = 0x00E0,
    kInterfaceHdr = 0x00E1,
    kInterfaceEnd = 0x00E2,
    kMergedCells = 0x00E5,
    kSst = 0x00FC,
    kLabelSst = 0x00FD,
    kExtSst = 0x00FF,
    kTabId = 0x013D,
    kUsesElfs = 0x0160,
    kDsf = 0x0161,
    kProt4Rev = 0x01AF,
    kSupBook = 0x01AE,
    kRefreshAll = 0x01B7,
    kProt4RevPass = 0x01BC,
    kDimensions = 0x0200,
    kBlank = 0x0201,
    kNumber = 0x0203,
    kRow = 0x0208,
    kDefaultRowHeight = 0x0225,
    kWindow2 = 0x023E,
    kStyle = 0x0293,
    kFormat = 0x041E,
    kBof = 0x0809,
};

constexpr std::size_t kMaxRecordData = 8224;
constexpr std::size_t kMaxTextUnits = 32767;
constexpr std::size_t kMaxMergesPerRecord = 1026;
constexpr std::size_t kMaxPageBreaks = 1026;
constexpr uint16_t kDefaultCellXf = 15;
constexpr uint16_t kFirstCellXf = 16;
constexpr std::size_t kMaxXfs = 4000;
constexpr uint16_t kFirstUserFormat = 164;
constexpr uint16_t kDefaultRowTwips = 255;
constexpr uint16_t kBorderColourBlack = 8;

[[noreturn]] void Fault(const std::string& what) {
    throw std::invalid_argument(what);
}

// Little-endian record data.
class Data {
  public:
    Data& U8(uint8_t v) {
        b_.push_back(v);
        return *this;
    }
    Data& U16(uint16_t v) { return U8(uint8_t(v)).U8(uint8_t(v >> 8)); }
    Data& U32(uint32_t v) { return U16(uint16_t(v)).U16(uint16_t(v >> 16)); }
    Data& F64(double v) {
        const auto bits = std::bit_cast<uint64_t>(v);
        return U32(uint32_t(bits)).U32(uint32_t(bits >> 32));
    }
    Data& Zeros(std::size_t n) {
        b_.insert(b_.end(), n, 0);
        return *this;
    }
    const std::vector<uint8_t>& bytes() const { return b_; }
    std::size_t size() const { return b_.size(); }

  private:
    std::vector<uint8_t> b_;
};

bool FitsLatin1(std::u16string_view s) {
    return std::all_of(s.begin(), s.end(), [](char16_t c) { return c <= 0xFF; });
}

// Characters after the flags byte: low bytes when every unit is <= U+00FF,
// otherwise UTF-16LE.
void PutChars(Data& d, std::u16string_view s, bool wide) {
    for (char16_t c : s)
        wide ? d.U16(c) : d.U8(uint8_t(c));
}

// XLUnicodeString: u16 length, flags, characters.
void PutString16(Data& d, std::u16string_view s) {
    const bool wide = !FitsLatin1(s);
    d.U16(uint16_t(s.size())).U8(wide ? 1 : 0);
    PutChars(d, s, wide);
}

// ShortXLUnicodeString: u8 length, flags, characters.
void PutString8(Data& d, std::u16string_view s) {
    const bool wide = !FitsLatin1(s);
    d.U8(uint8_t(s.size())).U8(wide ? 1 : 0);
    PutChars(d, s, wide);
}

void PutRecord(std::vector<uint8_t>& out, uint16_t type, const Data& d) {
    if (d.size() > kMaxRecordData) Fault("record too long (type " + std::to_string(type) + ")");
    out.push_back(uint8_t(type));
    out.push_back(uint8_t(type >> 8));
    out.push_back(uint8_t(d.size()));
    out.push_back(uint8_t(d.size() >> 8));
    out.insert(out.end(), d.bytes().begin(), d.bytes().end());
}

void PutU16Record(std::vector<uint8_t>& out, uint16_t type, uint16_t v) {
    PutRecord(out, type, Data().U16(v));
}

void PutBof(std::vector<uint8_t>& out, uint16_t substream) {
    PutRecord(out, kBof, Data().U16(0x0600).U16(substream).U16(0x0DBB).U16(0x07CC).U32(0).U32(6));
}

std::string Utf8(std::u16string_view s) {
    std::string r;
    for (std::size_t i = 0; i < s.size(); ++i) {
        char32_t c = s[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < s.size() && s[i + 1] >= 0xDC00 &&
            s[i + 1] < 0xE000)
            c = 0x10000 + ((c - 0xD800) << 10) + (s[++i] - 0xDC00);
        if (c < 0x80) {
            r += char(c);
        } else if (c < 0x800) {
            r += char(0xC0 | (c >> 6));
            r += char(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            r += char(0xE0 | (c >> 12));
            r += char(0x80 | ((c >> 6) & 0x3F));
            r += char(0x80 | (c & 0x3F));
        } else {
            r += char(0xF0 | (c >> 18));
            r += char(0x80 | ((c >> 12) & 0x3F));
            r += char(0x80 | ((c >> 6) & 0x3F));
            r += char(0x80 | (c & 0x3F));
        }
    }
    return r;
}

std::string Where(const Sheet& sheet, uint32_t row, uint32_t col) {
    return "sheet '" + Utf8(sheet.name) + "' row " + std::to_string(row) + " column " +
           std::to_string(col);
}

// ---------------------------------------------------------------------------
// Formatting tables: fonts, number formats and cell XFs, deduplicated.

class Styles {
  public:
    explicit Styles(const std::vector<Font>& fonts) : fonts_(fonts) {
        if (fonts_.size() > 500) Fault("too many fonts");
        for (const Font& f : fonts_)
            if (f.name.empty() || f.name.size() > 255)
                Fault("font name must have 1 to 255 characters");
    }

    uint16_t CellXf(const CellFormat& f) {
        if (f == CellFormat{}) return kDefaultCellXf;
        if (f.font < -1 || f.font >= int(fonts_.size()))
            Fault("cell format refers to font " + std::to_string(f.font) + " of " +
                  std::to_string(fonts_.size()));
        // The first four FONT records hold the default font; index 4 does not
        // exist, so fonts[i] is index 5 + i.
        const uint16_t font = f.font < 0 ? 0 : uint16_t(5 + f.font);
        const Key key{font,   FormatIndex(f.numberFormat),    uint8_t(f.hAlign), uint8_t(f.vAlign),
                      f.wrap, uint8_t(f.borders & kBorderAll)};
        const auto it = std::find(xfs_.begin(), xfs_.end(), key);
        if (it != xfs_.end()) return uint16_t(kFirstCellXf + (it - xfs_.begin()));
        if (xfs_.size() + kFirstCellXf >= kMaxXfs) Fault("too many distinct cell formats");
        xfs_.push_back(key);
        return uint16_t(kFirstCellXf + xfs_.size() - 1);
    }

    void Write(std::vector<uint8_t>& out) const {
        const Font def = fonts_.empty() ? Font{} : fonts_[0];
        for (int i = 0; i < 4; ++i)
            PutFont(out, def);
        for (const Font& f : fonts_)
            PutFont(out, f);
        for (std::size_t i = 0; i < formats_.size(); ++i) {
            Data d;
            d.U16(uint16_t(kFirstUserFormat + i));
            PutString16(d, formats_[i]);
            PutRecord(out, kFormat, d);
        }
        // Style XFs 0..14 ("Normal" and the outline levels), then the default cell XF.
        for (int i = 0; i < 15; ++i)
            PutXf(out, 0, 0, 0xFFF5, 0x20, i == 0 ? 0x00 : 0xF4, 0, 0);
        PutXf(out, 0, 0, 0x0001, 0x20, 0x00, 0, 0);
        for (const Key& k : xfs_) {
            const uint8_t align = uint8_t(k.hAlign | (k.wrap ? 0x08 : 0) | (k.vAlign << 4));
            uint32_t lines = 0, colours = 0;
            auto side = [&](uint8_t bit) { return (k.borders & bit) != 0; };
            if (side(kBorderLeft)) lines |= 1u | (uint32_t(kBorderColourBlack) << 16);
            if (side(kBorderRight)) lines |= (1u << 4) | (uint32_t(kBorderColourBlack) << 23);
            if (side(kBorderTop)) {
                lines |= 1u << 8;
                colours |= kBorderColourBlack;
            }
            if (side(kBorderBottom)) {
                lines |= 1u << 12;
                colours |= uint32_t(kBorderColourBlack) << 7;
            }
            PutXf(out, k.font, k.format, 0x0001, align, k.format ? 0xFC : 0xF8, lines, colours);
        }
        // The built-in "Normal" style on XF 0.
        PutRecord(out, kStyle, Data().U16(0x8000).U8(0).U8(0xFF));
    }

  private:
    struct Key {
        uint16_t font, format;
        uint8_t hAlign, vAlign;
        bool wrap;
        uint8_t borders;
        bool operator==(const Key&) const = default;
    };

    uint16_t FormatIndex(const std::u16string& s) {
        static const std::pair<std::u16string_view, uint16_t> kBuiltIn[] = {
            {u"", 0},         {u"General", 0}, {u"0", 1},      {u"0.00", 2},      {u"#,##0", 3},
            {u"#,##0.00", 4}, {u"0%", 9},      {u"0.00%", 10}, {u"0.00E+00", 11}, {u"@", 49}};
        for (const auto& [text, index] : kBuiltIn)
            if (s == text) return index;
        const auto it = std::find(formats_.begin(), formats_.end(), s);
        if (it != formats_.end()) return uint16_t(kFirstUserFormat + (it - formats_.begin()));
        if (s.size() > 255) Fault("number format longer than 255 characters");
        if (formats_.size() >= 200) Fault("too many number formats");
        formats_.push_back(s);
        return uint16_t(kFirstUserFormat + formats_.size() - 1);
    }

    static void PutFont(std::vector<uint8_t>& out, const Font& f) {
        Data d;
        d.U16(f.heightTwips)
            .U16(uint16_t((f.italic ? 0x02 : 0) | (f.bold ? 0x01 : 0)))
            .U16(0x7FFF)  // automatic colour
            .U16(f.bold ? 700 : 400)
            .U16(0)  // no super/subscript
            .U8(0)   // no underline
            .U8(0)   // family
            .U8(f.charset)
            .U8(0);
        PutString8(d, f.name);
        PutRecord(out, kFont, d);
    }

    static void PutXf(std::vector<uint8_t>& out, uint16_t font, uint16_t format, uint16_t type,
                      uint8_t align, uint8_t used, uint32_t lines, uint32_t colours) {
        PutRecord(out, kXf,
                  Data()
                      .U16(font)
                      .U16(format)
                      .U16(type)
                      .U8(align)
                      .U8(0)  // rotation
                      .U8(0)  // indent, shrink, reading order
                      .U8(used)
                      .U32(lines)
                      .U32(colours)
                      .U16(0x20C0));  // system pattern colours
    }

    const std::vector<Font>& fonts_;
    std::vector<std::u16string> formats_;
    std::vector<Key> xfs_;
};

// ---------------------------------------------------------------------------
// Shared string table.

class StringTable {
  public:
    uint32_t Add(const std::u16string& s) {
        ++total_;
        const auto [it, added] = index_.try_emplace(s, uint32_t(strings_.size()));
        if (added) strings_.push_back(&it->first);
        return it->second;
    }

    // SST with CONTINUE records, then EXTSST. `out` is the stream from its start,
    // so positions in it are stream offsets.
    void Write(std::vector<uint8_t>& out) const {
        const uint32_t unique = uint32_t(strings_.size());
        const uint16_t perBucket = uint16_t(std::max<uint32_t>(unique / 128 + 1, 8));
        Data ext;
        ext.U16(perBucket);

        std::size_t recordStart = out.size();
        auto begin = [&](uint16_t type) {
            recordStart = out.size();
            out.insert(out.end(), {uint8_t(type), uint8_t(type >> 8), 0, 0});
        };
        auto used = [&] { return out.size() - recordStart - 4; };
        auto finish = [&] {
            const std::size_t n = used();
            out[recordStart + 2] = uint8_t(n);
            out[recordStart + 3] = uint8_t(n >> 8);
        };
        auto put16 = [&](uint16_t v) { out.insert(out.end(), {uint8_t(v), uint8_t(v >> 8)}); };

        begin(kSst);
        put16(uint16_t(total_));
        put16(uint16_t(total_ >> 16));
        put16(uint16_t(unique));
        put16(uint16_t(unique >> 16));
        for (uint32_t i = 0; i < unique; ++i) {
            const std::u16string& s = *strings_[i];
            const bool wide = !FitsLatin1(s);
            const std::size_t unit = wide ? 2 : 1;
            // The 3-byte string header never parts from its first character.
            if (used() + 3 + (s.empty() ? 0 : unit) > kMaxRecordData) {
                finish();
                begin(kContinue);
            }
            if (i % perBucket == 0)
                ext.U32(uint32_t(out.size())).U16(uint16_t(out.size() - recordStart)).U16(0);
            put16(uint16_t(s.size()));
            out.push_back(wide ? 1 : 0);
            for (std::size_t pos = 0; pos < s.size();) {
                std::size_t room = (kMaxRecordData - used()) / unit;
                if (room == 0) {
                    // The rest of the string goes on in a CONTINUE that repeats the flags.
                    finish();
                    begin(kContinue);
                    out.push_back(wide ? 1 : 0);
                    continue;
                }
                const std::size_t n = std::min(room, s.size() - pos);
                for (std::size_t k = pos; k < pos + n; ++k) {
                    if (wide)
                        put16(s[k]);
                    else
                        out.push_back(uint8_t(s[k]));
                }
                pos += n;
            }
        }
        finish();
        PutRecord(out, kExtSst, ext);
    }

  private:
    uint32_t total_ = 0;
    std::map<std::u16string, uint32_t> index_;
    std::vector<const std::u16string*> strings_;
};

// ---------------------------------------------------------------------------
// Worksheets.

struct OutCell {
    uint16_t row, col, xf;
    enum Kind : uint8_t { kBlankCell, kTextCell, kNumberCell } kind;
    uint32_t sst;
    double number;
};

char16_t FoldCase(char16_t c) {
    if (c >= u'A' && c <= u'Z') return c + 32;
    if (c >= 0x0410 && c <= 0x042F) return c + 32;  // А..Я
    if (c >= 0x0400 && c <= 0x040F) return c + 80;  // Ѐ..Џ, Ё
    return c;
}

void CheckSheetNames(const std::vector<Sheet>& sheets) {
    std::vector<std::u16string> seen;
    for (const Sheet& s : sheets) {
        const std::string name = "'" + Utf8(s.name) + "'";
        if (s.name.empty() || s.name.size() > 31)
            Fault("sheet name " + name + " must have 1 to 31 characters");
        if (s.name.find_first_of(u"[]:\\?/*") != std::u16string::npos)
            Fault("sheet name " + name + " contains one of []:\\?/*");
        if (s.name.front() == u'\'' || s.name.back() == u'\'')
            Fault("sheet name " + name + " begins or ends with an apostrophe");
        std::u16string folded = s.name;
        std::transform(folded.begin(), folded.end(), folded.begin(), FoldCase);
        if (std::find(seen.begin(), seen.end(), folded) != seen.end())
            Fault("sheet name " + name + " is used twice");
        seen.push_back(std::move(folded));
    }
}

void CheckCellPosition(const Sheet& sheet, uint32_t row, uint32_t col) {
    if (row >= kMaxRows || col >= kMaxColumns)
        Fault(Where(sheet, row, col) + " lies beyond the sheet's 65536 rows and 256 columns");
}

// The sheet's cells resolved to XFs and SST entries, sorted by row and column,
// with blank fillers for the merged ranges.
std::vector<OutCell> ResolveCells(const Sheet& sheet, Styles& styles, StringTable& sst) {
    std::vector<OutCell> cells;
    cells.reserve(sheet.cells.size());
    for (const Cell& c : sheet.cells) {
        CheckCellPosition(sheet, c.row, c.col);
        OutCell o{
            uint16_t(c.row), uint16_t(c.col), styles.CellXf(c.format), OutCell::kBlankCell, 0, 0.0};
        if (const auto* text = std::get_if<std::u16string>(&c.value)) {
            if (text->size() > kMaxTextUnits)
                Fault(Where(sheet, c.row, c.col) + ": text longer than 32767 characters");
            o.kind = OutCell::kTextCell;
            o.sst = sst.Add(*text);
        } else if (const auto* number = std::get_if<double>(&c.value)) {
            if (!std::isfinite(*number))
                Fault(Where(sheet, c.row, c.col) + ": the number is not finite");
            o.kind = OutCell::kNumberCell;
            o.number = *number;
        }
        cells.push_back(o);
    }
    auto before = [](const OutCell& a, const OutCell& b) {
        return std::tie(a.row, a.col) < std::tie(b.row, b.col);
    };
    std::stable_sort(cells.begin(), cells.end(), before);
    for (std::size_t i = 1; i < cells.size(); ++i)
        if (cells[i].row == cells[i - 1].row && cells[i].col == cells[i - 1].col)
            Fault(Where(sheet, cells[i].row, cells[i].col) + " is given twice");

    std::vector<Range> merges = sheet.merges;
    std::sort(merges.begin(), merges.end(),
              [](const Range& a, const Range& b) { return a.firstRow < b.firstRow; });
    for (std::size_t i = 0; i < merges.size(); ++i) {
        const Range& m = merges[i];
        CheckCellPosition(sheet, m.lastRow, m.lastCol);
        if (m.firstRow > m.lastRow || m.firstCol > m.lastCol)
            Fault(Where(sheet, m.firstRow, m.firstCol) + ": merged range ends before it begins");
        for (std::size_t j = i + 1; j < merges.size() && merges[j].firstRow <= m.lastRow; ++j)
            if (merges[j].firstCol <= m.lastCol && m.firstCol <= merges[j].lastCol)
                Fault(Where(sheet, merges[j].firstRow, merges[j].firstCol) +
                      ": merged ranges overlap");
    }

    std::vector<OutCell> fillers;
    auto find = [&](uint32_t row, uint32_t col) {
        const OutCell probe{uint16_t(row), uint16_t(col), 0, OutCell::kBlankCell, 0, 0.0};
        const auto it = std::lower_bound(cells.begin(), cells.end(), probe, before);
        return it != cells.end() && it->row == row && it->col == col ? &*it : nullptr;
    };
    for (const Range& m : merges) {
        const OutCell* corner = find(m.firstRow, m.firstCol);
        if (!corner || corner->xf == kDefaultCellXf) continue;
        for (uint32_t r = m.firstRow; r <= m.lastRow; ++r)
            for (uint32_t c = m.firstCol; c <= m.lastCol; ++c)
                if ((r != m.firstRow || c != m.firstCol) && !find(r, c))
                    fillers.push_back(
                        {uint16_t(r), uint16_t(c), corner->xf, OutCell::kBlankCell, 0, 0.0});
    }
    if (!fillers.empty()) {
        cells.insert(cells.end(), fillers.begin(), fillers.end());
        std::sort(cells.begin(), cells.end(), before);
    }
    return cells;
}

void PutPageSetup(std::vector<uint8_t>& out, const Sheet& sheet) {
    const PageSetup& p = sheet.page;
    PutU16Record(out, kPrintHeaders, 0);
    PutU16Record(out, kPrintGrid, p.printGridlines ? 1 : 0);
    PutU16Record(out, kGridSet, 1);
    PutRecord(out, kGuts, Data().Zeros(8));
    PutRecord(out, kDefaultRowHeight, Data().U16(0).U16(kDefaultRowTwips));
    PutU16Record(out, kWsBool, uint16_t(0x04C1 | (p.fitToWidth ? 0x0100 : 0)));

    std::vector<uint32_t> breaks = sheet.pageBreaks;
    std::sort(breaks.begin(), breaks.end());
    breaks.erase(std::unique(breaks.begin(), breaks.end()), breaks.end());
    std::erase(breaks, 0u);  // a page always begins at row 0
    if (!breaks.empty()) {
        if (breaks.size() > kMaxPageBreaks) Fault("more than 1026 page breaks in a sheet");
        if (breaks.back() >= kMaxRows) Fault("page break beyond row 65535");
        Data d;
        d.U16(uint16_t(breaks.size()));
        for (uint32_t row : breaks)
            d.U16(uint16_t(row)).U16(0).U16(255);
        PutRecord(out, kHorizontalPageBreaks, d);
    }

    for (auto [type, text] : {std::pair{kHeader, &p.header}, std::pair{kFooter, &p.footer}}) {
        if (text->size() > 255) Fault("page header or footer longer than 255 characters");
        Data d;
        if (!text->empty()) PutString16(d, *text);
        PutRecord(out, type, d);
    }
    PutU16Record(out, kHCenter, p.centreHorizontally ? 1 : 0);
    PutU16Record(out, kVCenter, 0);
    PutRecord(out, kLeftMargin, Data().F64(p.leftMargin));
    PutRecord(out, kRightMargin, Data().F64(p.rightMargin));
    PutRecord(out, kTopMargin, Data().F64(p.topMargin));
    PutRecord(out, kBottomMargin, Data().F64(p.bottomMargin));
    // Flags: bit 1 set = portrait; "not initialised" (bit 2) and "no orientation"
    // (bit 6) stay clear so that paper and orientation apply.
    PutRecord(out, kSetup,
              Data()
                  .U16(p.paperSize)
                  .U16(std::clamp<uint16_t>(p.scalePercent, 10, 400))
                  .U16(1)  // first page number
                  .U16(p.fitToWidth)
                  .U16(0)  // fit height: as many pages as needed
                  .U16(p.landscape ? 0x0000 : 0x0002)
                  .U16(300)
                  .U16(300)
                  .F64(p.headerMargin)
                  .F64(p.footerMargin)
                  .U16(1));
}

void PutColumns(std::vector<uint8_t>& out, const Sheet& sheet) {
    PutU16Record(out, kDefColWidth, 8);
    std::vector<Data> records;
    for (auto it = sheet.columnWidths.begin(); it != sheet.columnWidths.end();) {
        const uint32_t first = it->first;
        if (first >= kMaxColumns) Fault("column width given for column " + std::to_string(first));
        uint32_t last = first;
        const uint16_t width = it->second;
        for (++it; it != sheet.columnWidths.end() && it->first == last + 1 && it->second == width;
             ++it)
            ++last;
        records.push_back(Data()
                              .U16(uint16_t(first))
                              .U16(uint16_t(last))
                              .U16(width)
                              .U16(kDefaultCellXf)
                              .U16(0x0002)  // width set by the user
                              .U16(0));
    }
    if (records.size() > 255) Fault("more than 255 distinct column widths");
    for (const Data& d : records)
        PutRecord(out, kColInfo, d);
}

std::vector<uint8_t> BuildSheet(const Sheet& sheet, bool active,
                                const std::vector<OutCell>& cells) {
    std::vector<uint8_t> out;
    PutBof(out, 0x0010);
    PutU16Record(out, kCalcMode, 1);
    PutU16Record(out, kCalcCount, 100);
    PutU16Record(out, kCalcRefMode, 1);
    PutU16Record(out, kCalcIter, 0);
    PutRecord(out, kCalcDelta, Data().F64(0.001));
    PutU16Record(out, kCalcSaveRecalc, 1);
    PutPageSetup(out, sheet);
    PutColumns(out, sheet);
    if (sheet.autoFilter) {
        // The number of filter buttons: one per column of the range.
        const Range& f = *sheet.autoFilter;
        PutU16Record(out, kAutoFilterInfo, uint16_t(f.lastCol - f.firstCol + 1));
    }

    Data dim;
    if (cells.empty()) {
        dim.Zeros(14);
    } else {
        uint16_t firstCol = 255, lastCol = 0;
        for (const OutCell& c : cells) {
            firstCol = std::min(firstCol, c.col);
            lastCol = std::max(lastCol, c.col);
        }
        dim.U32(cells.front().row)
            .U32(uint32_t(cells.back().row) + 1)
            .U16(firstCol)
            .U16(uint16_t(lastCol + 1))
            .U16(0);
    }
    PutRecord(out, kDimensions, dim);

    // Rows that need a ROW record: those with cells or a height of their own.
    std::vector<uint32_t> rows;
    for (const OutCell& c : cells)
        if (rows.empty() || rows.back() != c.row) rows.push_back(c.row);
    for (const auto& [row, height] : sheet.rowHeights) {
        if (row >= kMaxRows) Fault("row height given for row " + std::to_string(row));
        if (height > 8192) Fault("row height above 8192 twips for row " + std::to_string(row));
        rows.push_back(row);
    }
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());

    // Blocks of 32 rows: the ROW records, then the cells of those rows.
    auto cell = cells.begin();
    for (auto row = rows.begin(); row != rows.end();) {
        const uint32_t block = *row / 32;
        auto blockEnd = row;
        auto cellEnd = cell;
        for (; blockEnd != rows.end() && *blockEnd / 32 == block; ++blockEnd) {
            const auto rowCells = cellEnd;
            while (cellEnd != cells.end() && cellEnd->row == *blockEnd)
                ++cellEnd;
            const auto h = sheet.rowHeights.find(*blockEnd);
            const bool custom = h != sheet.rowHeights.end();
            Data d;
            d.U16(uint16_t(*blockEnd));
            if (rowCells == cellEnd)
                d.U16(0).U16(0);
            else
                d.U16(rowCells->col).U16(uint16_t((cellEnd - 1)->col + 1));
            d.U16(custom ? h->second : kDefaultRowTwips)
                .U16(0)
                .U16(0)
                .U32(custom ? 0x000F0140 : 0x000F0100);
            PutRecord(out, kRow, d);
        }
        for (; cell != cellEnd; ++cell) {
            Data d;
            d.U16(cell->row).U16(cell->col).U16(cell->xf);
            switch (cell->kind) {
                case OutCell::kTextCell:
                    PutRecord(out, kLabelSst, d.U32(cell->sst));
                    break;
                case OutCell::kNumberCell:
                    PutRecord(out, kNumber, d.F64(cell->number));
                    break;
                case OutCell::kBlankCell:
                    PutRecord(out, kBlank, d);
                    break;
            }
        }
        row = blockEnd;
    }

    // Frozen rows: WINDOW2's fFrozen (0x0008) and fFrozenNoSplit (0x0100), then
    // a PANE whose split is counted in rows; the lower pane (2) is active.
    const bool frozen = sheet.frozenRows > 0;
    PutRecord(out, kWindow2,
              Data()
                  .U16(uint16_t((active ? 0x06B6 : 0x00B6) | (frozen ? 0x0108 : 0)))
                  .U16(0)   // top row
                  .U16(0)   // left column
                  .U16(64)  // automatic gridline colour
                  .U16(0)
                  .U16(0)
                  .U16(0)
                  .U32(0));
    if (frozen)
        PutRecord(out, kPane,
                  Data()
                      .U16(0)                           // no columns frozen
                      .U16(uint16_t(sheet.frozenRows))  // rows in the upper pane
                      .U16(uint16_t(sheet.frozenRows))  // first row of the lower pane
                      .U16(0)                           // first column of the right pane
                      .U8(2)                            // active pane: lower left
                      .U8(0));

    for (std::size_t i = 0; i < sheet.merges.size(); i += kMaxMergesPerRecord) {
        const std::size_t n = std::min(kMaxMergesPerRecord, sheet.merges.size() - i);
        Data d;
        d.U16(uint16_t(n));
        for (std::size_t k = i; k < i + n; ++k) {
            const Range& m = sheet.merges[k];
            d.U16(uint16_t(m.firstRow))
                .U16(uint16_t(m.lastRow))
                .U16(uint16_t(m.firstCol))
                .U16(uint16_t(m.lastCol));
        }
        PutRecord(out, kMergedCells, d);
    }
    PutRecord(out, kEof, Data());
    return out;
}

// Checks the sheet's frozen rows and filter range.
void CheckViews(const Sheet& sheet) {
    if (sheet.frozenRows >= kMaxRows)
        Fault("sheet '" + Utf8(sheet.name) + "': frozen rows beyond row 65535");
    if (const auto& f = sheet.autoFilter) {
        CheckCellPosition(sheet, f->lastRow, f->lastCol);
        if (f->firstRow > f->lastRow || f->firstCol > f->lastCol)
            Fault(Where(sheet, f->firstRow, f->firstCol) + ": filter range ends before it begins");
    }
    if (const auto& rows = sheet.page.repeatRows)
        if (rows->first > rows->second || rows->second >= kMaxRows)
            Fault("rows to repeat on every page are out of range");
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

std::vector<uint8_t> BuildWorkbook(const Workbook& book) {
    if (book.sheets.empty()) Fault("a workbook needs at least one sheet");
    if (book.sheets.size() > 1000) Fault("too many sheets");
    CheckSheetNames(book.sheets);
    for (const Sheet& s : book.sheets)
        CheckViews(s);

    Styles styles(book.fonts);
    StringTable sst;
    std::vector<std::vector<OutCell>> sheetCells;
    for (const Sheet& s : book.sheets)
        sheetCells.push_back(ResolveCells(s, styles, sst));

    std::vector<uint8_t> out;
    PutBof(out, 0x0005);
    PutU16Record(out, kInterfaceHdr, 0x04B0);
    PutU16Record(out, kMms, 0);
    PutRecord(out, kInterfaceEnd, Data());
    {
        // The user name, padded with spaces to 112 bytes.
        const std::size_t max = FitsLatin1(book.author) ? 109 : 54;
        Data d;
        PutString16(d, std::u16string_view(book.author).substr(0, max));
        while (d.size() < 112)
            d.U8(' ');
        PutRecord(out, kWriteAccess, d);
    }
    PutU16Record(out, kCodepage, 1200);
    PutU16Record(out, kDsf, 0);
    {
        Data d;
        for (std::size_t i = 0; i < book.sheets.size(); ++i)
            d.U16(uint16_t(i + 1));
        PutRecord(out, kTabId, d);
    }
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
    styles.Write(out);
    PutU16Record(out, kUsesElfs, 0);

    std::vector<std::size_t> offsetFields;
    for (const Sheet& s : book.sheets) {
        offsetFields.push_back(out.size() + 4);
        Data d;
        d.U32(0).U8(0).U8(0);  // offset patched below; visible worksheet
        PutString8(d, s.name);
        PutRecord(out, kBoundSheet, d);
    }
    PutRecord(out, kCountry, Data().U16(7).U16(7));
    PutNames(out, book.sheets);
    sst.Write(out);
    PutRecord(out, kEof, Data());

    for (std::size_t i = 0; i < book.sheets.size(); ++i) {
        const auto offset = uint32_t(out.size());
        for (int k = 0; k < 4; ++k)
            out[offsetFields[i] + k] = uint8_t(offset >> (8 * k));
        const auto sheet = BuildSheet(book.sheets[i], i == 0, sheetCells[i]);
        out.insert(out.end(), sheet.begin(), sheet.end());
    }
    return out;
}

bool SaveWorkbook(const Workbook& book, const std::string& utf8Path, std::string* error) {
    std::vector<uint8_t> stream;
    try {
        stream = BuildWorkbook(book);
    } catch (const std::exception& e) {
        if (error) *error = "cannot write '" + utf8Path + "': " + e.what();
        return false;
    }
    return WriteCompoundFile(utf8Path, stream, error);
}

}  // namespace host::xls
