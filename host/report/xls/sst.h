// The shared string table (internal to host_xls): every distinct cell text
// once, in the order first used, written as SST with CONTINUE records and the
// EXTSST index.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace host::xls::detail {

class StringTable {
  public:
    // The index of `s` in the table, added when new; counts every use.
    uint32_t Add(const std::u16string& s);

    // SST, its CONTINUE records, then EXTSST. `out` is the stream from its
    // start, so positions in it are stream offsets.
    void Write(std::vector<uint8_t>& out) const;

  private:
    uint32_t total_ = 0;
    std::map<std::u16string, uint32_t> index_;
    std::vector<const std::u16string*> strings_;
};

}  // namespace host::xls::detail
