#include "pgcopy.h"

#include <bit>
#include <cstring>
#include <type_traits>

namespace host::pg {
namespace {

constexpr char kSignature[11] = {'P', 'G', 'C', 'O', 'P', 'Y', '\n', '\377', '\r', '\n', '\0'};
constexpr std::size_t kHeaderFixed =
    sizeof kSignature + 4 + 4;  // signature, flags, extension length
// Microseconds from 1970-01-01 to 2000-01-01, PostgreSQL's epoch of timestamps.
constexpr int64_t kEpochShift = 946684800LL * 1000000;

template <typename T>
void PutBig(std::string& out, T value) {
    using U = std::make_unsigned_t<T>;
    const U v = U(value);
    for (int shift = int(sizeof(T) * 8) - 8; shift >= 0; shift -= 8)
        out.push_back(char((v >> shift) & 0xFF));
}

template <typename T>
T GetBig(const char* p) {
    using U = std::make_unsigned_t<T>;
    U v;
    std::memcpy(&v, p, sizeof v);
    if constexpr (std::endian::native == std::endian::little) {
        if constexpr (sizeof(U) == 2) v = U(__builtin_bswap16(v));
        if constexpr (sizeof(U) == 4) v = __builtin_bswap32(v);
        if constexpr (sizeof(U) == 8) v = __builtin_bswap64(v);
    }
    return T(v);
}

}  // namespace

void AppendCopyHeader(std::string& out) {
    out.append(kSignature, sizeof kSignature);
    PutBig<int32_t>(out, 0);  // flags: no OIDs
    PutBig<int32_t>(out, 0);  // no header extension
}

void AppendCopyRow(std::string& out, std::string_view variable, int64_t unixSeconds, int32_t state,
                   double value) {
    PutBig<int16_t>(out, 4);
    PutBig<int32_t>(out, int32_t(variable.size()));
    out.append(variable);
    PutBig<int32_t>(out, 8);
    PutBig<int64_t>(out, unixSeconds * 1000000 - kEpochShift);
    PutBig<int32_t>(out, 4);
    PutBig<int32_t>(out, state);
    PutBig<int32_t>(out, 8);
    PutBig<uint64_t>(out, std::bit_cast<uint64_t>(value));
}

void AppendCopyTrailer(std::string& out) {
    PutBig<int16_t>(out, -1);
}

bool CopyDecoder::Fail(const char* what) {
    if (error_.empty()) error_ = what;
    return false;
}

bool CopyDecoder::Feed(const char* data, std::size_t size) {
    if (!error_.empty()) return false;
    if (trailerSeen_ && size) return Fail("data after the end of the COPY stream");
    std::size_t used = 0;
    if (buffer_.empty()) {
        // The usual case: the chunk holds whole rows (libpq hands over one a
        // call), read where they are; only a row's beginning is kept.
        if (!Parse(data, size, used)) return false;
        if (used < size) buffer_.assign(data + used, size - used);
        return true;
    }
    buffer_.append(data, size);
    if (!Parse(buffer_.data(), buffer_.size(), used)) return false;
    buffer_.erase(0, used);
    return true;
}

bool CopyDecoder::Parse(const char* const base, const std::size_t size, std::size_t& used) {
    if (!headerDone_) {
        if (size < kHeaderFixed) return true;
        if (std::memcmp(base, kSignature, sizeof kSignature) != 0)
            return Fail("not a binary COPY stream");
        const uint32_t extension = GetBig<uint32_t>(base + sizeof kSignature + 4);
        if (extension > 1024) return Fail("COPY header extension too long");
        if (size < kHeaderFixed + extension) return true;
        used = kHeaderFixed + extension;
        headerDone_ = true;
    }
    while (!trailerSeen_ && size - used >= 2) {
        const char* p = base + used;
        const std::size_t left = size - used;
        const int16_t fields = GetBig<int16_t>(p);
        if (fields == -1) {
            trailerSeen_ = true;
            used += 2;
            break;
        }
        if (fields != 4) return Fail("a COPY row without the four sample columns");
        // The key: a name's length and bytes, or an ordinal's length (8) and
        // value; then time 8, state 4, value 8, each after its length.
        if (left < 6) return true;
        const int32_t keyLength = GetBig<int32_t>(p + 2);
        if (keyLength < 0) return Fail("a sample without a variable name");
        if (key_ == CopyKey::Ordinal && keyLength != 8)
            return Fail("a COPY row whose columns are not of the samples' types");
        if (std::size_t(keyLength) > kMaxNameBytes) return Fail("a variable name too long");
        const std::size_t rowSize = 6 + std::size_t(keyLength) + (4 + 8) + (4 + 4) + (4 + 8);
        if (left < rowSize) return true;
        const char* q = p + 6 + keyLength;
        if (GetBig<int32_t>(q) != 8 || GetBig<int32_t>(q + 12) != 4 || GetBig<int32_t>(q + 20) != 8)
            return Fail("a COPY row whose columns are not of the samples' types");
        const int64_t micros = GetBig<int64_t>(q + 4);
        const int64_t shifted = micros / 1000000 + kEpochShift / 1000000;
        const int64_t seconds = micros % 1000000 < 0 ? shifted - 1 : shifted;  // toward the past
        const bool named = key_ == CopyKey::Name;
        const CopySample s{
            named ? std::string_view(p + 6, std::size_t(keyLength)) : std::string_view(),
            named ? 0 : GetBig<int64_t>(p + 6), seconds, GetBig<int32_t>(q + 16),
            std::bit_cast<double>(GetBig<uint64_t>(q + 24))};
        used += rowSize;
        if (!onRow_(s)) return Fail("stopped");
    }
    if (trailerSeen_ && used != size) return Fail("data after the end of the COPY stream");
    return true;
}

bool CopyDecoder::Finish() {
    if (!error_.empty()) return false;
    if (!trailerSeen_) return Fail("the COPY stream ended early");
    return true;
}

}  // namespace host::pg
