#include "report/report_xls.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <map>
#include <tuple>

#include "common/cp1251.h"
#include "report/report_text.h"

namespace host::report {

namespace {

using host::xls::CellFormat;
using host::xls::Font;

constexpr std::u16string_view kSheetName = u"Отчет";
constexpr uint32_t kMaxRows = host::xls::kMaxRows;
// Character units a column keeps beside its widest text.
constexpr double kColumnPaddingChars = 1.5;
constexpr double kTwipsPerMm = 1440.0 / 25.4;

// Grid positions in hundredths of a millimetre, so that edges computed by
// different rows meet exactly.
long Grid(double mm) {
    return std::lround(mm * 100.0);
}

class FontTable {
  public:
    explicit FontTable(std::vector<Font>& fonts) : fonts_(fonts) {}
    int Index(const HReportFont& f) {
        const auto key = std::make_tuple(f.Name, std::abs(f.Height), f.Bold);
        auto it = index_.find(key);
        if (it != index_.end()) return it->second;
        Font font;
        font.name = host::Cp1251ToUtf16(f.Name);
        font.heightTwips = host::xls::FontHeightFromPixels(f.Height);
        font.bold = f.Bold;
        fonts_.push_back(font);
        const int i = int(fonts_.size()) - 1;
        index_.emplace(key, i);
        return i;
    }

  private:
    std::vector<Font>& fonts_;
    std::map<std::tuple<std::string, int, bool>, int> index_;
};

host::xls::HAlign HAlignOf(HReportAlignment a) {
    switch (a) {
        case hraCenter:
            return host::xls::HAlign::Centre;
        case hraRight:
            return host::xls::HAlign::Right;
        default:
            return host::xls::HAlign::Left;
    }
}

uint16_t RowTwips(double mm) {
    return uint16_t(std::clamp(mm * kTwipsPerMm, 1.0, 8192.0));
}

// Characters of the longest line of a cp1251 text (one byte a character).
std::size_t LongestLine(std::string_view text) {
    std::size_t longest = 0;
    for (std::size_t start = 0;;) {
        const std::size_t nl = text.find('\n', start);
        const std::size_t end = nl == std::string_view::npos ? text.size() : nl;
        longest = std::max(longest, end - start);
        if (nl == std::string_view::npos) return longest;
        start = nl + 1;
    }
}

// The table's columns: the first band's item columns, their edges on the grid.
class Columns {
  public:
    explicit Columns(const std::vector<HReportColumnPlace>& places) {
        for (const HReportColumnPlace& p : places) {
            if (edges_.empty()) edges_.push_back(Grid(p.Left));
            edges_.push_back(Grid(p.Left + p.Width));
        }
    }
    uint32_t Count() const { return edges_.empty() ? 0 : uint32_t(edges_.size() - 1); }
    // The edge (0..Count) nearest to `mm`.
    uint32_t NearestEdge(double mm) const {
        const long g = Grid(mm);
        uint32_t best = 0;
        for (uint32_t i = 1; i < edges_.size(); ++i)
            if (std::labs(edges_[i] - g) < std::labs(edges_[best] - g)) best = i;
        return best;
    }
    bool IsEdge(double mm) const {
        const long g = Grid(mm);
        return std::any_of(edges_.begin(), edges_.end(),
                           [g](long e) { return std::labs(e - g) <= 1; });
    }
    // Whether the cell spans column `c` (holds its left edge; a column of no
    // width belongs to the cell that begins there).
    bool Covers(const HReportCell& cell, uint32_t c) const {
        const long left = Grid(cell.Left), right = Grid(cell.Left + cell.Width);
        return left <= edges_[c] + 1 && edges_[c] + 1 < right;
    }

  private:
    std::vector<long> edges_;
};

// A row of the layout made of column captions: two or more cells, each on the
// table's column edges.
bool IsCaptionRow(const HReportRow& row, const Columns& columns) {
    int cells = 0;
    for (const HReportCell& c : row.Cells) {
        if (Grid(c.Width) <= 0) continue;
        if (!columns.IsEdge(c.Left) || !columns.IsEdge(c.Left + c.Width)) return false;
        ++cells;
    }
    return cells >= 2;
}

// The header row's caption of column `c`: the top caption above it, then the
// lower ones ("Датчик: значение, начало"), and the cell that gave the first.
std::pair<std::string, const HReportCell*> Caption(const std::vector<const HReportRow*>& rows,
                                                   const Columns& columns, uint32_t c) {
    std::vector<std::string> parts;
    const HReportCell* first = nullptr;
    for (const HReportRow* row : rows)
        for (const HReportCell& cell : row->Cells) {
            if (cell.Text.empty() || !columns.Covers(cell, c)) continue;
            std::string part = cell.Text;
            std::replace(part.begin(), part.end(), '\n', ' ');
            parts.push_back(std::move(part));
            if (!first) first = &cell;
        }
    std::string text;
    for (std::size_t i = 0; i < parts.size(); ++i)
        text += (i == 0 ? "" : i == 1 ? ": " : ", ") + parts[i];
    return {text, first};
}

// The sheet's page footer from the layout's footers: each cell's text in the
// part its alignment names, "&" doubled, the page stand-ins as &P and &N.
std::u16string FooterCode(const std::vector<const HReportRow*>& footers) {
    std::string parts[3];  // left, centre, right
    for (const HReportRow* row : footers)
        for (const HReportCell& cell : row->Cells) {
            if (cell.Text.empty()) continue;
            std::string text;
            for (char ch : cell.Text)
                text += ch == '&' ? std::string("&&") : std::string(1, ch);
            for (auto [standIn, code] :
                 {std::pair{kPageNumberStandIn, "&P"}, std::pair{kPageCountStandIn, "&N"}}) {
                const std::string digits = std::to_string(standIn);
                for (std::size_t at; (at = text.find(digits)) != std::string::npos;)
                    text.replace(at, digits.size(), code);
            }
            std::string& part = parts[cell.Alignment == hraCenter  ? 1
                                      : cell.Alignment == hraRight ? 2
                                                                   : 0];
            if (!part.empty()) part += ' ';
            part += text;
        }
    std::string code;
    const char* section[3] = {"&L", "&C", "&R"};
    for (int i = 0; i < 3; ++i)
        if (!parts[i].empty()) code += section[i] + parts[i];
    std::u16string out = host::Cp1251ToUtf16(code);
    if (out.size() > 255) {
        out.resize(255);
        // A code cut after its "&" would change the meaning of what follows.
        std::size_t amps = 0;
        for (auto it = out.rbegin(); it != out.rend() && *it == u'&'; ++it)
            ++amps;
        if (amps % 2) out.pop_back();
    }
    return out;
}

// Where the sheets go: a Workbook model, or a WorkbookWriter that writes them
// as they come. A sheet begins with AddSheet; AddRows adds rows below.
class SheetSink {
  public:
    virtual ~SheetSink() = default;
    virtual void AddSheet(const host::xls::Sheet& sheet) = 0;
    virtual void AddRows(const host::xls::Sheet& rows) = 0;
};

class ModelSink : public SheetSink {
  public:
    explicit ModelSink(host::xls::Workbook& book) : book_(book) {}
    void AddSheet(const host::xls::Sheet& sheet) override { book_.sheets.push_back(sheet); }
    void AddRows(const host::xls::Sheet& rows) override {
        host::xls::Sheet& s = book_.sheets.back();
        s.cells.insert(s.cells.end(), rows.cells.begin(), rows.cells.end());
        s.rowHeights.insert(rows.rowHeights.begin(), rows.rowHeights.end());
        s.merges.insert(s.merges.end(), rows.merges.begin(), rows.merges.end());
    }

  private:
    host::xls::Workbook& book_;
};

// Hands the writer the fonts the sheets came to use before their rows.
class WriterSink : public SheetSink {
  public:
    WriterSink(host::xls::WorkbookWriter& writer, const std::vector<Font>& fonts)
        : writer_(writer), fonts_(fonts) {}
    void AddSheet(const host::xls::Sheet& sheet) override {
        AddFonts();
        writer_.AddSheet(sheet);
    }
    void AddRows(const host::xls::Sheet& rows) override {
        AddFonts();
        writer_.AddRows(rows);
    }

  private:
    void AddFonts() {
        for (; given_ < fonts_.size(); ++given_)
            writer_.AddFont(fonts_[given_]);
    }

    host::xls::WorkbookWriter& writer_;
    const std::vector<Font>& fonts_;
    std::size_t given_ = 0;
};

// What the sheet needs to know of the items before the first is written: how
// many there are and, by the cell's place, the characters of the default font
// that the widest shown text needs (at least 1).
class ItemMeasure {
  public:
    void Add(const HReportRow& item) {
        ++count_;
        if (chars_.size() < item.Cells.size()) chars_.resize(item.Cells.size(), 1.0);
        for (std::size_t c = 0; c < item.Cells.size(); ++c)
            chars_[c] = std::max(chars_[c], DisplayChars(item.Cells[c]));
    }
    std::size_t Count() const { return count_; }
    double Chars(std::size_t c) const { return c < chars_.size() ? chars_[c] : 1.0; }

  private:
    double DisplayChars(const HReportCell& cell) const {
        std::size_t n = 0;
        if (cell.Value.kind == HReportValue::DateTime)
            n = std::max(cell.Value.format.size(), cell.Text.size());
        else
            n = LongestLine(cell.Text);
        return double(n) * CharWidthMm(cell.Font) / defaultCharMm_;
    }

    const double defaultCharMm_ = CharWidthMm(HReportFont{});
    std::size_t count_ = 0;
    std::vector<double> chars_;
};

// Hands each item row, in order, to its argument.
using ItemSource = std::function<void(const std::function<void(const HReportRow&)>&)>;

// Builds the workbook from the headers and footers of a continuous layout and
// its items, which come one at a time after they have been measured.
class SheetMaker {
  public:
    SheetMaker(const HReportDocument& doc, std::vector<Font>& fonts, SheetSink& sink)
        : doc_(doc), sink_(sink), fonts_(fonts), columns_(doc.ItemColumns) {
        fonts_.Index(HReportFont{});  // the workbook's default font and width unit
        defaultCharMm_ = CharWidthMm(HReportFont{});
        for (const HReportRow& row : doc.Pages.front().Rows) {
            if (row.Kind == HReportRowKind::Header)
                (IsCaptionRow(row, columns_) ? captionRows_ : titleRows_).push_back(&row);
            else if (row.Kind != HReportRowKind::Item && row.EveryPage)
                footers_.push_back(&row);  // a footer of every page
        }
        // Titles printed on the first page only go above those of every page,
        // so that the rows repeated on each printed page are one block.
        std::stable_partition(titleRows_.begin(), titleRows_.end(),
                              [](const HReportRow* r) { return !r->EveryPage; });
    }

    void Make(const ItemMeasure& measure, const ItemSource& items,
              const host::xls::TemplateSheet* templ, const host::xls::NameResolver& resolve) {
        itemCount_ = measure.Count();
        if (columns_.Count() > 0) MakeHeader(measure);
        host::xls::Sheet head = NewSheet(std::u16string(kSheetName));
        uint32_t r = 0;
        if (templ) {
            for (const host::xls::TemplateCell& c : templ->cells) {
                if (c.kind == host::xls::TemplateCell::Kind::Number)
                    head.SetNumber(c.row, c.col, std::strtod(c.text.c_str(), nullptr));
                else
                    head.SetText(c.row, c.col,
                                 host::Utf8ToUtf16(host::xls::ReplaceMarkers(c.text, resolve)));
            }
            r = templ->rows;
        }
        if (columns_.Count() == 0) return sink_.AddSheet(head);  // no band: the template alone
        // The report begins below the template, or on a sheet of its own when
        // its title rows and header row would not fit there.
        if (r + titleRows_.size() + 1 > kMaxRows) {
            sink_.AddSheet(head);
            head = NewSheet(std::u16string(kSheetName) + u" (2)");
            r = 0;
        }
        uint32_t printedFrom = r;
        for (const HReportRow* row : titleRows_) {
            if (!row->EveryPage) printedFrom = r + 1;
            PutTitle(head, *row, r++);
        }
        StartTable(head, printedFrom, r);
        sink_.AddSheet(head);
        PutItems(items, r + 1);
    }

  private:
    // The items from row `r` of the current sheet on, past its last row on
    // sheets of their own.
    void PutItems(const ItemSource& items, uint32_t r) {
        host::xls::Sheet rows;
        items([&](const HReportRow& item) {
            if (r >= kMaxRows) {
                host::xls::Sheet next =
                    NewSheet(std::u16string(kSheetName) + u" (" +
                             host::Cp1251ToUtf16(std::to_string(sheets_ + 1)) + u")");
                StartTable(next, 0, 0);
                sink_.AddSheet(next);
                r = 1;
            }
            rows.cells.clear();
            rows.rowHeights.clear();
            PutItem(rows, item, r++);
            sink_.AddRows(rows);
            ++placed_;
        });
    }

    // A sheet, with the table's column widths when there is a table.
    host::xls::Sheet NewSheet(std::u16string name) {
        ++sheets_;
        host::xls::Sheet sheet;
        sheet.name = std::move(name);
        for (uint32_t c = 0; c < columns_.Count(); ++c)
            sheet.columnWidths[c] = widths_[c];
        return sheet;
    }

    // The captions and the column widths, which every table sheet shares.
    void MakeHeader(const ItemMeasure& measure) {
        std::vector<double> chars(columns_.Count());
        for (uint32_t c = 0; c < columns_.Count(); ++c)
            chars[c] = measure.Chars(c);
        double height = 0;
        for (uint32_t c = 0; c < columns_.Count(); ++c) {
            auto [text, from] = Caption(captionRows_, columns_, c);
            HReportFont font = from ? from->Font : HReportFont{};
            if (!from) font.Bold = true;
            const double charScale = CharWidthMm(font) / defaultCharMm_;
            // A caption may wrap onto about two lines, but not inside a word.
            std::size_t longestWord = 0;
            for (std::size_t at = 0; at < text.size();) {
                const std::size_t end = std::min(text.find(' ', at), text.size());
                longestWord = std::max(longestWord, end - at);
                at = end + 1;
            }
            const double wanted =
                std::max(double(longestWord), std::ceil(double(text.size()) / 2.0)) * charScale;
            chars[c] = std::min(std::max(chars[c], wanted), double(kMaxColumnChars));
            widths_.push_back(uint16_t((chars[c] + kColumnPaddingChars) * 256.0));
            const int lines = std::max(1, CountLines(text, font, chars[c] * defaultCharMm_, true));
            height = std::max(height, lines * LineHeightMm(font));
            CellFormat f;
            f.font = fonts_.Index(font);
            f.hAlign = host::xls::HAlign::Centre;
            f.vAlign = host::xls::VAlign::Centre;
            f.wrap = true;
            f.borders = host::xls::kBorderAll;
            captions_.emplace_back(host::Cp1251ToUtf16(text), f);
        }
        headerTwips_ = RowTwips(height + 2 * kCellPaddingY);
    }

    CellFormat FormatOf(const HReportCell& c) {
        CellFormat f;
        f.font = fonts_.Index(c.Font);
        f.hAlign = HAlignOf(c.Alignment);
        f.vAlign = host::xls::VAlign::Centre;
        f.wrap = c.WordWrap || c.Text.find('\n') != std::string::npos;
        f.borders = uint8_t(c.Bounds & 15);
        return f;
    }

    void PutTitle(host::xls::Sheet& sheet, const HReportRow& row, uint32_t r) {
        sheet.rowHeights[r] = RowTwips(row.Height);
        uint32_t taken = 0;  // columns left of this are used by earlier cells
        for (const HReportCell& c : row.Cells) {
            uint32_t first = std::max(columns_.NearestEdge(c.Left), taken);
            uint32_t last = columns_.NearestEdge(c.Left + c.Width);
            if (last <= first) {
                // A text too narrow for a column of its own still gets one, if
                // need be right of the table.
                if (c.Text.empty() || first >= host::xls::kMaxColumns) continue;
                last = first + 1;
            }
            const CellFormat f = FormatOf(c);
            if (c.Text.empty())
                sheet.SetBlank(r, first, f);
            else
                sheet.SetText(r, first, host::Cp1251ToUtf16(c.Text), f);
            if (last - first > 1) sheet.Merge(r, first, r, last - 1);
            taken = last;
        }
    }

    // The header row at `headerRow`, frozen and printed on every page with the
    // rows from `printedFrom`.
    void StartTable(host::xls::Sheet& sheet, uint32_t printedFrom, uint32_t headerRow) {
        // The items this sheet takes, below the header row.
        const std::size_t left = itemCount_ > placed_ ? itemCount_ - placed_ : 0;
        const auto rows = uint32_t(std::min<std::size_t>(left, kMaxRows - headerRow - 1));
        for (uint32_t c = 0; c < columns_.Count(); ++c)
            sheet.SetText(headerRow, c, captions_[c].first, captions_[c].second);
        sheet.rowHeights[headerRow] = headerTwips_;
        sheet.frozenRows = headerRow + 1;
        sheet.autoFilter = host::xls::Range{headerRow, headerRow + rows, 0, columns_.Count() - 1};
        host::xls::PageSetup& ps = sheet.page;
        ps.paperSize = 9;
        ps.landscape = doc_.Orientation == poLandscape;
        ps.leftMargin = doc_.PageCel.MarginLeft / 25.4;
        ps.rightMargin = doc_.PageCel.MarginRight / 25.4;
        ps.topMargin = doc_.PageCel.MarginTop / 25.4;
        ps.headerMargin = 0;
        // The footer stands where the pages put it: above the bottom margin,
        // which grows by the footer's height.
        double footerMm = 0;
        for (const HReportRow* row : footers_)
            footerMm += row->Height;
        ps.footer = FooterCode(footers_);
        ps.footerMargin = ps.footer.empty() ? 0 : doc_.PageCel.MarginBottom / 25.4;
        ps.bottomMargin = (doc_.PageCel.MarginBottom + (ps.footer.empty() ? 0 : footerMm)) / 25.4;
        ps.fitToWidth = 1;
        ps.repeatRows = std::pair<uint32_t, uint32_t>(printedFrom, headerRow);
    }

    // An item row as high as its texts need in the sheet's columns (and its
    // columns' minimum heights), as the pages measure them.
    uint16_t ItemTwips(const HReportRow& row) const {
        double h = 0;
        for (uint32_t c = 0; c < columns_.Count() && c < row.Cells.size(); ++c) {
            const HReportCell& cell = row.Cells[c];
            const int lines =
                cell.Value.kind != HReportValue::None
                    ? 1
                    : CountLines(cell.Text, cell.Font,
                                 (widths_[c] / 256.0 - kColumnPaddingChars) * defaultCharMm_,
                                 cell.WordWrap);
            h = std::max({h, lines * LineHeightMm(cell.Font), cell.MinHeight});
        }
        if (h <= 0) h = LineHeightMm(HReportFont{});
        return RowTwips(h + 2 * kCellPaddingY);
    }

    void PutItem(host::xls::Sheet& sheet, const HReportRow& row, uint32_t r) {
        sheet.rowHeights[r] = ItemTwips(row);
        for (uint32_t c = 0; c < columns_.Count() && c < row.Cells.size(); ++c) {
            const HReportCell& cell = row.Cells[c];
            CellFormat f = FormatOf(cell);
            if (cell.Value.kind != HReportValue::None && std::isfinite(cell.Value.number)) {
                f.numberFormat = host::Cp1251ToUtf16(cell.Value.format);
                sheet.SetNumber(r, c, cell.Value.number, f);
            } else if (!cell.Text.empty()) {
                sheet.SetText(r, c, host::Cp1251ToUtf16(cell.Text), f);
            } else if (!(f == CellFormat{})) {
                sheet.SetBlank(r, c, f);
            }
        }
    }

    const HReportDocument& doc_;
    SheetSink& sink_;
    FontTable fonts_;
    Columns columns_;
    double defaultCharMm_ = 1;
    std::vector<const HReportRow*> titleRows_, captionRows_, footers_;
    std::vector<std::pair<std::u16string, CellFormat>> captions_;
    std::vector<uint16_t> widths_;
    uint16_t headerTwips_ = 0;
    std::size_t itemCount_ = 0;
    std::size_t placed_ = 0;  // items written so far
    std::size_t sheets_ = 0;  // sheets begun so far
};

}  // namespace

host::xls::Workbook MakeWorkbook(const HReportDocument& doc, const host::xls::TemplateSheet* templ,
                                 const host::xls::NameResolver& resolve) {
    const auto items = [&doc](const std::function<void(const HReportRow&)>& each) {
        for (const HReportPage& page : doc.Pages)
            for (const HReportRow& row : page.Rows)
                if (row.Kind == HReportRowKind::Item) each(row);
    };
    ItemMeasure measure;
    items([&measure](const HReportRow& row) { measure.Add(row); });
    host::xls::Workbook book;
    ModelSink sink(book);
    SheetMaker(doc, book.fonts, sink).Make(measure, items, templ, resolve);
    return book;
}

void WriteWorkbook(const ContinuousLayout& layout, const host::xls::TemplateSheet* templ,
                   const host::xls::NameResolver& resolve, host::xls::WorkbookWriter& writer) {
    ItemMeasure measure;
    const HReportDocument doc = layout([&measure](HReportRow&& row) { measure.Add(row); });
    const auto items = [&layout](const std::function<void(const HReportRow&)>& each) {
        layout([&each](HReportRow&& row) { each(row); });
    };
    std::vector<Font> fonts;
    WriterSink sink(writer, fonts);
    SheetMaker(doc, fonts, sink).Make(measure, items, templ, resolve);
}

}  // namespace host::report
