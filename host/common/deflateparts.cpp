#include "deflateparts.h"

#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <thread>
#include <vector>

#include "lasterror.h"

namespace host {
namespace {

constexpr std::size_t kWindow = 32768;
// Below this a part is not worth a thread of its own.
constexpr std::size_t kMinPart = 128 * 1024;

struct Part {
    std::span<const unsigned char> dictionary, data;
    bool last = false;
    std::string out;
    uint32_t crc = 0;
    bool ok = false;
};

// Deflates what `z` holds onto `out`, which grows as the output comes: a
// report's text shrinks to a twentieth, and room for the bound of all of it
// would be written over with zeros for nothing. The output does not depend on
// the room given. False when zlib fails.
bool Deflate(z_stream& z, int flush, std::string& out) {
    // A sync flush adds at most an empty stored block to the bound.
    const std::size_t bound = deflateBound(&z, z.avail_in) + 16;
    out.resize(std::min(bound, std::size_t(z.avail_in) / 8 + 4096));
    for (std::size_t made = 0;;) {
        z.next_out = reinterpret_cast<Bytef*>(out.data() + made);
        z.avail_out = uInt(out.size() - made);
        const int rc = deflate(&z, flush);
        made = out.size() - z.avail_out;
        // A flush that ended exactly at the end of the room is done too: called
        // again with more, deflate has nothing to add (Z_BUF_ERROR) and says so.
        const bool done =
            flush == Z_FINISH ? rc == Z_STREAM_END : z.avail_in == 0 && z.avail_out > 0;
        if (done) {
            out.resize(made);
            return true;
        }
        if ((rc != Z_OK && rc != Z_BUF_ERROR) || z.avail_out > 0 || out.size() >= bound)
            return false;
        out.resize(std::min(bound, out.size() * 2));
    }
}

// Raw deflate of one part (no header), ending with a sync flush or, when it
// is the last, with the end of the stream.
void DeflatePart(int level, Part& p) {
    z_stream z{};
    if (deflateInit2(&z, level, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK) return;
    const std::size_t dict = std::min(p.dictionary.size(), kWindow);
    bool ok =
        dict == 0 || deflateSetDictionary(&z, p.dictionary.data() + p.dictionary.size() - dict,
                                          uInt(dict)) == Z_OK;
    z.next_in = const_cast<Bytef*>(p.data.data());
    z.avail_in = uInt(p.data.size());
    ok = ok && Deflate(z, p.last ? Z_FINISH : Z_SYNC_FLUSH, p.out);
    if (!ok) p.out.clear();
    deflateEnd(&z);
    p.crc = uint32_t(crc32_z(0, p.data.data(), p.data.size()));
    p.ok = ok;
}

void PutLE32(std::string& out, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out.push_back(char((v >> (8 * i)) & 0xFF));
}

}  // namespace

void AppendGzipHeader(std::string& out) {
    static const unsigned char header[10] = {0x1F, 0x8B, 8, 0, 0, 0, 0, 0, 0, 3};
    out.append(reinterpret_cast<const char*>(header), sizeof header);
}

void AppendGzipTrailer(std::string& out, uint32_t crc, uint64_t size) {
    PutLE32(out, crc);
    PutLE32(out, uint32_t(size));
}

bool DeflateInParts(std::span<const unsigned char> history, std::span<const unsigned char> data,
                    int level, int parts, bool final, std::string& out, uint32_t& crc) {
    const std::size_t n =
        std::clamp<std::size_t>(data.size() / kMinPart, 1, std::size_t(std::max(parts, 1)));
    std::vector<Part> cut(n);
    for (std::size_t i = 0; i < n; ++i) {
        const std::size_t begin = data.size() * i / n, end = data.size() * (i + 1) / n;
        cut[i].dictionary = i == 0 ? history : data.subspan(0, begin);
        cut[i].data = data.subspan(begin, end - begin);
        cut[i].last = final && i + 1 == n;
    }
    {
        std::vector<std::jthread> workers;
        for (std::size_t i = 1; i < n; ++i) {
            try {
                workers.emplace_back(DeflatePart, level, std::ref(cut[i]));
            } catch (const std::system_error&) {
                DeflatePart(level, cut[i]);  // no thread to be had: here
            }
        }
        DeflatePart(level, cut[0]);
    }  // the workers end here
    for (const Part& p : cut) {
        if (!p.ok) {
            errno = ENOMEM;
            return SetErrnoError();
        }
        out += p.out;
        crc = uint32_t(crc32_combine(crc, p.crc, z_off_t(p.data.size())));
    }
    return true;
}

}  // namespace host
