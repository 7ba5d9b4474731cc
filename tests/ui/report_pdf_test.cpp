// Report pages written as PDF (by the engine's writer, or painted by Qt when its
// fonts are missing) and the preview without a display. The test links only
// the report engine: the Qt presenter is loaded on first use. PDF texts are read
// back with pdftotext (poppler-utils).
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <regex>
#include <string>

#include "common/cp1251.h"
#include "common/paths.h"
#include "report/report_layout.h"
#include "report/report_pdf.h"
#include "runtime/rtlog.h"
#include "shell_output.h"
#include "test_env.h"

using namespace host::literals;

namespace {

// Landscape A4 like the incident report: a title, captions, items of two
// columns with a minimum height of 2 lines, and a page footer "Страница: n/N".
struct Report {
    HReport report;
    HCustomReportBand* band;

    Report() {
        report.Page.Orientation = poLandscape;
        report.PageCel.MarginTop = 20;
        report.PageCel.MarginLeft = report.PageCel.MarginRight = report.PageCel.MarginBottom = 5;
        report.Options = hrfPreviewFullscreen;
        band = report.Bands.Add();
        HCustomReportColumn* title = band->Headers.Add()->Columns.Add();
        title->Width = 100;
        title->Font.Height = -16;
        title->Font.Bold = true;
        title->SetText("Срабатывание автоматической защиты"_cp);
        HCustomReportBand* caption = band->Headers.Add();
        for (const char* text : {"Объект контроля"_cp, "Примечание"_cp}) {
            HCustomReportColumn* c = caption->Columns.Add();
            c->Width = 50;
            c->Bounds = hrbLeft | hrbTop | hrbRight | hrbBottom;
            c->Font.Bold = true;
            c->Alignment = hraCenter;
            c->SetText(text);
        }
        for (int i = 0; i < 2; ++i) {
            HCustomReportColumn* c = band->Columns.Add();
            c->Width = 50;
            c->Height = 2;
            c->HeightUnit = hrmCharacters;
            c->Bounds = hrbLeft | hrbRight | hrbBottom;
        }
        band->OnGetItemValue = [](int item, HCustomReportColumn& c) {
            if (c.GetIndex() == 0) c.SetText("Object " + std::to_string(item + 1));
        };
        HCustomReportBand* footer = band->Headers.Add();
        footer->AtBottom = true;
        footer->Columns.Add()->Width = 90;
        HCustomReportColumn* page = footer->Columns.Add();
        page->Width = 10;
        page->Alignment = hraRight;
        page->Bounds = hrbTop;
        page->OnGetItemValue = [this](HCustomReportColumn& c) {
            c.SetText(std::string("Страница: "_cp) + std::to_string(report.GetCurrentPage() + 1) +
                      "/" + std::to_string(report.GetPagesCount()));
        };
    }
    // Items that fill exactly `pages` pages.
    int ItemsFor(int pages) {
        for (int n = 0;; ++n) {
            band->SetItemsCount(n);
            if (int(report.Layout().Pages.size()) == pages) {
                band->SetItemsCount(n + 1);
                if (int(report.Layout().Pages.size()) > pages) return n;
            }
        }
    }
};

using twtest::HavePoppler;
using twtest::Shell;

std::string PdfText(const std::string& path, int page = 0) {
    std::string cmd = "pdftotext -layout";
    if (page > 0) cmd += " -f " + std::to_string(page) + " -l " + std::to_string(page);
    return Shell(cmd + " '" + path + "' -");
}

bool Has(const std::string& text, const char* cp1251) {
    return text.find(host::Cp1251ToUtf8(cp1251)) != std::string::npos;
}

}  // namespace

TEST(ReportPdf, EmptyReportHasHeadersAndFooter) {
    if (!HavePoppler()) GTEST_SKIP() << "pdftotext is not installed";
    const std::string dir = twtest::ScratchDir("empty");
    Report r;
    const std::string pdf = dir + "empty.pdf";
    ASSERT_TRUE(r.report.ExportPdf(pdf.c_str()));
    EXPECT_NE(Shell("pdfinfo '" + pdf + "'").find("Pages:           1\n"), std::string::npos);
    const std::string text = PdfText(pdf);
    EXPECT_TRUE(Has(text, "Срабатывание автоматической защиты"_cp)) << text;
    EXPECT_TRUE(Has(text, "Объект контроля"_cp)) << text;
    EXPECT_TRUE(Has(text, "Примечание"_cp)) << text;
    EXPECT_TRUE(Has(text, "Страница: 1/1"_cp)) << text;
}

TEST(ReportPdf, FiveLandscapePagesAreNumbered) {
    if (!HavePoppler()) GTEST_SKIP() << "pdftotext is not installed";
    const std::string dir = twtest::ScratchDir("five");
    Report r;
    r.band->SetItemsCount(r.ItemsFor(5));
    const std::string pdf = dir + "five.pdf";
    ASSERT_TRUE(r.report.ExportPdf(pdf.c_str()));
    const std::string info = Shell("pdfinfo '" + pdf + "'");
    EXPECT_NE(info.find("Pages:           5\n"), std::string::npos) << info;
    EXPECT_NE(info.find("842 x 595 pts (A4)"), std::string::npos) << info;
    for (int p = 1; p <= 5; ++p) {
        const std::string text = PdfText(pdf, p);
        EXPECT_TRUE(Has(text, ("Страница: "_cp + std::to_string(p) + "/5").c_str())) << text;
        EXPECT_TRUE(Has(text, "Объект контроля"_cp)) << "captions on page " << p;
    }
    EXPECT_NE(PdfText(pdf, 5).find("Object " + std::to_string(r.band->GetItemsCount())),
              std::string::npos);
}

TEST(ReportPdf, PreviewWithoutDisplayWritesAPdfAndLogsIt) {
    if (!HavePoppler()) GTEST_SKIP() << "pdftotext is not installed";
    const std::string dir = twtest::ScratchDir("preview");
    host::SetStartupDir(dir.c_str());
    Report r;
    r.band->SetItemsCount(3);
    host::LogCapture log;
    ASSERT_TRUE(r.report.Preview());  // QT_QPA_PLATFORM=offscreen: returns at once
    ASSERT_EQ(log.lines.size(), 1u);
    const std::string prefix =
        std::string("Предварительный просмотр записан в файл: "_cp) + dir + "Reports/preview-";
    ASSERT_EQ(log.lines[0].rfind(prefix, 0), 0u) << log.lines[0];
    const std::string pdf = log.lines[0].substr(log.lines[0].find(dir));
    EXPECT_TRUE(std::regex_match(pdf.substr(pdf.rfind('/') + 1),
                                 std::regex("preview-[0-9]{8}-[0-9]{6}\\.pdf")))
        << pdf;
    EXPECT_TRUE(Has(PdfText(pdf), "Object 3"));

    // A second preview in the same second gets a name of its own.
    log.lines.clear();
    ASSERT_TRUE(r.report.Preview());
    ASSERT_EQ(log.lines.size(), 1u);
    EXPECT_NE(log.lines[0], std::string("Предварительный просмотр записан в файл: "_cp) + pdf);
}

TEST(ReportPdf, WithoutItsFontsQtPaintsThePdf) {
    if (!HavePoppler()) GTEST_SKIP() << "pdftotext is not installed";
    const std::string dir = twtest::ScratchDir("nofonts");
    const std::string fonts = host::report::PdfFontFolder();
    host::report::SetPdfFontFolder(dir + "fonts/");
    Report r;
    r.band->SetItemsCount(2);
    const std::string pdf = dir + "qt.pdf";
    host::LogCapture log;
    const bool written = r.report.ExportPdf(pdf.c_str());
    host::report::SetPdfFontFolder(fonts);
    ASSERT_TRUE(written);
    ASSERT_EQ(log.lines.size(), 1u);
    EXPECT_EQ(log.lines[0], "Шрифт для PDF не прочитан: "_cp + dir +
                                "fonts/DejaVuSans.ttf; страницы рисует Qt"_cp);
    EXPECT_NE(Shell("pdfinfo '" + pdf + "'").find("Producer:        Qt "), std::string::npos);
    const std::string text = PdfText(pdf);
    EXPECT_TRUE(Has(text, "Объект контроля"_cp)) << text;
    EXPECT_TRUE(Has(text, "Страница: 1/1"_cp)) << text;
}

TEST(ReportPdf, UnwritablePdfFails) {
    Report r;
    EXPECT_FALSE(r.report.ExportPdf((twtest::TempDir() + "no/such/dir/x.pdf").c_str()));
}

TEST(ReportPdf, PrintWithoutDisplayNeverWaits) {
    const std::string dir = twtest::ScratchDir("print");
    host::SetStartupDir(dir.c_str());
    Report r;
    host::LogCapture log;
    ASSERT_TRUE(r.report.Print());
    // Without a printer the pages go to a file, as a preview's would.
    if (!log.lines.empty()) {
        ASSERT_EQ(log.lines.size(), 1u);
        const std::string prefix =
            std::string("Принтер недоступен, страницы записаны в файл: "_cp) + dir + "Reports/";
        EXPECT_EQ(log.lines[0].rfind(prefix, 0), 0u) << log.lines[0];
        EXPECT_TRUE(std::filesystem::exists(log.lines[0].substr(log.lines[0].find(dir))));
    }
}
