#include "sst.h"

#include "records.h"

#include <algorithm>

namespace host::xls::detail {

namespace {

// A record written straight into the stream, its size filled in when it ends;
// a full record goes on in a CONTINUE record.
class GrowingRecord {
  public:
    GrowingRecord(std::vector<uint8_t>& out, uint16_t type) : out_(out) { Begin(type); }

    // Data bytes so far, and bytes from the record's first header byte.
    std::size_t Used() const { return out_.size() - start_ - 4; }
    std::size_t FromStart() const { return out_.size() - start_; }
    std::size_t Room() const { return kMaxRecordData - Used(); }

    void U8(uint8_t v) { out_.push_back(v); }
    void U16(uint16_t v) { out_.insert(out_.end(), {uint8_t(v), uint8_t(v >> 8)}); }

    void Continue() {
        Finish();
        Begin(kContinue);
    }
    void Finish() {
        const std::size_t n = Used();
        out_[start_ + 2] = uint8_t(n);
        out_[start_ + 3] = uint8_t(n >> 8);
    }

  private:
    void Begin(uint16_t type) {
        start_ = out_.size();
        out_.insert(out_.end(), {uint8_t(type), uint8_t(type >> 8), 0, 0});
    }

    std::vector<uint8_t>& out_;
    std::size_t start_ = 0;
};

// The string's header and characters. Characters that do not fit go on in a
// CONTINUE record that begins by repeating the flags byte.
void PutSstString(GrowingRecord& r, const std::u16string& s) {
    const bool wide = !FitsLatin1(s);
    const std::size_t unit = wide ? 2 : 1;
    r.U16(uint16_t(s.size()));
    r.U8(wide ? 1 : 0);
    for (std::size_t pos = 0; pos < s.size();) {
        const std::size_t room = r.Room() / unit;
        if (room == 0) {
            r.Continue();
            r.U8(wide ? 1 : 0);
            continue;
        }
        const std::size_t n = std::min(room, s.size() - pos);
        for (std::size_t k = pos; k < pos + n; ++k)
            wide ? r.U16(s[k]) : r.U8(uint8_t(s[k]));
        pos += n;
    }
}

}  // namespace

uint32_t StringTable::Add(const std::u16string& s) {
    ++total_;
    const auto [it, added] = index_.try_emplace(s, uint32_t(strings_.size()));
    if (added) strings_.push_back(&it->first);
    return it->second;
}

void StringTable::Write(std::vector<uint8_t>& out) const {
    const uint32_t unique = uint32_t(strings_.size());
    const uint16_t perBucket = uint16_t(std::max<uint32_t>(unique / 128 + 1, 8));
    Data ext;
    ext.U16(perBucket);

    GrowingRecord sst(out, kSst);
    sst.U16(uint16_t(total_));
    sst.U16(uint16_t(total_ >> 16));
    sst.U16(uint16_t(unique));
    sst.U16(uint16_t(unique >> 16));
    for (uint32_t i = 0; i < unique; ++i) {
        const std::u16string& s = *strings_[i];
        const std::size_t unit = FitsLatin1(s) ? 1 : 2;
        // The 3-byte string header never parts from its first character.
        if (sst.Used() + 3 + (s.empty() ? 0 : unit) > kMaxRecordData) sst.Continue();
        if (i % perBucket == 0) ext.U32(uint32_t(out.size())).U16(uint16_t(sst.FromStart())).U16(0);
        PutSstString(sst, s);
    }
    sst.Finish();
    PutRecord(out, kExtSst, ext);
}

}  // namespace host::xls::detail
