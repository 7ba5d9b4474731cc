// The report engine's spreadsheet export, read back with FreeXL, and its
// template handling.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "common/cp1251.h"
#include "common/lasterror.h"
#include "common/paths.h"
#include "report/freexl_read.h"
#include "report/report_layout.h"
#include "report/report_xls.h"
#include "report/xls_writer.h"
#include "runtime/rtlog.h"
#include "test_env.h"

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

TEST(ReportExport, GridMergesAndPageBreaks) {
    SmallReport r;
    r.band->SetItemsCount(60);
    const HReportDocument doc = r.report.Layout();
    ASSERT_GE(doc.Pages.size(), 2u);
    const host::xls::Workbook book = host::report::MakeWorkbook(doc, nullptr, {});
    const host::xls::Sheet& s = book.sheets.at(0);
    // Boundaries (mm from the left edge): 5, 5+287*0.2, 5+287*0.6, 5+287*0.9, 292 from the
    // rows; 292-2*70.56 and 292-70.56 from the title: 7 boundaries, 6 columns.
    EXPECT_EQ(s.columnWidths.size(), 6u);
    // Page breaks follow each page's footer.
    ASSERT_EQ(s.pageBreaks.size(), doc.Pages.size() - 1);
    uint32_t rows = 0;
    for (std::size_t p = 0; p + 1 < doc.Pages.size(); ++p) {
        rows += uint32_t(doc.Pages[p].Rows.size());
        EXPECT_EQ(s.pageBreaks[p], rows);
    }
    EXPECT_TRUE(s.page.landscape);
    EXPECT_EQ(s.page.paperSize, 9);
    EXPECT_NEAR(s.page.topMargin, 20 / 25.4, 1e-12);
    EXPECT_NEAR(s.page.leftMargin, 5 / 25.4, 1e-12);
    // The title spans the columns up to the first fixed cell; the caption
    // "Значение" (20..100 %) spans five grid columns.
    bool titleMerged = false, captionMerged = false;
    for (const host::xls::Range& m : s.merges) {
        if (m.firstRow == 0 && m.firstCol == 0) titleMerged = m.lastCol == 1;
        if (m.firstRow == 1 && m.firstCol == 1) captionMerged = m.lastCol == 5;
    }
    EXPECT_TRUE(titleMerged);
    EXPECT_TRUE(captionMerged);
    // Fonts: the default, the bold title font (16 px = 240 twips).
    ASSERT_GE(book.fonts.size(), 2u);
    EXPECT_EQ(book.fonts[0].heightTwips, 165);
    EXPECT_EQ(book.fonts[1].heightTwips, 240);
    EXPECT_TRUE(book.fonts[1].bold);
}

TEST(ReportExport, WorkbookReadsBackWithTemplate) {
    const std::string dir = twtest::FreshDir("template");
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
    // The report starts below the template's three rows.
    EXPECT_EQ(x.At(3, 0), U8("Заголовок"_cp));
    EXPECT_EQ(x.At(3, 2), U8("Дата: 1\nПечать: 2"_cp));
    EXPECT_EQ(x.At(3, 4), U8("Период"_cp));
    EXPECT_EQ(x.At(4, 0), U8("Объект"_cp));
    EXPECT_EQ(x.At(4, 1), U8("Значение"_cp));
    for (int i = 0; i < 3; ++i) {
        const std::string p = "r" + std::to_string(i) + "c";
        EXPECT_EQ(x.At(5 + unsigned(i), 0), p + "0");
        EXPECT_EQ(x.At(5 + unsigned(i), 1), p + "1");
        EXPECT_EQ(x.At(5 + unsigned(i), 3), p + "2");
    }
    EXPECT_EQ(x.At(8, 5), "p1/1");
    EXPECT_EQ(x.rows, 9u);
}

TEST(ReportExport, MissingTemplateLogsAndExportsTheLayoutAlone) {
    const std::string dir = twtest::FreshDir("missing");
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

TEST(ReportExport, UnwritableFileFails) {
    const std::string dir = twtest::FreshDir("unwritable");
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
