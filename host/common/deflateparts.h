// A gzip member deflated in parts side by side: the input is cut into parts,
// each part is deflated on its own thread with the 32 KiB before it as its
// dictionary and ends on a byte boundary (a sync flush), the last one ends the
// stream. The result is one ordinary gzip member at the same zlib level, read
// by every gzip reader; a part's matches cannot reach across its start, which
// the dictionary makes up for but for a few bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace host {

// The 10 bytes of the member's header, as zlib's gzip writer makes them.
void AppendGzipHeader(std::string& out);
// The trailer: CRC-32 and length (mod 2^32) of all the input, little-endian.
void AppendGzipTrailer(std::string& out, uint32_t crc, uint64_t size);

// Deflates `data` at zlib `level` onto `out` in up to `parts` parts at once,
// `history` (the input before `data`, its last 32 KiB used) as the first part's
// dictionary; `final` ends the stream. `crc` is updated over `data`. False
// (last error set) when zlib fails or memory runs out.
bool DeflateInParts(std::span<const unsigned char> history, std::span<const unsigned char> data,
                    int level, int parts, bool final, std::string& out, uint32_t& crc);

}  // namespace host
