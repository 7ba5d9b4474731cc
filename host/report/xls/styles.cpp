#include "styles.h"

#include "records.h"

#include <algorithm>
#include <string_view>
#include <utility>

namespace host::xls::detail {

namespace {

constexpr uint16_t kFirstCellXf = 16;
constexpr std::size_t kMaxXfs = 4000;
constexpr uint16_t kFirstUserFormat = 164;
constexpr uint16_t kBorderColourBlack = 8;

void PutFont(std::vector<uint8_t>& out, const Font& f) {
    Data d;
    d.U16(f.heightTwips)
        .U16(uint16_t((f.italic ? 0x02 : 0) | (f.bold ? 0x01 : 0)))
        .U16(0x7FFF)  // automatic colour
        .U16(f.bold ? 700 : 400)
        .U16(0)  // no super/subscript
        .U8(0)   // no underline
        .U8(0)   // family
        .U8(f.charset)
        .U8(0);
    PutString8(d, f.name);
    PutRecord(out, kFont, d);
}

void PutXf(std::vector<uint8_t>& out, uint16_t font, uint16_t format, uint16_t type, uint8_t align,
           uint8_t used, uint32_t lines, uint32_t colours) {
    PutRecord(out, kXf,
              Data()
                  .U16(font)
                  .U16(format)
                  .U16(type)
                  .U8(align)
                  .U8(0)  // rotation
                  .U8(0)  // indent, shrink, reading order
                  .U8(used)
                  .U32(lines)
                  .U32(colours)
                  .U16(0x20C0));  // system pattern colours
}

}  // namespace

Styles::Styles(const std::vector<Font>& fonts) : fonts_(fonts) {
    CheckFonts();
}

void Styles::CheckFonts() const {
    if (fonts_.size() > 500) Fault("too many fonts");
    for (const Font& f : fonts_)
        if (f.name.empty() || f.name.size() > 255) Fault("font name must have 1 to 255 characters");
}

uint16_t Styles::CellXf(const CellFormat& f) {
    if (f == CellFormat{}) return kDefaultCellXf;
    if (f.font < -1 || f.font >= int(fonts_.size()))
        Fault("cell format refers to font " + std::to_string(f.font) + " of " +
              std::to_string(fonts_.size()));
    // The first four FONT records hold the default font; index 4 does not
    // exist, so fonts[i] is index 5 + i.
    const uint16_t font = f.font < 0 ? 0 : uint16_t(5 + f.font);
    const Key key{font,   FormatIndex(f.numberFormat),    uint8_t(f.hAlign), uint8_t(f.vAlign),
                  f.wrap, uint8_t(f.borders & kBorderAll)};
    const auto it = std::find(xfs_.begin(), xfs_.end(), key);
    if (it != xfs_.end()) return uint16_t(kFirstCellXf + (it - xfs_.begin()));
    if (xfs_.size() + kFirstCellXf >= kMaxXfs) Fault("too many distinct cell formats");
    xfs_.push_back(key);
    return uint16_t(kFirstCellXf + xfs_.size() - 1);
}

void Styles::Write(std::vector<uint8_t>& out) const {
    const Font def = fonts_.empty() ? Font{} : fonts_[0];
    for (int i = 0; i < 4; ++i)
        PutFont(out, def);
    for (const Font& f : fonts_)
        PutFont(out, f);
    for (std::size_t i = 0; i < formats_.size(); ++i) {
        Data d;
        d.U16(uint16_t(kFirstUserFormat + i));
        PutString16(d, formats_[i]);
        PutRecord(out, kFormat, d);
    }
    // Style XFs 0..14 ("Normal" and the outline levels), then the default cell XF.
    for (int i = 0; i < 15; ++i)
        PutXf(out, 0, 0, 0xFFF5, 0x20, i == 0 ? 0x00 : 0xF4, 0, 0);
    PutXf(out, 0, 0, 0x0001, 0x20, 0x00, 0, 0);
    for (const Key& k : xfs_)
        PutCellXf(out, k);
    // The built-in "Normal" style on XF 0.
    PutRecord(out, kStyle, Data().U16(0x8000).U8(0).U8(0xFF));
}

void Styles::PutCellXf(std::vector<uint8_t>& out, const Key& k) {
    const uint8_t align = uint8_t(k.hAlign | (k.wrap ? 0x08 : 0) | (k.vAlign << 4));
    uint32_t lines = 0, colours = 0;
    auto side = [&](uint8_t bit) { return (k.borders & bit) != 0; };
    if (side(kBorderLeft)) lines |= 1u | (uint32_t(kBorderColourBlack) << 16);
    if (side(kBorderRight)) lines |= (1u << 4) | (uint32_t(kBorderColourBlack) << 23);
    if (side(kBorderTop)) {
        lines |= 1u << 8;
        colours |= kBorderColourBlack;
    }
    if (side(kBorderBottom)) {
        lines |= 1u << 12;
        colours |= uint32_t(kBorderColourBlack) << 7;
    }
    PutXf(out, k.font, k.format, 0x0001, align, k.format ? 0xFC : 0xF8, lines, colours);
}

uint16_t Styles::FormatIndex(const std::u16string& s) {
    static const std::pair<std::u16string_view, uint16_t> kBuiltIn[] = {
        {u"", 0},         {u"General", 0}, {u"0", 1},      {u"0.00", 2},      {u"#,##0", 3},
        {u"#,##0.00", 4}, {u"0%", 9},      {u"0.00%", 10}, {u"0.00E+00", 11}, {u"@", 49}};
    for (const auto& [text, index] : kBuiltIn)
        if (s == text) return index;
    const auto it = std::find(formats_.begin(), formats_.end(), s);
    if (it != formats_.end()) return uint16_t(kFirstUserFormat + (it - formats_.begin()));
    if (s.size() > 255) Fault("number format longer than 255 characters");
    if (formats_.size() >= 200) Fault("too many number formats");
    formats_.push_back(s);
    return uint16_t(kFirstUserFormat + formats_.size() - 1);
}

}  // namespace host::xls::detail
