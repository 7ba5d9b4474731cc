// The report engine's spreadsheet export, read back with FreeXL, and its
// template handling.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>

#include "common/cp1251.h"
#include "common/lasterror.h"
#include "common/paths.h"
#include "report/freexl_read.h"
#include "report/report_layout.h"
#include "report/report_xls.h"
#include "report/xls/workbook.h"
#include "runtime/rtlog.h"
#include "test_env.h"
#include "xls_test_util.h"

using namespace host::literals;

namespace {

// Landscape A4; a title row (auto width + two fixed 200 pt cells), a caption
// row, item rows of three columns and a page footer.
struct SmallReport {
    HReport report;
    HCustomReportBand* band;

    SmallReport() {
        report.Page.Orientation = poLandscape;
        report.PageCel.MarginLeft = 5;
        report.PageCel.MarginRight = 5;
        report.PageCel.MarginTop = 20;
        report.PageCel.MarginBottom = 5;
        band = report.Bands.Add();
        HCustomReportBand* title = band->Headers.Add();
        HCustomReportColumn* t = title->Columns.Add();
        t->Width = 60;
        t->WidthKind = hrwAuto;
        t->Font.Height = -16;
        t->Font.Bold = true;
        t->SetText("Заголовок"_cp);
        for (const char* text : {"Дата: 1\nПечать: 2"_cp, "Период"_cp}) {
            HCustomReportColumn* c = title->Columns.Add();
            c->Width = 200;
            c->WidthKind = hrwValue;
            c->Bounds = hrbLeft | hrbTop;
            c->SetText(text);
        }
        HCustomReportBand* caption = band->Headers.Add();
        for (auto [w, text] : {std::pair{20.0, "Объект"_cp}, {80.0, "Значение"_cp}}) {
            HCustomReportColumn* c = caption->Columns.Add();
            c->Width = w;
            c->Font.Bold = true;
            c->Alignment = hraCenter;
            c->Bounds = hrbLeft | hrbTop | hrbRight | hrbBottom;
            c->SetText(text);
        }
        for (double w : {20.0, 40.0, 40.0}) {
            HCustomReportColumn* c = band->Columns.Add();
            c->Width = w;
            c->Bounds = hrbRight | hrbBottom;
        }
        band->OnGetItemValue = [](int item, HCustomReportColumn& c) {
            c.SetText("r" + std::to_string(item) + "c" + std::to_string(c.GetIndex()));
            if (c.GetIndex() == 1) c.SetNumber(item + 0.25, "0.00");
        };
        HCustomReportBand* footer = band->Headers.Add();
        footer->AtBottom = true;
        footer->Columns.Add()->Width = 90;
        HCustomReportColumn* page = footer->Columns.Add();
        page->Width = 10;
        page->OnGetItemValue = [this](HCustomReportColumn& c) {
            c.SetText("p" + std::to_string(report.GetCurrentPage() + 1) + "/" +
                      std::to_string(report.GetPagesCount()));
        };
        report.OnGetNamedValue = [](const char* name, std::string& value) {
            if (std::string(name) == "Start") value = "01.02.2026 00:00:00";
            if (std::string(name) == "Who") value = "Дежурный"_cp;
        };
    }
};

std::string U8(const char* cp) {
    return host::Cp1251ToUtf8(cp);
}

}  // namespace

TEST(ReportExport, OneTableWithItsHeaderAndTheFooterOfThePrint) {
    SmallReport r;
    r.band->SetItemsCount(60);
    ASSERT_GE(r.report.Layout().Pages.size(), 2u);  // the pages need two
    const HReportDocument doc = r.report.LayoutContinuous();
    const host::xls::Workbook book = host::report::MakeWorkbook(doc, nullptr, {});
    ASSERT_EQ(book.sheets.size(), 1u);
    const host::xls::Sheet& s = book.sheets[0];
    EXPECT_EQ(s.name, u"Отчет");
    // One sheet column per item column; the title's cells on the nearest of
    // their edges: the title (0 to 0.51 of the width) ends at 0.6, the dates
    // (to 0.75) still at 0.6, so they take the next column, and the period the
    // one right of the table.
    ASSERT_EQ(s.columnWidths.size(), 3u);
    ASSERT_EQ(s.merges.size(), 1u);
    EXPECT_EQ(s.merges[0].firstRow, 0u);
    EXPECT_EQ(s.merges[0].firstCol, 0u);
    EXPECT_EQ(s.merges[0].lastCol, 1u);
    EXPECT_TRUE(s.pageBreaks.empty());
    // Rows: the title, the one header row (the caption row above each column),
    // then the 60 items; frozen down to the header, which carries the filter.
    std::map<std::pair<uint32_t, uint32_t>, const host::xls::Cell*> at;
    for (const host::xls::Cell& c : s.cells)
        at[{c.row, c.col}] = &c;
    auto text = [&](uint32_t row, uint32_t col) {
        const auto it = at.find({row, col});
        const auto* t = it == at.end() ? nullptr : std::get_if<std::u16string>(&it->second->value);
        return t ? *t : std::u16string();
    };
    EXPECT_EQ(text(0, 0), u"Заголовок");
    EXPECT_EQ(text(0, 2), u"Дата: 1\nПечать: 2");
    EXPECT_EQ(text(0, 3), u"Период");
    EXPECT_EQ(text(1, 0), u"Объект");
    EXPECT_EQ(text(1, 1), u"Значение");
    EXPECT_EQ(text(1, 2), u"Значение");
    EXPECT_TRUE(at.at({1, 0})->format.wrap);
    EXPECT_EQ(text(61, 2), u"r59c2");
    const auto* number = std::get_if<double>(&at.at({61, 1})->value);
    ASSERT_NE(number, nullptr);
    EXPECT_EQ(*number, 59.25);
    EXPECT_EQ(at.at({61, 1})->format.numberFormat, u"0.00");
    EXPECT_EQ(at.count({62, 0}), 0u) << "nothing below the items";
    EXPECT_EQ(s.frozenRows, 2u);
    ASSERT_TRUE(s.autoFilter.has_value());
    EXPECT_EQ(s.autoFilter->firstRow, 1u);
    EXPECT_EQ(s.autoFilter->lastRow, 61u);
    EXPECT_EQ(s.autoFilter->lastCol, 2u);
    // Printed: the title and the header on every page, the page number in the
    // footer, one page across, the margins of the layout.
    ASSERT_TRUE(s.page.repeatRows.has_value());
    EXPECT_EQ(*s.page.repeatRows, (std::pair<uint32_t, uint32_t>(0, 1)));
    EXPECT_EQ(s.page.footer, u"&Lp&P/&N");
    EXPECT_EQ(s.page.fitToWidth, 1);
    EXPECT_TRUE(s.page.landscape);
    EXPECT_EQ(s.page.paperSize, 9);
    EXPECT_NEAR(s.page.topMargin, 20 / 25.4, 1e-12);
    EXPECT_NEAR(s.page.leftMargin, 5 / 25.4, 1e-12);
    EXPECT_NEAR(s.page.footerMargin, 5 / 25.4, 1e-12);
    EXPECT_GT(s.page.bottomMargin, s.page.footerMargin);
    // Widths fit the widest text of each column (the bold caption "Объект",
    // 6 characters; "Значение", 8), with a little room, not the pages' widths.
    EXPECT_GE(s.columnWidths.at(0), 6 * 256);
    EXPECT_LT(s.columnWidths.at(0), 10 * 256);
    EXPECT_GE(s.columnWidths.at(2), 8 * 256);
    EXPECT_LT(s.columnWidths.at(2), 12 * 256);
    // Fonts: the default first (the width unit), the bold captions, the bold
    // title (16 px = 240 twips).
    ASSERT_EQ(book.fonts.size(), 3u);
    EXPECT_EQ(book.fonts[0], (host::xls::Font{u"MS Sans Serif", 165, false}));
    EXPECT_EQ(book.fonts[1], (host::xls::Font{u"MS Sans Serif", 165, true}));
    EXPECT_EQ(book.fonts[2], (host::xls::Font{u"MS Sans Serif", 240, true}));
}

TEST(ReportExport, WorkbookReadsBackWithTemplate) {
    const std::string dir = twtest::ScratchDir("template");
    host::SetStartupDir(dir.c_str());
    std::filesystem::create_directories(dir + "Templates");
    {
        host::xls::Workbook t;
        t.sheets.emplace_back();
        t.sheets[0].SetText(0, 0, u"Отчет с #{Start} (#{Who})");
        t.sheets[0].SetText(1, 2, u"#{Unknown} stays");
        t.sheets[0].SetNumber(2, 0, 42);
        std::string error;
        ASSERT_TRUE(host::xls::SaveWorkbook(t, dir + "Templates/T.xls", &error)) << error;
    }
    SmallReport r;
    r.band->SetItemsCount(3);
    r.report.SetTemplate("Templates\\T.xls");  // relative, as stored on Windows
    const std::string out = dir + "out.xls";
    host::LogCapture log;
    ASSERT_TRUE(r.report.Export(out.c_str()));
    EXPECT_TRUE(log.lines.empty());
    const twtest::XlsCells x = twtest::ReadXls(out);
    ASSERT_TRUE(x.ok);
    EXPECT_EQ(x.At(0, 0), U8("Отчет с 01.02.2026 00:00:00 (Дежурный)"_cp));
    EXPECT_EQ(x.At(1, 2), "#{Unknown} stays");
    EXPECT_EQ(x.At(2, 0), "42");
    // The report starts below the template's three rows: its title, the header
    // row, the items; the footer went into the page footer.
    EXPECT_EQ(x.At(3, 0), U8("Заголовок"_cp));
    EXPECT_EQ(x.At(3, 2), U8("Дата: 1\nПечать: 2"_cp));
    EXPECT_EQ(x.At(3, 3), U8("Период"_cp));
    EXPECT_EQ(x.At(4, 0), U8("Объект"_cp));
    EXPECT_EQ(x.At(4, 1), U8("Значение"_cp));
    for (unsigned i = 0; i < 3; ++i) {
        const std::string p = "r" + std::to_string(i) + "c";
        EXPECT_EQ(x.At(5 + i, 0), p + "0");
        EXPECT_EQ(x.TypeAt(5 + i, 1), FREEXL_CELL_DOUBLE);
        EXPECT_EQ(x.At(5 + i, 1), std::to_string(i) + ".25");
        EXPECT_EQ(x.At(5 + i, 2), p + "2");
    }
    EXPECT_EQ(x.rows, 8u);
}

TEST(ReportExport, MissingTemplateLogsAndExportsTheLayoutAlone) {
    const std::string dir = twtest::ScratchDir("missing");
    host::SetStartupDir(dir.c_str());
    SmallReport r;
    r.report.SetTemplate("Templates/None.xls");
    const std::string out = dir + "out.xls";
    host::LogCapture log;
    ASSERT_TRUE(r.report.Export(out.c_str()));
    ASSERT_EQ(log.lines.size(), 1u);
    EXPECT_EQ(log.lines[0], std::string("Шаблон не найден: "_cp) + dir + "Templates/None.xls");
    const twtest::XlsCells x = twtest::ReadXls(out);
    ASSERT_TRUE(x.ok);
    EXPECT_EQ(x.At(0, 0), U8("Заголовок"_cp));

    // A file that is not a workbook: logged, and the layout alone again.
    const std::string bad = dir + "bad.xls";
    FILE* f = std::fopen(bad.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fputs("not a workbook", f);
    std::fclose(f);
    r.report.SetTemplate(bad);
    log.lines.clear();
    ASSERT_TRUE(r.report.Export(out.c_str()));
    ASSERT_EQ(log.lines.size(), 1u);
    EXPECT_EQ(log.lines[0].rfind("Шаблон не прочитан: "_cp, 0), 0u) << log.lines[0];
    EXPECT_EQ(twtest::ReadXls(out).At(0, 0), U8("Заголовок"_cp));

    // An empty template path: no log line.
    r.report.SetTemplate("");
    log.lines.clear();
    ASSERT_TRUE(r.report.Export(out.c_str()));
    EXPECT_TRUE(log.lines.empty());
}

// Export writes the rows as they are laid out; its file must be the one the
// whole model gives, also across the 32-row blocks, past the first sheet's last
// row and with sheets after the report's.
TEST(ReportExport, StreamedExportHasTheModelsBytes) {
    const std::string dir = twtest::ScratchDir("streamed");
    struct Case {
        int items;
        bool extraSheet;
    };
    for (const Case c : {Case{0, false}, Case{33, true}, Case{70000, true}}) {
        SmallReport r;
        r.band->SetItemsCount(c.items);
        if (c.extraSheet) r.report.ExtraSheets.emplace_back().SetText(1, 1, u"Сводка");
        host::xls::Workbook book =
            host::report::MakeWorkbook(r.report.LayoutContinuous(), nullptr, {});
        book.sheets.insert(book.sheets.end(), r.report.ExtraSheets.begin(),
                           r.report.ExtraSheets.end());
        std::string error;
        ASSERT_TRUE(host::xls::SaveWorkbook(book, dir + "model.xls", &error)) << error;
        ASSERT_TRUE(r.report.Export((dir + "streamed.xls").c_str()));
        EXPECT_EQ(book.sheets.size(), c.items > 65534 ? 3u : c.extraSheet ? 2u : 1u);
        EXPECT_TRUE(xls_test::SameBytes(xls_test::ReadFile(dir + "model.xls"),
                                        xls_test::ReadFile(dir + "streamed.xls")))
            << c.items << " items";
    }
}

TEST(ReportExport, UnwritableFileFails) {
    const std::string dir = twtest::ScratchDir("unwritable");
    SmallReport r;
    host::ClearError();
    EXPECT_FALSE(r.report.Export((dir + "no/such/folder/out.xls").c_str()));
    EXPECT_NE(GetIOErrorN(), 0u);
    EXPECT_NE(std::string(GetIOErrorS_GUI(-2)).find("out.xls"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(dir + "no"));
    host::ClearError();
    EXPECT_FALSE(r.report.Export(""));
    EXPECT_NE(GetIOErrorN(), 0u);
}
