#include "report/report_xls.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <map>
#include <set>

#include "common/cp1251.h"

namespace host::report {

namespace {

using host::xls::CellFormat;
using host::xls::Font;

// Grid positions in hundredths of a millimetre, so that boundaries computed by
// different rows meet exactly.
long Grid(double mm) {
    return std::lround(mm * 100.0);
}

std::u16string Utf8ToUtf16(std::string_view utf8) {
    std::u16string out;
    std::size_t i = 0;
    while (i < utf8.size()) {
        char32_t cp = host::DecodeUtf8(utf8, i);
        if (cp == 0xFFFFFFFF) cp = 0xFFFD;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(char16_t(0xD800 + (cp >> 10)));
            out.push_back(char16_t(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(char16_t(cp));
        }
    }
    return out;
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

}  // namespace

host::xls::Workbook MakeWorkbook(const HReportDocument& doc, const host::xls::TemplateSheet* templ,
                                 const host::xls::NameResolver& resolve) {
    host::xls::Workbook book;
    FontTable fonts(book.fonts);
    fonts.Index(HReportFont{});  // the workbook's default font
    book.sheets.emplace_back();
    host::xls::Sheet& sheet = book.sheets.back();
    sheet.name = u"Отчет";

    // The grid: every column boundary of every row.
    std::set<long> bounds;
    for (const HReportPage& page : doc.Pages)
        for (const HReportRow& row : page.Rows)
            for (const HReportCell& c : row.Cells) {
                bounds.insert(Grid(c.Left));
                bounds.insert(Grid(c.Left + c.Width));
            }
    const std::vector<long> grid(bounds.begin(), bounds.end());
    auto gridIndex = [&](double mm) {
        return uint32_t(std::lower_bound(grid.begin(), grid.end(), Grid(mm)) - grid.begin());
    };
    for (std::size_t i = 0; i + 1 < grid.size(); ++i) {
        const double mm = double(grid[i + 1] - grid[i]) / 100.0;
        sheet.columnWidths[uint32_t(i)] =
            uint16_t(std::clamp(mm / kXlsCharWidthMm * 256.0, 1.0, 65535.0));
    }

    uint32_t r = 0;
    if (templ) {
        for (const host::xls::TemplateCell& c : templ->cells) {
            if (c.kind == host::xls::TemplateCell::Kind::Number) {
                sheet.SetNumber(c.row, c.col, std::strtod(c.text.c_str(), nullptr));
            } else {
                sheet.SetText(c.row, c.col,
                              Utf8ToUtf16(host::xls::ReplaceMarkers(c.text, resolve)));
            }
        }
        r = templ->rows;
    }

    for (std::size_t p = 0; p < doc.Pages.size(); ++p) {
        for (const HReportRow& row : doc.Pages[p].Rows) {
            sheet.rowHeights[r] = uint16_t(std::clamp(row.Height / 25.4 * 1440.0, 1.0, 8192.0));
            for (const HReportCell& c : row.Cells) {
                const uint32_t first = gridIndex(c.Left);
                const uint32_t last = gridIndex(c.Left + c.Width);
                if (last <= first) continue;  // a column of no width
                CellFormat f;
                f.font = fonts.Index(c.Font);
                f.hAlign = HAlignOf(c.Alignment);
                f.vAlign = host::xls::VAlign::Centre;
                f.wrap = c.WordWrap || c.Text.find('\n') != std::string::npos;
                f.borders = uint8_t(c.Bounds & 15);
                if (c.Text.empty())
                    sheet.SetBlank(r, first, f);
                else
                    sheet.SetText(r, first, host::Cp1251ToUtf16(c.Text), f);
                if (last - first > 1) sheet.Merge(r, first, r, last - 1);
            }
            ++r;
        }
        if (p + 1 < doc.Pages.size()) sheet.pageBreaks.push_back(r);
    }

    host::xls::PageSetup& ps = sheet.page;
    ps.paperSize = 9;
    ps.landscape = doc.Orientation == poLandscape;
    ps.leftMargin = doc.PageCel.MarginLeft / 25.4;
    ps.rightMargin = doc.PageCel.MarginRight / 25.4;
    ps.topMargin = doc.PageCel.MarginTop / 25.4;
    ps.bottomMargin = doc.PageCel.MarginBottom / 25.4;
    ps.headerMargin = 0;
    ps.footerMargin = 0;
    return book;
}

}  // namespace host::report
