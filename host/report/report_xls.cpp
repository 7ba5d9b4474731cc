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

// Builds the workbook from the rows of the continuous layout.
class SheetMaker {
  public:
    SheetMaker(const HReportDocument& doc, host::xls::Workbook& book)
        : doc_(doc), book_(book), fonts_(book.fonts), columns_(doc.ItemColumns) {
        fonts_.Index(HReportFont{});  // the workbook's default font and width unit
        defaultCharMm_ = CharWidthMm(HReportFont{});
        for (const HReportPage& page : doc.Pages)
            for (const HReportRow& row : page.Rows) {
                if (row.Kind == HReportRowKind::Item)
                    items_.push_back(&row);
                else if (&page == &doc.Pages.front() && row.Kind == HReportRowKind::Header)
                    (IsCaptionRow(row, columns_) ? captionRows_ : titleRows_).push_back(&row);
                else if (&page == &doc.Pages.front() && row.EveryPage)
                    footers_.push_back(&row);  // a footer of every page
            }
        // Titles printed on the first page only go above those of every page,
        // so that the rows repeated on each printed page are one block.
        std::stable_partition(titleRows_.begin(), titleRows_.end(),
                              [](const HReportRow* r) { return !r->EveryPage; });
    }

    void Make(const host::xls::TemplateSheet* templ, const host::xls::NameResolver& resolve) {
        book_.sheets.emplace_back().name = std::u16string(kSheetName);
        uint32_t r = 0;
        if (templ) {
            host::xls::Sheet& sheet = book_.sheets.back();
            for (const host::xls::TemplateCell& c : templ->cells) {
                if (c.kind == host::xls::TemplateCell::Kind::Number)
                    sheet.SetNumber(c.row, c.col, std::strtod(c.text.c_str(), nullptr));
                else
                    sheet.SetText(c.row, c.col,
                                  host::Utf8ToUtf16(host::xls::ReplaceMarkers(c.text, resolve)));
            }
            r = templ->rows;
        }
        if (columns_.Count() == 0) return;  // no band: the template alone
        MakeHeader();
        // The report begins below the template, or on a sheet of its own when
        // its title rows and header row would not fit there.
        if (r + titleRows_.size() + 1 > kMaxRows) {
            book_.sheets.emplace_back().name = std::u16string(kSheetName) + u" (2)";
            r = 0;
        }
        host::xls::Sheet* sheet = &book_.sheets.back();
        uint32_t printedFrom = r;
        for (const HReportRow* row : titleRows_) {
            if (!row->EveryPage) printedFrom = r + 1;
            PutTitle(*sheet, *row, r++);
        }
        StartTable(*sheet, printedFrom, r);
        r += 1;
        for (const HReportRow* item : items_) {
            if (r >= kMaxRows) {
                FinishTable(*sheet, r - 1);
                sheet = &book_.sheets.emplace_back();
                sheet->name = std::u16string(kSheetName) + u" (" +
                              host::Cp1251ToUtf16(std::to_string(book_.sheets.size())) + u")";
                StartTable(*sheet, 0, 0);
                r = 1;
            }
            PutItem(*sheet, *item, r++);
            ++placed_;
        }
        FinishTable(*sheet, r - 1);
        for (host::xls::Sheet& s : book_.sheets)
            for (uint32_t c = 0; c < columns_.Count(); ++c)
                s.columnWidths[c] = widths_[c];
    }

  private:
    // The captions and the column widths, which every table sheet shares.
    void MakeHeader() {
        std::vector<double> chars(columns_.Count(), 1.0);
        for (const HReportRow* item : items_)
            for (uint32_t c = 0; c < columns_.Count() && c < item->Cells.size(); ++c)
                chars[c] = std::max(chars[c], DisplayChars(item->Cells[c]));
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

    // Characters of the default font that the cell's shown text needs.
    double DisplayChars(const HReportCell& cell) const {
        std::size_t n = 0;
        if (cell.Value.kind == HReportValue::DateTime)
            n = std::max(cell.Value.format.size(), cell.Text.size());
        else
            n = LongestLine(cell.Text);
        return double(n) * CharWidthMm(cell.Font) / defaultCharMm_;
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
        const std::size_t rows =
            std::min<std::size_t>(items_.size() - placed_, kMaxRows - headerRow);
        sheet.cells.reserve(sheet.cells.size() + (rows + 1) * columns_.Count());
        for (uint32_t c = 0; c < columns_.Count(); ++c)
            sheet.SetText(headerRow, c, captions_[c].first, captions_[c].second);
        sheet.rowHeights[headerRow] = headerTwips_;
        sheet.frozenRows = headerRow + 1;
        sheet.autoFilter = host::xls::Range{headerRow, headerRow, 0, columns_.Count() - 1};
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

    void FinishTable(host::xls::Sheet& sheet, uint32_t lastRow) {
        sheet.autoFilter->lastRow = std::max(sheet.autoFilter->lastRow, lastRow);
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
    host::xls::Workbook& book_;
    FontTable fonts_;
    Columns columns_;
    double defaultCharMm_ = 1;
    std::vector<const HReportRow*> titleRows_, captionRows_, items_, footers_;
    std::vector<std::pair<std::u16string, CellFormat>> captions_;
    std::vector<uint16_t> widths_;
    uint16_t headerTwips_ = 0;
    std::size_t placed_ = 0;  // items written so far
};

}  // namespace

host::xls::Workbook MakeWorkbook(const HReportDocument& doc, const host::xls::TemplateSheet* templ,
                                 const host::xls::NameResolver& resolve) {
    host::xls::Workbook book;
    SheetMaker(doc, book).Make(templ, resolve);
    return book;
}

}  // namespace host::report
