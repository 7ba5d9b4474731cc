// The engine's own PDF writer: the file's structure (cross-reference offsets,
// stream lengths, one border path per page), and what poppler (pdftotext,
// pdffonts, pdftoppm; an independent reader) finds in it: the texts with
// Cyrillic, their places by alignment, word wrap and squeezing, the embedded
// fonts, and painted glyphs.
#include <gtest/gtest.h>
#include <zlib.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <map>
#include <regex>
#include <string>
#include <vector>

#include "common/cp1251.h"
#include "common/lasterror.h"
#include "common/osfile.h"
#include "report/report_pages.h"
#include "report/report_pdf.h"
#include "report/report_text.h"
#include "shell_output.h"
#include "test_env.h"

using namespace host::literals;
using host::report::PdfOutcome;

namespace {

constexpr double kPt = 72.0 / 25.4;
constexpr unsigned kAll = hrbLeft | hrbTop | hrbRight | hrbBottom;
const char* const kAlphabet =
    "АБВГДЕЁЖЗИЙКЛМНОПРСТУФХЦЧШЩЪЫЬЭЮЯ абвгдеёжзийклмнопрстуфхцчшщъыьэюя №«»";

HReportCell Cell(double left, double width, std::string text, HReportAlignment align = hraLeft,
                 unsigned bounds = 0) {
    HReportCell c;
    c.Left = left;
    c.Width = width;
    c.Text = std::move(text);
    c.Alignment = align;
    c.Bounds = bounds;
    return c;
}

HReportRow Row(double top, double height, std::vector<HReportCell> cells) {
    HReportRow r;
    r.Top = top;
    r.Height = height;
    r.Cells = std::move(cells);
    return r;
}

const char* const kWrapped = "Подстанция номер семь, ячейка пять";
const char* const kSqueezed = "Squeezedlongline";

// Landscape A4 of two pages with a frame around the printable area: a bold
// title, right-aligned and centred captions with borders, a wrapped cell, a
// line too long for its box, the alphabet; the second page has a page number.
HReportDocument Sample() {
    HReportDocument doc;
    doc.PageWidth = 297;
    doc.PageHeight = 210;
    doc.Orientation = poLandscape;
    doc.PageCel.Bounds = kAll;
    doc.Title = "Отчет"_cp;
    HReportPage p1;
    HReportCell title = Cell(10, 150, "Срабатывание автоматической защиты"_cp);
    title.Font.Height = -16;
    title.Font.Bold = true;
    p1.Rows.push_back(Row(10, 8, {title}));
    p1.Rows.push_back(Row(18, 6,
                          {Cell(10, 60, "Примечание"_cp, hraRight, kAll),
                           Cell(70, 60, "Центр"_cp, hraCenter, hrbTop | hrbBottom)}));
    HReportCell wrapped = Cell(10, 40, host::Utf8ToCp1251Lossy(kWrapped));
    wrapped.WordWrap = true;
    p1.Rows.push_back(Row(24, 15, {wrapped}));
    p1.Rows.push_back(Row(40, 6, {Cell(10, 15, kSqueezed)}));
    p1.Rows.push_back(Row(50, 6, {Cell(10, 250, host::Utf8ToCp1251Lossy(kAlphabet))}));
    HReportPage p2;
    p2.Rows.push_back(Row(190, 6, {Cell(200, 87, "Страница: 2/2"_cp, hraRight)}));
    doc.Pages = {p1, p2};
    return doc;
}

using twtest::HavePoppler;
using twtest::Shell;

std::string ReadFile(const std::string& path) {
    std::string data;
    host::ReadWholeFile(path.c_str(), data);
    return data;
}

std::string Inflate(std::string_view packed) {
    std::string out(packed.size() * 20 + 1024, '\0');
    uLongf size = out.size();
    if (uncompress(reinterpret_cast<Bytef*>(out.data()), &size,
                   reinterpret_cast<const Bytef*>(packed.data()), packed.size()) != Z_OK)
        return {};
    out.resize(size);
    return out;
}

// The words pdftotext finds, with their boxes in points (top-left origin).
struct Word {
    std::string text;  // UTF-8
    double xMin, yMin, xMax, yMax;
    int page;
};
std::vector<Word> Words(const std::string& pdf) {
    const std::string html = Shell("pdftotext -bbox '" + pdf + "' -");
    std::vector<Word> words;
    const std::regex re(
        "<page |<word xMin=\"([0-9.]+)\" yMin=\"([0-9.]+)\" xMax=\"([0-9.]+)\" "
        "yMax=\"([0-9.]+)\">([^<]*)</word>");
    int page = 0;
    for (auto it = std::sregex_iterator(html.begin(), html.end(), re); it != std::sregex_iterator();
         ++it) {
        const std::smatch& m = *it;
        if (!m[1].matched) {
            ++page;
            continue;
        }
        words.push_back(
            {m[5], std::stod(m[1]), std::stod(m[2]), std::stod(m[3]), std::stod(m[4]), page});
    }
    return words;
}
const Word* Find(const std::vector<Word>& words, const std::string& text) {
    for (const Word& w : words)
        if (w.text == text) return &w;
    return nullptr;
}

class PdfWriter : public ::testing::Test {
  protected:
    void TearDown() override { host::report::SetPdfFontFolder("/usr/share/fonts/truetype/dejavu"); }
};

}  // namespace

TEST_F(PdfWriter, CrossReferenceAndStreamsAreConsistent) {
    const std::string pdf = twtest::ScratchDir("xref") + "a.pdf";
    ASSERT_EQ(host::report::WritePdf(Sample(), pdf.c_str()), PdfOutcome::Written);
    const std::string data = ReadFile(pdf);
    ASSERT_EQ(data.rfind("%PDF-1.4\n", 0), 0u);
    ASSERT_GE(data.size(), 6u);
    EXPECT_EQ(data.substr(data.size() - 6), "%%EOF\n");

    const std::size_t sx = data.rfind("startxref\n");
    ASSERT_NE(sx, std::string::npos);
    const std::size_t xref = std::stoul(data.substr(sx + 10));
    ASSERT_LT(xref, data.size());
    ASSERT_EQ(data.compare(xref, 7, "xref\n0 "), 0);
    const std::size_t count = std::stoul(data.substr(xref + 7));
    const std::size_t table = data.find('\n', xref + 7) + 1;
    EXPECT_EQ(data.substr(table, 20), "0000000000 65535 f \n");
    for (std::size_t i = 1; i < count; ++i) {
        const std::string entry = data.substr(table + i * 20, 20);
        ASSERT_TRUE(std::regex_match(entry, std::regex("[0-9]{10} 00000 n \n"))) << entry;
        const std::size_t at = std::stoul(entry.substr(0, 10));
        EXPECT_EQ(data.compare(at, std::to_string(i).size() + 7, std::to_string(i) + " 0 obj\n"), 0)
            << "object " << i;
    }
    EXPECT_NE(data.find("trailer\n<< /Size " + std::to_string(count) + " "), std::string::npos);

    // Every stream is as long as its dictionary says; page contents inflate.
    std::vector<std::string> contents;
    const std::regex head("/Length ([0-9]+)[^>]*>>\nstream\n");
    for (auto it = std::sregex_iterator(data.begin(), data.end(), head);
         it != std::sregex_iterator(); ++it) {
        const std::size_t begin = std::size_t(it->position() + it->length());
        const std::size_t length = std::stoul((*it)[1]);
        ASSERT_LE(begin + length, data.size());
        EXPECT_EQ(data.compare(begin + length, 11, "\nendstream\n"), 0);
        const std::string plain = Inflate(std::string_view(data).substr(begin, length));
        ASSERT_FALSE(plain.empty());
        if (plain.find(" Tj\n") != std::string::npos) contents.push_back(plain);
    }
    // The borders of a page are one path: the frame (4 edges), 4 + 2 caption
    // edges on the first page.
    ASSERT_EQ(contents.size(), 2u);
    const auto count_of = [](const std::string& s, const std::string& what) {
        std::size_t n = 0;
        for (std::size_t at = s.find(what); at != std::string::npos; at = s.find(what, at + 1))
            ++n;
        return n;
    };
    EXPECT_EQ(count_of(contents[0], " m "), 10u);
    EXPECT_EQ(count_of(contents[0], "S\n"), 1u);
    EXPECT_EQ(count_of(contents[1], " m "), 4u);
    EXPECT_EQ(count_of(contents[1], "S\n"), 1u);
}

TEST_F(PdfWriter, PopplerReadsTextsFontsAndPages) {
    if (!HavePoppler()) GTEST_SKIP() << "poppler-utils are not installed";
    const std::string pdf = twtest::ScratchDir("text") + "a.pdf";
    ASSERT_EQ(host::report::WritePdf(Sample(), pdf.c_str()), PdfOutcome::Written);
    // Nothing for poppler to complain about.
    EXPECT_EQ(Shell("pdftotext '" + pdf + "' /dev/null 2>&1"), "");
    const std::string info = Shell("pdfinfo '" + pdf + "' 2>&1");
    EXPECT_NE(info.find("Title:           Отчет\n"), std::string::npos) << info;
    EXPECT_NE(info.find("Pages:           2\n"), std::string::npos) << info;
    EXPECT_NE(info.find("Page size:       842 x 595 pts (A4)\n"), std::string::npos) << info;

    const std::string page1 = Shell("pdftotext -layout -f 1 -l 1 '" + pdf + "' -");
    EXPECT_NE(page1.find("Срабатывание автоматической защиты"), std::string::npos) << page1;
    EXPECT_NE(page1.find(kAlphabet), std::string::npos) << page1;
    const std::string page2 = Shell("pdftotext -layout -f 2 -l 2 '" + pdf + "' -");
    EXPECT_NE(page2.find("Страница: 2/2"), std::string::npos) << page2;

    // Both fonts embedded as subsets with a Unicode map.
    const std::string fonts = Shell("pdffonts '" + pdf + "'");
    EXPECT_TRUE(std::regex_search(
        fonts, std::regex("[A-Z]{6}\\+DejaVuSans +CID TrueType +Identity-H +yes yes yes")))
        << fonts;
    EXPECT_TRUE(std::regex_search(
        fonts, std::regex("[A-Z]{6}\\+DejaVuSans-Bold +CID TrueType +Identity-H +yes yes yes")))
        << fonts;

    // A document without bold cells embeds the regular font alone.
    HReportDocument plain = Sample();
    plain.Pages[0].Rows.erase(plain.Pages[0].Rows.begin());
    const std::string pdf2 = twtest::TempDir() + "text/plain.pdf";
    ASSERT_EQ(host::report::WritePdf(plain, pdf2.c_str()), PdfOutcome::Written);
    EXPECT_EQ(Shell("pdffonts '" + pdf2 + "'").find("DejaVuSans-Bold"), std::string::npos);
}

TEST_F(PdfWriter, LinesArePlacedAsTheLayoutSays) {
    if (!HavePoppler()) GTEST_SKIP() << "poppler-utils are not installed";
    const std::string pdf = twtest::ScratchDir("place") + "a.pdf";
    const HReportDocument doc = Sample();
    ASSERT_EQ(host::report::WritePdf(doc, pdf.c_str()), PdfOutcome::Written);
    const std::vector<Word> words = Words(pdf);

    // Right-aligned: ends at the cell's right edge less the padding.
    const Word* right = Find(words, "Примечание");
    ASSERT_TRUE(right);
    EXPECT_NEAR(right->xMax, (70 - 0.5) * kPt, 1.0);
    EXPECT_GT(right->yMin, 18 * kPt);
    EXPECT_LT(right->yMax, 24 * kPt);
    // Centred.
    const Word* centre = Find(words, "Центр");
    ASSERT_TRUE(centre);
    EXPECT_NEAR((centre->xMin + centre->xMax) / 2, 100 * kPt, 1.0);
    // Squeezed into its box.
    const Word* squeezed = Find(words, kSqueezed);
    ASSERT_TRUE(squeezed);
    EXPECT_GE(squeezed->xMin, 10.5 * kPt - 0.5);
    EXPECT_LE(squeezed->xMax, 24.5 * kPt + 0.5);
    EXPECT_GT(squeezed->xMax, 23 * kPt);
    // Wrapped where the engine's text model breaks it, each line left-aligned
    // one line height below the previous one.
    const HReportCell& cell = doc.Pages[0].Rows[2].Cells[0];
    const auto lines = host::report::BreakLines(cell.Text, cell.Font, cell.Width - 1, true);
    ASSERT_GE(lines.size(), 2u);
    double previous = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string line = host::Cp1251ToUtf8(lines[i]);
        const Word* first = Find(words, line.substr(0, line.find(' ')));
        ASSERT_TRUE(first) << line;
        EXPECT_NEAR(first->xMin, 10.5 * kPt, 0.5) << line;
        if (i > 0) {
            EXPECT_NEAR(first->yMin - previous, host::report::LineHeightMm(cell.Font) * kPt, 0.5);
        }
        previous = first->yMin;
    }
}

TEST_F(PdfWriter, GlyphsArePainted) {
    if (std::system("pdftoppm -v >/dev/null 2>&1") != 0) GTEST_SKIP() << "no pdftoppm";
    // One large black word, no borders: a broken font program paints nothing.
    HReportDocument doc;
    HReportPage page;
    HReportCell big = Cell(10, 190, "ЖЖЖ"_cp);
    big.Font.Height = -100;
    page.Rows.push_back(Row(10, 40, {big}));
    doc.Pages = {page};
    const std::string dir = twtest::ScratchDir("glyphs");
    ASSERT_EQ(host::report::WritePdf(doc, (dir + "a.pdf").c_str()), PdfOutcome::Written);
    Shell("pdftoppm -r 20 -gray -singlefile '" + dir + "a.pdf' '" + dir + "a'");
    const std::string pgm = ReadFile(dir + "a.pgm");
    // P5 header: magic, width, height, maximum, then the pixels.
    std::size_t at = 0;
    for (int fields = 0; fields < 4; ++fields) {
        at = pgm.find_first_of(" \n", at);
        ASSERT_NE(at, std::string::npos);
        ++at;
    }
    std::size_t dark = 0;
    for (std::size_t i = at; i < pgm.size(); ++i)
        dark += std::uint8_t(pgm[i]) < 128;
    EXPECT_GT(dark, 100u);
}

TEST_F(PdfWriter, MissingFontsAndUnwritableFilesFailWithoutAFile) {
    const std::string dir = twtest::ScratchDir("fail");
    host::report::SetPdfFontFolder(dir + "nofonts");
    EXPECT_EQ(host::report::PdfFontFolder(), dir + "nofonts/");
    ASSERT_EQ(host::report::WritePdf(Sample(), (dir + "a.pdf").c_str()), PdfOutcome::FontsMissing);
    EXPECT_EQ(std::string(GetIOErrorS_GUI(-2)),
              "Шрифт для PDF не прочитан: "_cp + dir + "nofonts/DejaVuSans.ttf");
    EXPECT_FALSE(std::filesystem::exists(dir + "a.pdf"));

    // A file that is not a font.
    std::filesystem::create_directories(dir + "bad");
    ASSERT_TRUE(host::WriteFileAtomically((dir + "bad/DejaVuSans.ttf").c_str(), "not a font"));
    host::report::SetPdfFontFolder(dir + "bad/");
    EXPECT_EQ(host::report::WritePdf(Sample(), (dir + "a.pdf").c_str()), PdfOutcome::FontsMissing);

    host::report::SetPdfFontFolder("/usr/share/fonts/truetype/dejavu");
    const std::string bad = dir + "no/such/dir/a.pdf";
    ASSERT_EQ(host::report::WritePdf(Sample(), bad.c_str()), PdfOutcome::Failed);
    EXPECT_EQ(std::string(GetIOErrorS_GUI(-2)), "Не удалось записать файл: "_cp + bad);
}
