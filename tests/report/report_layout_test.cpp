// Layout and pagination of the report engine, checked with data rows.
#include <gtest/gtest.h>

#include <string>

#include "common/cp1251.h"
#include "report/report_layout.h"
#include "report/report_pages.h"
#include "report/report_text.h"

using namespace host::literals;
using host::report::BreakLines;
using host::report::LineHeightMm;

namespace {

// A4 portrait, margins 10 mm: content from 10 to 287 mm. Every row has a fixed
// minimum of 9 mm (+ 2 x 0.5 mm padding = 10 mm): a title shown on the first
// page only, a caption row on every page, the page footer, and item rows; so
// the first page holds 24 items, the next ones 25.
struct PagedReport {
    HReport report;
    HCustomReportBand* band;

    PagedReport() {
        band = report.Bands.Add();
        HCustomReportBand* title = band->Headers.Add();
        title->AtRegularPage = false;
        Fixed(title->Columns.Add(), 100)->SetText("Title");
        HCustomReportBand* caption = band->Headers.Add();
        Fixed(caption->Columns.Add(), 50)->SetText("A");
        Fixed(caption->Columns.Add(), 50)->SetText("B");
        HCustomReportBand* footer = band->Headers.Add();
        footer->AtBottom = true;
        Fixed(footer->Columns.Add(), 90);
        HCustomReportColumn* page = Fixed(footer->Columns.Add(), 10);
        page->Alignment = hraRight;
        page->OnGetItemValue = [this](HCustomReportColumn& c) {
            c.SetText(std::string("Страница: "_cp) + std::to_string(report.GetCurrentPage() + 1) +
                      "/" + std::to_string(report.GetPagesCount()));
        };
        Fixed(band->Columns.Add(), 30);
        Fixed(band->Columns.Add(), 70);
        band->OnGetItemValue = [](int item, HCustomReportColumn& c) {
            c.SetText((c.GetIndex() == 0 ? "n" : "v") + std::to_string(item));
        };
    }
    static HCustomReportColumn* Fixed(HCustomReportColumn* c, double width) {
        c->Width = width;
        c->Height = 9;
        return c;
    }
};

const HReportRow* Footer(const HReportPage& page) {
    for (const HReportRow& r : page.Rows)
        if (r.Kind == HReportRowKind::Footer) return &r;
    return nullptr;
}

int Count(const HReportPage& page, HReportRowKind kind) {
    int n = 0;
    for (const HReportRow& r : page.Rows)
        n += r.Kind == kind;
    return n;
}

}  // namespace

TEST(ReportPagination, PageCountFollowsTheRowsThatFit) {
    for (auto [items, pages] :
         {std::pair{0, 1}, {1, 1}, {24, 1}, {25, 2}, {49, 2}, {50, 3}, {124, 5}, {125, 6}}) {
        PagedReport r;
        r.band->SetItemsCount(items);
        const HReportDocument doc = r.report.Layout();
        EXPECT_EQ(int(doc.Pages.size()), pages) << items << " items";
        EXPECT_EQ(r.report.GetPagesCount(), pages);
        int placed = 0;
        for (const HReportPage& p : doc.Pages)
            placed += Count(p, HReportRowKind::Item);
        EXPECT_EQ(placed, items);
    }
}

TEST(ReportPagination, HeadersRepeatAndFootersCountPages) {
    PagedReport r;
    r.band->SetItemsCount(124);
    const HReportDocument doc = r.report.Layout();
    ASSERT_EQ(doc.Pages.size(), 5u);
    for (std::size_t p = 0; p < 5; ++p) {
        const HReportPage& page = doc.Pages[p];
        // The title only on the first page, the captions on every page, at the top.
        ASSERT_EQ(Count(page, HReportRowKind::Header), p == 0 ? 2 : 1);
        EXPECT_DOUBLE_EQ(page.Rows[0].Top, 10);
        EXPECT_EQ(page.Rows[0].Cells[0].Text, p == 0 ? "Title" : "A");
        const HReportRow* footer = Footer(page);
        ASSERT_NE(footer, nullptr);
        EXPECT_DOUBLE_EQ(footer->Top, 277);
        EXPECT_EQ(footer->Cells[1].Text,
                  std::string("Страница: "_cp) + std::to_string(p + 1) + "/5");
        EXPECT_EQ(page.Rows.back().Kind, HReportRowKind::Footer);
    }
    // Items continue where the previous page stopped.
    EXPECT_EQ(doc.Pages[1].Rows[1].Cells[0].Text, "n24");
    EXPECT_EQ(doc.Pages[1].Rows[1].Cells[1].Text, "v24");
    EXPECT_DOUBLE_EQ(doc.Pages[1].Rows[1].Top, 20);
}

TEST(ReportPagination, EmptyBandStillHasHeadersAndFooter) {
    PagedReport r;
    const HReportDocument doc = r.report.Layout();
    ASSERT_EQ(doc.Pages.size(), 1u);
    EXPECT_EQ(Count(doc.Pages[0], HReportRowKind::Header), 2);
    ASSERT_NE(Footer(doc.Pages[0]), nullptr);
    EXPECT_EQ(Footer(doc.Pages[0])->Cells[1].Text, std::string("Страница: 1/1"_cp));
}

TEST(ReportPagination, WrappedRowsAreTallerAndUnsetCellsStartEmpty) {
    HReport report;
    HCustomReportBand* band = report.Bands.Add();
    HCustomReportColumn* text = band->Columns.Add();
    text->Width = 10;  // 19 mm on a portrait A4 with 10 mm margins
    text->WordWrap = true;
    HCustomReportColumn* note = band->Columns.Add();
    note->Width = 90;
    band->SetItemsCount(3);
    band->OnGetItemValue = [](int item, HCustomReportColumn& c) {
        if (c.GetIndex() == 0) c.SetText(item == 1 ? "one two three four five six" : "short");
        if (c.GetIndex() == 1 && item == 0) c.SetText("only the first row");
    };
    const HReportDocument doc = report.Layout();
    const auto& rows = doc.Pages.at(0).Rows;
    ASSERT_EQ(rows.size(), 3u);
    const double line = LineHeightMm(HReportFont{});
    EXPECT_NEAR(rows[0].Height, line + 1, 1e-9);
    // 18 mm of text width hold 11 average characters: "one two", "three four", "five six".
    EXPECT_NEAR(rows[1].Height, 3 * line + 1, 1e-9);
    EXPECT_NEAR(rows[2].Top, rows[1].Top + rows[1].Height, 1e-9);
    EXPECT_EQ(rows[1].Cells[1].Text, "");
    EXPECT_EQ(rows[2].Cells[1].Text, "");
    EXPECT_EQ(note->GetText(), "");
}

TEST(ReportPagination, MinimumHeightInCharactersAndTallRowsGetTheirOwnPage) {
    HReport report;
    HCustomReportBand* band = report.Bands.Add();
    HCustomReportColumn* c = band->Columns.Add();
    c->Width = 100;
    c->Height = 2;
    c->HeightUnit = hrmCharacters;
    c->WordWrap = true;
    band->SetItemsCount(2);
    band->OnGetItemValue = [](int item, HCustomReportColumn& col) {
        col.SetText(item == 0 ? "x" : std::string(20000, 'w'));  // far taller than a page
    };
    const HReportDocument doc = report.Layout();
    ASSERT_EQ(doc.Pages.size(), 2u);
    EXPECT_NEAR(doc.Pages[0].Rows[0].Height, 2 * LineHeightMm(c->Font) + 1, 1e-9);
    EXPECT_EQ(doc.Pages[1].Rows.size(), 1u);
    EXPECT_EQ(doc.Pages[1].Rows[0].Source, 1);
}

TEST(ReportLayout, WidthKindsShareTheRow) {
    HReport report;
    report.Page.Orientation = poLandscape;  // 297 mm wide, 277 mm printable
    HCustomReportBand* band = report.Bands.Add();
    HCustomReportBand* h = band->Headers.Add();
    HCustomReportColumn* title = h->Columns.Add();
    title->Width = 60;
    title->WidthKind = hrwAuto;
    for (int i = 0; i < 2; ++i) {
        HCustomReportColumn* v = h->Columns.Add();
        v->Width = 200;
        v->WidthKind = hrwValue;  // 200 pt
    }
    EXPECT_EQ(h->Columns.GetItem(2)->GetIndex(), 2);
    EXPECT_EQ(h->Columns.GetItem(3), nullptr);
    EXPECT_EQ(band->Headers.GetItem(1), nullptr);
    const HReportDocument doc = report.Layout();
    EXPECT_DOUBLE_EQ(doc.PageWidth, 297);
    EXPECT_DOUBLE_EQ(doc.PageHeight, 210);
    const auto& cells = doc.Pages.at(0).Rows.at(0).Cells;
    const double fixed = 200 * 25.4 / 72;
    EXPECT_NEAR(cells[1].Width, fixed, 1e-9);
    EXPECT_NEAR(cells[0].Width, 277 - 2 * fixed, 1e-9);
    EXPECT_NEAR(cells[0].Left, 10, 1e-9);
    EXPECT_NEAR(cells[2].Left + cells[2].Width, 287, 1e-9);
}

TEST(ReportText, LinesBreakAtNewlinesAndSpaces) {
    HReportFont f;          // 0.55 x 11 px = 1.6 mm per character
    const double w = 16.1;  // 10 characters
    using V = std::vector<std::string_view>;
    EXPECT_EQ(BreakLines("", f, w, true), V{});
    EXPECT_EQ(BreakLines("a\nb", f, w, false), (V{"a", "b"}));
    EXPECT_EQ(BreakLines("a\r\n\nb", f, w, false), (V{"a", "", "b"}));
    EXPECT_EQ(BreakLines("aaaa bbbb cccc", f, w, false), (V{"aaaa bbbb cccc"}));
    EXPECT_EQ(BreakLines("aaaa bbbb cccc", f, w, true), (V{"aaaa bbbb", "cccc"}));
    EXPECT_EQ(BreakLines("abcdefghijklmno xy", f, w, true), (V{"abcdefghij", "klmno xy"}));
    EXPECT_EQ(BreakLines("aaaaaaaaaa  b", f, w, true), (V{"aaaaaaaaaa", "b"}));
    HReportFont bold = f;
    bold.Bold = true;  // 1.75 mm per character: 9 fit
    EXPECT_EQ(BreakLines("aaaa bbbb c", bold, w, true), (V{"aaaa bbbb", "c"}));
    EXPECT_EQ(BreakLines("aaaaa bbbb", bold, w, true), (V{"aaaaa", "bbbb"}));
}

// The continuous layout of a spreadsheet: one page of the headers, every item
// and the footer, whose page number and count are the stand-ins; a value set
// for one item does not carry over to the next.
TEST(ReportPagination, ContinuousLayoutHasOnePage) {
    PagedReport r;
    r.band->SetItemsCount(125);
    r.band->OnGetItemValue = [](int item, HCustomReportColumn& c) {
        c.SetText("v" + std::to_string(item));
        if (item % 2 == 0 && c.GetIndex() == 1) c.SetNumber(item, "0");
    };
    const HReportDocument doc = r.report.LayoutContinuous();
    ASSERT_EQ(doc.Pages.size(), 1u);
    const HReportPage& page = doc.Pages[0];
    EXPECT_EQ(Count(page, HReportRowKind::Header), 2);
    EXPECT_EQ(Count(page, HReportRowKind::Item), 125);
    ASSERT_NE(Footer(page), nullptr);
    EXPECT_EQ(Footer(page)->Cells[1].Text, "Страница: "_cp + std::to_string(kPageNumberStandIn) +
                                               "/" + std::to_string(kPageCountStandIn));
    EXPECT_GT(Footer(page)->Top, page.Rows[126].Top);
    EXPECT_EQ(r.report.GetPagesCount(), 1);
    EXPECT_EQ(page.Rows[2].Cells[1].Value, (HReportValue{HReportValue::Number, 0, "0"}));
    EXPECT_EQ(page.Rows[3].Cells[1].Value, HReportValue{});
    EXPECT_TRUE(page.Rows[1].EveryPage);
    EXPECT_FALSE(page.Rows[0].EveryPage) << "the title is on the first page only";
    ASSERT_EQ(doc.ItemColumns.size(), 2u);
    EXPECT_NEAR(doc.ItemColumns[1].Left, 10 + 190 * 0.3, 1e-9);  // 30 % of 190 mm
}
