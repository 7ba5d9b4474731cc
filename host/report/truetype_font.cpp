#include "report/truetype_font.h"

#include <algorithm>
#include <cstring>

namespace host::report {

namespace {

// Big-endian reads that give 0 past the end of the bytes.
std::uint32_t U16(const std::string& d, std::size_t off) {
    if (off > d.size() || d.size() - off < 2) return 0;
    return std::uint32_t(std::uint8_t(d[off])) << 8 | std::uint8_t(d[off + 1]);
}
int S16(const std::string& d, std::size_t off) {
    return int(std::int16_t(std::uint16_t(U16(d, off))));
}
std::uint32_t U32(const std::string& d, std::size_t off) {
    return U16(d, off) << 16 | U16(d, off + 2);
}

void Put16(std::string& out, std::uint32_t v) {
    out += char(v >> 8 & 0xFF);
    out += char(v & 0xFF);
}
void Put32(std::string& out, std::uint32_t v) {
    Put16(out, v >> 16);
    Put16(out, v & 0xFFFF);
}
void Set32(std::string& out, std::size_t off, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out[off + std::size_t(i)] = char(v >> (24 - 8 * i) & 0xFF);
}

// The table checksum: the sum of the big-endian words, the last one padded.
std::uint32_t CheckSum(const std::string& d, std::size_t off, std::size_t len) {
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i < len; i += 4) {
        std::uint32_t w = 0;
        for (std::size_t j = 0; j < 4; ++j)
            w = w << 8 | (i + j < len ? std::uint8_t(d[off + i + j]) : 0);
        sum += w;
    }
    return sum;
}

// Flags of a component of a composite glyph.
constexpr std::uint32_t kArgsAreWords = 0x0001;
constexpr std::uint32_t kHaveScale = 0x0008;
constexpr std::uint32_t kMoreComponents = 0x0020;
constexpr std::uint32_t kHaveXYScale = 0x0040;
constexpr std::uint32_t kHaveTwoByTwo = 0x0080;

}  // namespace

bool TrueTypeFont::Load(std::string data, std::string* error) {
    data_ = std::move(data);
    const std::string& d = data_;
    auto fail = [&](const char* why) {
        if (error) *error = why;
        data_.clear();
        return false;
    };
    const std::uint32_t version = U32(d, 0);
    if (d.size() < 12 || (version != 0x00010000 && version != 0x74727565))
        return fail("not a TrueType font");
    const std::uint32_t tables = U16(d, 4);
    if (d.size() < 12 + std::size_t(tables) * 16) return fail("truncated table directory");
    struct Want {
        const char* tag;
        Table* table;
    };
    const Want wanted[] = {{"head", &head_}, {"hhea", &hhea_}, {"maxp", &maxp_}, {"hmtx", &hmtx_},
                           {"loca", &loca_}, {"glyf", &glyf_}, {"cmap", &cmap_}, {"OS/2", &os2_},
                           {"cvt ", &cvt_},  {"fpgm", &fpgm_}, {"prep", &prep_}};
    for (std::uint32_t i = 0; i < tables; ++i) {
        const std::size_t rec = 12 + std::size_t(i) * 16;
        const std::uint32_t offset = U32(d, rec + 8), length = U32(d, rec + 12);
        if (offset > d.size() || d.size() - offset < length) return fail("table outside the file");
        for (const Want& w : wanted)
            if (std::memcmp(d.data() + rec, w.tag, 4) == 0) *w.table = {offset, length, true};
    }
    for (const Table* t : {&head_, &hhea_, &maxp_, &hmtx_, &loca_, &glyf_, &cmap_})
        if (!t->present) return fail("a required table is missing");
    if (head_.length < 54 || hhea_.length < 36 || maxp_.length < 6)
        return fail("truncated font header");

    unitsPerEm_ = int(U16(d, head_.offset + 18));
    for (int i = 0; i < 4; ++i)
        bbox_[i] = S16(d, head_.offset + 36 + std::size_t(i) * 2);
    longLoca_ = S16(d, head_.offset + 50) == 1;
    ascender_ = S16(d, hhea_.offset + 4);
    descender_ = S16(d, hhea_.offset + 6);
    hMetrics_ = int(U16(d, hhea_.offset + 34));
    glyphCount_ = int(U16(d, maxp_.offset + 4));
    capHeight_ = ascender_;
    if (os2_.present && os2_.length >= 90 && U16(d, os2_.offset) >= 2)
        capHeight_ = S16(d, os2_.offset + 88);
    if (unitsPerEm_ < 16 || glyphCount_ < 1 || hMetrics_ < 1 || hMetrics_ > glyphCount_)
        return fail("bad font metrics");
    if (hmtx_.length < std::uint32_t(hMetrics_) * 4) return fail("truncated glyph metrics");
    if (loca_.length < std::uint32_t(glyphCount_ + 1) * (longLoca_ ? 4 : 2))
        return fail("truncated glyph locations");

    // The Unicode (BMP) character map: Windows Unicode or a Unicode platform map
    // of format 4.
    const std::uint32_t maps = U16(d, cmap_.offset + 2);
    if (cmap_.length < 4 + maps * 8) return fail("truncated character map");
    for (std::uint32_t i = 0; i < maps && !cmap4_; ++i) {
        const std::size_t rec = cmap_.offset + 4 + std::size_t(i) * 8;
        const std::uint32_t platform = U16(d, rec), encoding = U16(d, rec + 2);
        if (!(platform == 3 && encoding == 1) && platform != 0) continue;
        const std::uint32_t sub = U32(d, rec + 4);
        if (sub >= cmap_.length) continue;
        const std::uint32_t at = cmap_.offset + sub;
        if (U16(d, at) != 4) continue;
        const std::uint32_t length = U16(d, at + 2), segments = U16(d, at + 6) / 2;
        if (length > cmap_.length - sub || length < 16 + segments * 8) continue;
        cmap4_ = at;
    }
    if (!cmap4_) return fail("no Unicode character map of format 4");
    return true;
}

std::uint16_t TrueTypeFont::GlyphOf(char32_t cp) const {
    if (!cmap4_ || cp > 0xFFFF) return 0;
    const std::string& d = data_;
    const std::uint32_t segments = U16(d, cmap4_ + 6) / 2;
    const std::size_t ends = cmap4_ + 14, starts = ends + segments * 2 + 2;
    const std::size_t deltas = starts + segments * 2, ranges = deltas + segments * 2;
    // The segments are sorted by their end codes.
    std::uint32_t lo = 0, hi = segments;
    while (lo < hi) {
        const std::uint32_t mid = (lo + hi) / 2;
        if (U16(d, ends + mid * 2) < cp)
            lo = mid + 1;
        else
            hi = mid;
    }
    if (lo == segments) return 0;
    const std::uint32_t start = U16(d, starts + lo * 2);
    if (cp < start) return 0;
    const std::uint32_t delta = U16(d, deltas + lo * 2);
    const std::uint32_t range = U16(d, ranges + lo * 2);
    if (range == 0) return std::uint16_t((cp + delta) & 0xFFFF);
    const std::uint32_t g = U16(d, ranges + lo * 2 + range + (cp - start) * 2);
    return g == 0 ? 0 : std::uint16_t((g + delta) & 0xFFFF);
}

int TrueTypeFont::Advance(std::uint16_t glyph) const {
    const int g = std::min<int>(glyph, hMetrics_ - 1);
    return int(U16(data_, hmtx_.offset + std::size_t(g) * 4));
}

void TrueTypeFont::GlyphRange(std::uint16_t g, std::uint32_t* offset, std::uint32_t* length) const {
    *offset = *length = 0;
    if (g >= glyphCount_) return;
    std::uint32_t a, b;
    if (longLoca_) {
        a = U32(data_, loca_.offset + std::size_t(g) * 4);
        b = U32(data_, loca_.offset + std::size_t(g) * 4 + 4);
    } else {
        a = U16(data_, loca_.offset + std::size_t(g) * 2) * 2;
        b = U16(data_, loca_.offset + std::size_t(g) * 2 + 2) * 2;
    }
    if (b <= a || b > glyf_.length) return;  // empty, or outside the table
    *offset = glyf_.offset + a;
    *length = b - a;
}

std::string TrueTypeFont::Subset(const std::vector<bool>& used) const {
    const std::string& d = data_;
    std::vector<bool> keep(std::size_t(glyphCount_), false);
    std::vector<std::uint16_t> todo{0};
    for (std::size_t g = 0; g < used.size() && g < keep.size(); ++g)
        if (used[g]) todo.push_back(std::uint16_t(g));
    // Composite glyphs bring in their components.
    while (!todo.empty()) {
        const std::uint16_t g = todo.back();
        todo.pop_back();
        if (g >= keep.size() || keep[g]) continue;
        keep[g] = true;
        std::uint32_t at, length;
        GlyphRange(g, &at, &length);
        if (length < 10 || S16(d, at) >= 0) continue;
        std::uint32_t pos = 10, flags;
        do {
            if (pos + 4 > length) break;
            flags = U16(d, at + pos);
            todo.push_back(std::uint16_t(U16(d, at + pos + 2)));
            pos += 4 + ((flags & kArgsAreWords) ? 4 : 2);
            if (flags & kHaveScale)
                pos += 2;
            else if (flags & kHaveXYScale)
                pos += 4;
            else if (flags & kHaveTwoByTwo)
                pos += 8;
        } while (flags & kMoreComponents);
    }

    std::string glyf, loca;
    for (int g = 0; g < glyphCount_; ++g) {
        Put32(loca, std::uint32_t(glyf.size()));
        if (!keep[std::size_t(g)]) continue;
        std::uint32_t at, length;
        GlyphRange(std::uint16_t(g), &at, &length);
        glyf.append(d, at, length);
        glyf.resize((glyf.size() + 3) & ~std::size_t(3));
    }
    Put32(loca, std::uint32_t(glyf.size()));
    std::string head = d.substr(head_.offset, head_.length);
    Set32(head, 8, 0);           // checkSumAdjustment, set below
    head[50] = 0, head[51] = 1;  // long glyph locations

    struct Out {
        const char* tag;
        std::string bytes;
    };
    std::vector<Out> out;  // sorted by tag
    auto copy = [&](const char* tag, const Table& t) {
        if (t.present) out.push_back({tag, d.substr(t.offset, t.length)});
    };
    copy("cmap", cmap_);
    copy("cvt ", cvt_);
    copy("fpgm", fpgm_);
    out.push_back({"glyf", std::move(glyf)});
    out.push_back({"head", std::move(head)});
    copy("hhea", hhea_);
    copy("hmtx", hmtx_);
    out.push_back({"loca", std::move(loca)});
    copy("maxp", maxp_);
    copy("prep", prep_);

    const std::uint32_t n = std::uint32_t(out.size());
    std::uint32_t power = 1, log2 = 0;
    while (power * 2 <= n)
        power *= 2, ++log2;
    std::string file;
    Put32(file, 0x00010000);
    Put16(file, n);
    Put16(file, power * 16);
    Put16(file, log2);
    Put16(file, n * 16 - power * 16);
    std::size_t offset = 12 + std::size_t(n) * 16, headAt = 0;
    for (const Out& t : out) {
        file.append(t.tag, 4);
        Put32(file, CheckSum(t.bytes, 0, t.bytes.size()));
        Put32(file, std::uint32_t(offset));
        Put32(file, std::uint32_t(t.bytes.size()));
        if (std::memcmp(t.tag, "head", 4) == 0) headAt = offset;
        offset += (t.bytes.size() + 3) & ~std::size_t(3);
    }
    for (const Out& t : out) {
        file += t.bytes;
        file.resize((file.size() + 3) & ~std::size_t(3));
    }
    Set32(file, headAt + 8, 0xB1B0AFBAu - CheckSum(file, 0, file.size()));
    return file;
}

}  // namespace host::report
