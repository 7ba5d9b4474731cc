#include "records.h"

#include <algorithm>
#include <stdexcept>

namespace host::xls::detail {

namespace {

// Characters after the flags byte: low bytes when every unit is <= U+00FF,
// otherwise UTF-16LE.
void PutChars(Data& d, std::u16string_view s, bool wide) {
    for (char16_t c : s)
        wide ? d.U16(c) : d.U8(uint8_t(c));
}

}  // namespace

void Fault(const std::string& what) {
    throw std::invalid_argument(what);
}

bool FitsLatin1(std::u16string_view s) {
    return std::all_of(s.begin(), s.end(), [](char16_t c) { return c <= 0xFF; });
}

void PutString16(Data& d, std::u16string_view s) {
    const bool wide = !FitsLatin1(s);
    d.U16(uint16_t(s.size())).U8(wide ? 1 : 0);
    PutChars(d, s, wide);
}

void PutString8(Data& d, std::u16string_view s) {
    const bool wide = !FitsLatin1(s);
    d.U8(uint8_t(s.size())).U8(wide ? 1 : 0);
    PutChars(d, s, wide);
}

void PutRecord(std::vector<uint8_t>& out, uint16_t type, const Data& d) {
    if (d.size() > kMaxRecordData) Fault("record too long (type " + std::to_string(type) + ")");
    out.push_back(uint8_t(type));
    out.push_back(uint8_t(type >> 8));
    out.push_back(uint8_t(d.size()));
    out.push_back(uint8_t(d.size() >> 8));
    out.insert(out.end(), d.bytes().begin(), d.bytes().end());
}

void PutU16Record(std::vector<uint8_t>& out, uint16_t type, uint16_t v) {
    PutRecord(out, type, Data().U16(v));
}

void PutBof(std::vector<uint8_t>& out, uint16_t substream) {
    PutRecord(out, kBof, Data().U16(0x0600).U16(substream).U16(0x0DBB).U16(0x07CC).U32(0).U32(6));
}

}  // namespace host::xls::detail
