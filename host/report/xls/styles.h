// The workbook's formatting tables (internal to host_xls): fonts, number
// formats and cell XFs, each distinct one written once.
#pragma once

#include "workbook.h"

#include <cstdint>
#include <string>
#include <vector>

namespace host::xls::detail {

// The XF of cells without a format of their own.
inline constexpr uint16_t kDefaultCellXf = 15;

class Styles {
  public:
    // Keeps a reference to `fonts`, which must outlive the tables. Fault for
    // more than 500 fonts or a font name of no or more than 255 characters.
    explicit Styles(const std::vector<Font>& fonts);

    // Fault for fonts that the constructor would refuse, after fonts were added.
    void CheckFonts() const;

    // The XF index of the format, added when new. Fault for an unknown font, a
    // number format above 255 characters, or too many formats or XFs.
    uint16_t CellXf(const CellFormat& f);

    // The FONT, FORMAT, XF and STYLE records.
    void Write(std::vector<uint8_t>& out) const;

  private:
    struct Key {
        uint16_t font, format;
        uint8_t hAlign, vAlign;
        bool wrap;
        uint8_t borders;
        bool operator==(const Key&) const = default;
    };

    uint16_t FormatIndex(const std::u16string& s);
    static void PutCellXf(std::vector<uint8_t>& out, const Key& k);

    const std::vector<Font>& fonts_;
    std::vector<std::u16string> formats_;
    std::vector<Key> xfs_;
};

}  // namespace host::xls::detail
