// A TrueType font file as the PDF writer needs it: metrics, the glyph of a
// character (from the font's own Unicode character map), glyph advances, and a
// subset of the file that keeps only the outlines of the glyphs a document
// uses. Every read of the file is bounds-checked; a damaged file is refused
// when loaded, never read past.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace host::report {

class TrueTypeFont {
  public:
    // Takes the file's bytes. False (with a reason in *error, UTF-8) when they
    // are not a TrueType font with the tables this class reads.
    bool Load(std::string data, std::string* error);

    int UnitsPerEm() const { return unitsPerEm_; }
    int Ascender() const { return ascender_; }    // font units, above the baseline
    int Descender() const { return descender_; }  // font units, negative
    int CapHeight() const { return capHeight_; }
    const int* BBox() const { return bbox_; }  // xMin, yMin, xMax, yMax
    int GlyphCount() const { return glyphCount_; }

    // The glyph of a Unicode character; 0 (the missing-glyph box) when the font
    // has none.
    std::uint16_t GlyphOf(char32_t cp) const;
    // Advance width of a glyph in font units.
    int Advance(std::uint16_t glyph) const;

    // A font file with the outlines of the glyphs marked in `used` (indexed by
    // glyph id; glyph 0 and the parts of composite glyphs are always kept) and
    // empty outlines for the rest, so that glyph ids stay the same (the character
    // map is kept).
    std::string Subset(const std::vector<bool>& used) const;

  private:
    std::string data_;
    struct Table {
        std::uint32_t offset = 0, length = 0;
        bool present = false;
    };
    Table head_, hhea_, maxp_, hmtx_, loca_, glyf_, cmap_, os2_, cvt_, fpgm_, prep_;
    int unitsPerEm_ = 0, ascender_ = 0, descender_ = 0, capHeight_ = 0;
    int bbox_[4] = {0, 0, 0, 0};
    int glyphCount_ = 0, hMetrics_ = 0;
    bool longLoca_ = false;
    std::uint32_t cmap4_ = 0;  // offset of the format 4 character map in data_

    // Bytes [offset, offset + length) of glyph `g` in data_; length 0 when empty.
    void GlyphRange(std::uint16_t g, std::uint32_t* offset, std::uint32_t* length) const;
};

}  // namespace host::report
