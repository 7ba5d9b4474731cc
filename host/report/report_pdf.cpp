#include "report/report_pdf.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "common/cp1251.h"
#include "common/lasterror.h"
#include "common/osfile.h"
#include "report/report_text.h"
#include "report/truetype_font.h"

using namespace host::literals;

namespace host::report {

namespace {

std::string g_fontFolder = "/usr/share/fonts/truetype/dejavu/";

constexpr double kPtPerMm = 72.0 / 25.4;
// Line width of cell borders, as the Qt painter draws them.
constexpr double kLineWidthMm = 0.2;
// A text block may overhang its cell by this much before it is clipped.
constexpr double kClipToleranceMm = 0.02;

// Appends a number with at most `precision` decimals and a trailing space.
void Num(std::string& out, double v, int precision = 2) {
    char buf[48];
    auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, precision);
    char* end = r.ptr;
    if (precision > 0) {
        while (end[-1] == '0')
            --end;
        if (end[-1] == '.') --end;
    }
    if (end - buf == 2 && buf[0] == '-' && buf[1] == '0') buf[0] = '0', end = buf + 1;
    out.append(buf, end);
    out += ' ';
}

template <typename T>
void Int(std::string& out, T v) {
    char buf[24];
    auto r = std::to_chars(buf, buf + sizeof buf, v);
    out.append(buf, r.ptr);
}

void Hex4(std::string& out, unsigned v) {
    static const char digits[] = "0123456789ABCDEF";
    for (int shift = 12; shift >= 0; shift -= 4)
        out += digits[v >> shift & 0xF];
}

// One embedded font: the TrueType file, its glyphs for the 256 cp1251 bytes,
// and what the document has used of it.
struct PdfFont {
    const char* name = "";  // PostScript name of the family member
    const char* resource = "";
    TrueTypeFont ttf;
    std::array<std::uint16_t, 256> glyph{};
    std::array<int, 256> width{};  // 1/1000 em
    std::array<std::array<char, 4>, 256> hex{};
    std::array<bool, 256> byteUsed{};
    std::vector<bool> used;
    std::vector<char16_t> unicode;  // of each used glyph
    double ascent = 0, height = 0;  // em
    bool any = false;

    bool Load(const std::string& path) {
        std::string data, why;
        if (!host::ReadWholeFile(path.c_str(), data, 64u << 20) || !ttf.Load(std::move(data), &why))
            return false;
        const double em = ttf.UnitsPerEm();
        for (int b = 0; b < 256; ++b) {
            glyph[b] = ttf.GlyphOf(host::Cp1251ToCodePoint(std::uint8_t(b)));
            width[b] = int(std::lround(ttf.Advance(glyph[b]) * 1000.0 / em));
            std::string h;
            Hex4(h, glyph[b]);
            std::copy(h.begin(), h.end(), hex[b].begin());
        }
        used.assign(std::size_t(ttf.GlyphCount()), false);
        unicode.assign(std::size_t(ttf.GlyphCount()), 0);
        ascent = ttf.Ascender() / em;
        height = (ttf.Ascender() - ttf.Descender()) / em;
        return true;
    }

    // Width of a line in 1/1000 em.
    long Measure(std::string_view line) const {
        long w = 0;
        for (char ch : line)
            w += width[std::uint8_t(ch)];
        return w;
    }

    // The line as a hexadecimal string of glyph ids; records the glyphs used.
    void Encode(std::string& out, std::string_view line) {
        out += '<';
        for (char ch : line) {
            const std::uint8_t b = std::uint8_t(ch);
            if (!byteUsed[b]) {
                byteUsed[b] = true;
                any = true;
                const std::uint16_t g = glyph[b];
                used[g] = true;
                if (!unicode[g]) unicode[g] = char16_t(host::Cp1251ToCodePoint(b));
            }
            out.append(hex[b].data(), 4);
        }
        out += '>';
    }
};

// The output file: buffered writes, object offsets for the cross-reference table.
class PdfFile {
  public:
    explicit PdfFile(FILE* f) : f_(f) {}

    void Write(std::string_view s) {
        buf_ += s;
        pos_ += s.size();
        if (buf_.size() >= (1u << 20)) Flush();
    }
    void Flush() {
        if (!buf_.empty() && std::fwrite(buf_.data(), 1, buf_.size(), f_) != buf_.size())
            ok_ = false;
        buf_.clear();
    }
    bool Ok() const { return ok_; }

    int NewObject() {
        offsets_.push_back(0);
        return int(offsets_.size()) - 1;
    }
    void Begin(int object) {
        offsets_[std::size_t(object)] = pos_;
        std::string s;
        Int(s, object);
        s += " 0 obj\n";
        Write(s);
    }
    void Object(int object, std::string_view body) {
        Begin(object);
        Write(body);
        Write("\nendobj\n");
    }
    // A stream object; `dict` holds the entries besides /Length and /Filter.
    void Stream(int object, std::string_view data, bool compress, std::string_view dict = {}) {
        std::string_view bytes = data;
        if (compress) {
            uLongf size = compressBound(uLong(data.size()));
            packed_.resize(size);
            if (compress2(reinterpret_cast<Bytef*>(packed_.data()), &size,
                          reinterpret_cast<const Bytef*>(data.data()), uLong(data.size()),
                          Z_BEST_SPEED) != Z_OK) {
                compress = false;
            } else {
                bytes = std::string_view(packed_.data(), size);
            }
        }
        std::string head = "<< /Length ";
        Int(head, bytes.size());
        if (compress) head += " /Filter /FlateDecode";
        head += dict;
        head += " >>\nstream\n";
        Begin(object);
        Write(head);
        Write(bytes);
        Write("\nendstream\nendobj\n");
    }

    void Finish(int root, int info) {
        const std::size_t xref = pos_;
        std::string s = "xref\n0 ";
        Int(s, offsets_.size());
        s += "\n0000000000 65535 f \n";
        char entry[24];
        for (std::size_t i = 1; i < offsets_.size(); ++i) {
            std::snprintf(entry, sizeof entry, "%010zu 00000 n \n", offsets_[i]);
            s += entry;
        }
        s += "trailer\n<< /Size ";
        Int(s, offsets_.size());
        s += " /Root ";
        Int(s, root);
        s += " 0 R /Info ";
        Int(s, info);
        s += " 0 R >>\nstartxref\n";
        Int(s, xref);
        s += "\n%%EOF\n";
        Write(s);
        Flush();
    }

  private:
    FILE* f_;
    std::string buf_, packed_;
    std::size_t pos_ = 0;
    bool ok_ = true;
    std::vector<std::size_t> offsets_{0};  // object 0 is the head of the free list
};

// Paints one page's content stream: the texts of the cells, then their borders.
class PageContent {
  public:
    PageContent(const HReportDocument& doc, double pageHeightPt, PdfFont& regular, PdfFont& bold)
        : doc_(doc), top_(pageHeightPt), regular_(regular), bold_(bold) {}

    void Build(const HReportPage& page, std::string& out) {
        out.clear();
        out_ = &out;
        current_ = nullptr;
        out += "BT\n";
        for (const HReportRow& row : page.Rows)
            for (const HReportCell& c : row.Cells)
                Text(row, c);
        out += "ET\n";
        out += "0 G ";
        Num(out, kLineWidthMm * kPtPerMm, 3);
        out += "w 2 J 0 j\n";
        const HReportPageCel& pc = doc_.PageCel;
        Bounds(pc.MarginLeft, pc.MarginTop, doc_.PageWidth - pc.MarginLeft - pc.MarginRight,
               doc_.PageHeight - pc.MarginTop - pc.MarginBottom, pc.Bounds);
        for (const HReportRow& row : page.Rows)
            for (const HReportCell& c : row.Cells)
                Bounds(c.Left, row.Top, c.Width, row.Height, c.Bounds);
        if (lines_) out += "S\n";
        lines_ = false;
    }

  private:
    const HReportDocument& doc_;
    double top_;  // page height, pt
    PdfFont& regular_;
    PdfFont& bold_;
    std::string* out_ = nullptr;
    const PdfFont* current_ = nullptr;
    double currentSize_ = 0;
    bool lines_ = false;

    void Point(double xMm, double yMm) {
        Num(*out_, xMm * kPtPerMm);
        Num(*out_, top_ - yMm * kPtPerMm);
    }
    void Line(double x1, double y1, double x2, double y2) {
        Point(x1, y1);
        *out_ += "m ";
        Point(x2, y2);
        *out_ += "l\n";
        lines_ = true;
    }
    void Bounds(double x, double y, double w, double h, unsigned bounds) {
        if (bounds & hrbLeft) Line(x, y, x, y + h);
        if (bounds & hrbTop) Line(x, y, x + w, y);
        if (bounds & hrbRight) Line(x + w, y, x + w, y + h);
        if (bounds & hrbBottom) Line(x, y + h, x + w, y + h);
    }

    void Text(const HReportRow& row, const HReportCell& c) {
        if (c.Text.empty()) return;
        const double innerMm = c.Width - 2 * kCellPaddingX;
        const auto lines = BreakLines(c.Text, c.Font, innerMm, c.WordWrap);
        if (lines.empty() || innerMm <= 0) return;
        PdfFont& font = c.Font.Bold ? bold_ : regular_;
        const double size = FontSizeMm(c.Font);
        if (size <= 0) return;
        std::string& out = *out_;
        if (current_ != &font || currentSize_ != size) {
            out += font.resource;
            out += ' ';
            Num(out, size * kPtPerMm, 3);
            out += "Tf\n";
            current_ = &font;
            currentSize_ = size;
        }
        const double lineH = LineHeightMm(c.Font);
        const double block = lineH * double(lines.size());
        // Vertically centred; a block taller than the cell starts at its top
        // and is clipped by it.
        double y = row.Top + std::max(kCellPaddingY, (row.Height - block) / 2);
        const double baseline = (lineH - font.height * size) / 2 + font.ascent * size;
        const bool clip = y + block > row.Top + row.Height + kClipToleranceMm;
        if (clip) {
            out += "ET q ";
            Point(c.Left, row.Top + row.Height);
            Num(out, c.Width * kPtPerMm);
            Num(out, row.Height * kPtPerMm);
            out += "re W n BT ";
            out += font.resource;
            out += ' ';
            Num(out, size * kPtPerMm, 3);
            out += "Tf\n";
        }
        for (std::string_view line : lines) {
            const double advance = double(font.Measure(line)) * size / 1000.0;
            const double width = std::min(advance, innerMm);
            double x = c.Left + kCellPaddingX;
            if (c.Alignment == hraCenter) x += (innerMm - width) / 2;
            if (c.Alignment == hraRight) x += innerMm - width;
            // A line wider than its box is squeezed horizontally to fit.
            Num(out, advance > innerMm ? innerMm / advance : 1.0, 4);
            out += "0 0 1 ";
            Point(x, y + baseline);
            out += "Tm ";
            font.Encode(out, line);
            out += " Tj\n";
            y += lineH;
        }
        if (clip) {
            out += "ET Q BT\n";
            current_ = nullptr;
        }
    }
};

// A subset's name tag: six capital letters from the glyphs it holds.
std::string SubsetTag(const std::vector<bool>& used) {
    std::uint32_t h = 2166136261u;
    for (std::size_t g = 0; g < used.size(); ++g)
        if (used[g]) h = (h ^ std::uint32_t(g)) * 16777619u;
    std::string tag;
    for (int i = 0; i < 6; ++i, h /= 26)
        tag += char('A' + h % 26);
    return tag + "+";
}

// The five objects of an embedded font; returns the number of the Type0 font.
int WriteFont(PdfFile& file, PdfFont& font) {
    const int type0 = file.NewObject(), cid = file.NewObject(), descriptor = file.NewObject();
    const int program = file.NewObject(), toUnicode = file.NewObject();
    const std::string name = SubsetTag(font.used) + font.name;
    std::string s;
    s = "<< /Type /Font /Subtype /Type0 /BaseFont /" + name +
        " /Encoding /Identity-H /DescendantFonts [";
    Int(s, cid);
    s += " 0 R] /ToUnicode ";
    Int(s, toUnicode);
    s += " 0 R >>";
    file.Object(type0, s);

    const double em = font.ttf.UnitsPerEm();
    s = "<< /Type /Font /Subtype /CIDFontType2 /BaseFont /" + name +
        " /CIDSystemInfo << /Registry (Adobe) /Ordering (Identity) /Supplement 0 >>"
        " /FontDescriptor ";
    Int(s, descriptor);
    s += " 0 R /CIDToGIDMap /Identity /DW 1000 /W [";
    for (std::size_t g = 0; g < font.used.size(); ++g) {
        if (!font.used[g]) continue;
        Int(s, g);
        s += " [";
        Int(s, std::lround(font.ttf.Advance(std::uint16_t(g)) * 1000.0 / em));
        s += "] ";
    }
    s += "] >>";
    file.Object(cid, s);

    auto units = [&](std::string& out, int v) { Int(out, std::lround(v * 1000.0 / em)); };
    s = "<< /Type /FontDescriptor /FontName /" + name + " /Flags 32 /FontBBox [";
    for (int i = 0; i < 4; ++i) {
        units(s, font.ttf.BBox()[i]);
        s += i < 3 ? " " : "]";
    }
    s += " /ItalicAngle 0 /Ascent ";
    units(s, font.ttf.Ascender());
    s += " /Descent ";
    units(s, font.ttf.Descender());
    s += " /CapHeight ";
    units(s, font.ttf.CapHeight());
    s += " /StemV 80 /FontFile2 ";
    Int(s, program);
    s += " 0 R >>";
    file.Object(descriptor, s);

    const std::string subset = font.ttf.Subset(font.used);
    std::string dict = " /Length1 ";
    Int(dict, subset.size());
    file.Stream(program, subset, true, dict);

    std::string cmap =
        "/CIDInit /ProcSet findresource begin\n12 dict begin\nbegincmap\n"
        "/CIDSystemInfo << /Registry (Adobe) /Ordering (UCS) /Supplement 0 >> def\n"
        "/CMapName /Adobe-Identity-UCS def\n/CMapType 2 def\n"
        "1 begincodespacerange\n<0000> <FFFF>\nendcodespacerange\n";
    std::vector<std::size_t> mapped;
    for (std::size_t g = 0; g < font.used.size(); ++g)
        if (font.used[g] && font.unicode[g]) mapped.push_back(g);
    for (std::size_t i = 0; i < mapped.size(); i += 100) {
        const std::size_t n = std::min<std::size_t>(100, mapped.size() - i);
        Int(cmap, n);
        cmap += " beginbfchar\n";
        for (std::size_t j = i; j < i + n; ++j) {
            cmap += '<';
            Hex4(cmap, unsigned(mapped[j]));
            cmap += "> <";
            Hex4(cmap, font.unicode[mapped[j]]);
            cmap += ">\n";
        }
        cmap += "endbfchar\n";
    }
    cmap += "endcmap\nCMapName currentdict /CMap defineresource pop\nend\nend\n";
    file.Stream(toUnicode, cmap, true);
    return type0;
}

// A PDF text string: UTF-16BE in hexadecimal, with the byte order mark.
std::string TextString(std::string_view cp1251) {
    std::string s = "<FEFF";
    for (char16_t u : host::Cp1251ToUtf16(cp1251))
        Hex4(s, u);
    return s + ">";
}

}  // namespace

void SetPdfFontFolder(std::string folder) {
    if (!folder.empty() && folder.back() != '/') folder += '/';
    g_fontFolder = std::move(folder);
}

std::string PdfFontFolder() {
    return g_fontFolder;
}

PdfOutcome WritePdf(const HReportDocument& doc, const char* path) {
    PdfFont regular, bold;
    regular.name = "DejaVuSans";
    regular.resource = "/F1";
    bold.name = "DejaVuSans-Bold";
    bold.resource = "/F2";
    for (PdfFont* f : {&regular, &bold}) {
        const std::string file = g_fontFolder + f->name + ".ttf";
        if (!f->Load(file)) {
            SetError("%s: %s", "Шрифт для PDF не прочитан"_cp, file.c_str());
            return PdfOutcome::FontsMissing;
        }
    }
    auto failed = [&] {
        SetError("%s: %s", "Не удалось записать файл"_cp, path);
        return PdfOutcome::Failed;
    };
    host::UniqueFile f = host::OpenFile(path, "wb");
    if (!f) return failed();

    // Points, rounded as the page sizes of printers are (A4 is 595 x 842).
    const double widthPt = std::round(doc.PageWidth * kPtPerMm);
    const double heightPt = std::round(doc.PageHeight * kPtPerMm);
    PdfFile file(f.get());
    file.Write("%PDF-1.4\n%\xE2\xE3\xCF\xD3\n");
    const int catalog = file.NewObject(), pages = file.NewObject();
    const int resources = file.NewObject(), info = file.NewObject();

    std::string kids, content;
    PageContent painter(doc, heightPt, regular, bold);
    for (const HReportPage& page : doc.Pages) {
        const int object = file.NewObject(), stream = file.NewObject();
        std::string s = "<< /Type /Page /Parent ";
        Int(s, pages);
        s += " 0 R /Resources ";
        Int(s, resources);
        s += " 0 R /Contents ";
        Int(s, stream);
        s += " 0 R >>";
        file.Object(object, s);
        painter.Build(page, content);
        file.Stream(stream, content, true);
        Int(kids, object);
        kids += " 0 R ";
        if (!file.Ok()) break;
    }

    std::string s = "<< /Font << ";
    for (PdfFont* font : {&regular, &bold}) {
        if (!font->any) continue;
        const int object = WriteFont(file, *font);
        s += font->resource;
        s += ' ';
        Int(s, object);
        s += " 0 R ";
    }
    s += ">> /ProcSet [/PDF /Text] >>";
    file.Object(resources, s);

    s = "<< /Type /Pages /Kids [" + kids + "] /Count ";
    Int(s, doc.Pages.size());
    s += " /MediaBox [0 0 ";
    Int(s, std::llround(widthPt));
    s += ' ';
    Int(s, std::llround(heightPt));
    s += "] >>";
    file.Object(pages, s);
    s = "<< /Type /Catalog /Pages ";
    Int(s, pages);
    s += " 0 R >>";
    file.Object(catalog, s);
    file.Object(info, "<< /Title " + TextString(doc.Title) +
                          " /Creator (Tripwatch) /Producer (Tripwatch) >>");
    file.Finish(catalog, info);

    if (!file.Ok() || !f.Close()) {
        f.reset();
        host::DeleteFile(path);
        return failed();
    }
    return PdfOutcome::Written;
}

}  // namespace host::report
