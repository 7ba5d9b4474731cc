#include "pgcopy.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <type_traits>

namespace host::pg {
namespace {

constexpr char kSignature[11] = {'P', 'G', 'C', 'O', 'P', 'Y', '\n', '\377', '\r', '\n', '\0'};
constexpr std::size_t kHeaderFixed =
    sizeof kSignature + 4 + 4;  // signature, flags, extension length
// Microseconds from 1970-01-01 to 2000-01-01, PostgreSQL's epoch of timestamps.
constexpr int64_t kEpochShift = 946684800LL * 1000000;
constexpr const char* kWrongTypes = "a COPY row whose columns are not of the samples' types";
constexpr const char* kInfiniteTime = "a sample at an infinite time";

// Whether a timestamp's microseconds since 2000 name a moment Unix time holds:
// not PostgreSQL's 'infinity' or '-infinity' (the extremes of int64).
bool FiniteTime(int64_t micros2000) {
    return micros2000 != INT64_MIN && micros2000 <= INT64_MAX - kEpochShift;
}

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

// Seconds since 1970 of microseconds since 1970, toward the past.
int64_t UnixSeconds(int64_t micros) {
    return micros / 1000000 - (micros % 1000000 < 0 ? 1 : 0);
}

// Microseconds since 1970 of a timestamp's microseconds since 2000.
int64_t UnixMicros(int64_t micros2000) {
    return micros2000 + kEpochShift;
}

// A sample from its decoded fields.
CopySample Sample(std::string_view variable, int64_t ordinal, int64_t micros2000, int32_t state,
                  uint64_t valueBits) {
    const int64_t micros = UnixMicros(micros2000);
    return CopySample{
        variable, ordinal, UnixSeconds(micros), state, std::bit_cast<double>(valueBits), micros};
}

// A one-dimensional binary array of `count` elements of `bytes` each, `oid`
// their type, NULL meaning none; false when `field` is not such an array.
bool ArrayOf(const char* field, int32_t length, uint32_t oid, int32_t bytes, int32_t& count,
             const char*& first) {
    first = nullptr;
    if (length == -1) return (count = 0), true;
    // dimensions, has-nulls flag, element type; one dimension's size and lower bound
    if (length < 12 || GetBig<uint32_t>(field + 8) != oid || GetBig<int32_t>(field + 4) != 0)
        return false;
    const int32_t dims = GetBig<int32_t>(field);
    if (dims == 0) return (count = 0), length == 12;
    if (dims != 1 || length < 20) return false;
    count = GetBig<int32_t>(field + 12);
    first = field + 20;
    return count >= 0 && (length - 20) / (4 + bytes) == count && (length - 20) % (4 + bytes) == 0;
}

}  // namespace

std::string SampleFault(std::string_view name, int64_t micros, int32_t state, double value) {
    const bool badState = state < 0 || state > 0xFFFF;
    if (!badState && std::isfinite(value)) return {};
    // The moment in UTC, to the microsecond where it has a fraction.
    const int64_t seconds = UnixSeconds(micros);
    const auto fraction = int(micros - seconds * 1000000);
    const std::time_t t = std::time_t(seconds);
    std::tm tm{};
    gmtime_r(&t, &tm);
    char when[48];
    std::strftime(when, sizeof when, "%Y-%m-%d %H:%M:%S", &tm);
    std::string at = when;
    if (fraction) {
        char micro[16];
        std::snprintf(micro, sizeof micro, ".%06d", fraction);
        at += micro;
    }
    at += " UTC";
    const std::string who = std::string(name) + " at " + at;
    if (badState)
        return "state " + std::to_string(state) + " of " + who + " is no 16-bit state code";
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return "value " + std::string(text) + " of " + who + " is not a finite number";
}

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
        const long row = layout_ == CopyLayout::NamedRows ? NamedRow(p, left) : ArrayRow(p, left);
        if (row < 0) return false;
        if (row == 0) return true;
        used += std::size_t(row);
    }
    if (trailerSeen_ && used != size) return Fail("data after the end of the COPY stream");
    return true;
}

long CopyDecoder::NamedRow(const char* p, std::size_t left) {
    // name: length + bytes; then time 8, state 4, value 8, each after a length.
    if (left < 6) return 0;
    const int32_t nameLength = GetBig<int32_t>(p + 2);
    if (nameLength < 0) return Fail("a sample without a variable name"), -1;
    if (std::size_t(nameLength) > kMaxNameBytes) return Fail("a variable name too long"), -1;
    const std::size_t rowSize = 6 + std::size_t(nameLength) + (4 + 8) + (4 + 4) + (4 + 8);
    if (left < rowSize) return 0;
    const char* q = p + 6 + nameLength;
    if (GetBig<int32_t>(q) != 8 || GetBig<int32_t>(q + 12) != 4 || GetBig<int32_t>(q + 20) != 8)
        return Fail(kWrongTypes), -1;
    if (!FiniteTime(GetBig<int64_t>(q + 4))) return Fail(kInfiniteTime), -1;
    const CopySample s =
        Sample(std::string_view(p + 6, std::size_t(nameLength)), 0, GetBig<int64_t>(q + 4),
               GetBig<int32_t>(q + 16), GetBig<uint64_t>(q + 24));
    if (!onRow_(s)) return Fail("stopped"), -1;
    return long(rowSize);
}

long CopyDecoder::ArrayRow(const char* p, std::size_t left) {
    // ordinal, then the three arrays: each field a length (-1: NULL) and bytes.
    const char* field[4];
    int32_t length[4];
    std::size_t at = 2;
    for (int f = 0; f < 4; ++f) {
        if (left - at < 4) return 0;
        length[f] = GetBig<int32_t>(p + at);
        if (length[f] < -1) return Fail(kWrongTypes), -1;
        field[f] = p + at + 4;
        at += 4 + std::size_t(std::max(length[f], 0));
        if (at > left) return 0;
    }
    int32_t n[3];
    const char* e[3];
    if (length[0] != 8 || !ArrayOf(field[1], length[1], 1184, 8, n[0], e[0]) ||
        !ArrayOf(field[2], length[2], 23, 4, n[1], e[1]) ||
        !ArrayOf(field[3], length[3], 701, 8, n[2], e[2]) || n[0] != n[1] || n[1] != n[2])
        return Fail(kWrongTypes), -1;
    const int64_t ordinal = GetBig<int64_t>(field[0]);
    for (int32_t i = 0; i < n[0]; ++i, e[0] += 12, e[1] += 8, e[2] += 12) {
        if (GetBig<int32_t>(e[0]) != 8 || GetBig<int32_t>(e[1]) != 4 || GetBig<int32_t>(e[2]) != 8)
            return Fail(kWrongTypes), -1;
        if (!FiniteTime(GetBig<int64_t>(e[0] + 4))) return Fail(kInfiniteTime), -1;
        const CopySample s = Sample(std::string_view(), ordinal, GetBig<int64_t>(e[0] + 4),
                                    GetBig<int32_t>(e[1] + 4), GetBig<uint64_t>(e[2] + 4));
        if (!onRow_(s)) return Fail("stopped"), -1;
    }
    return long(at);
}

bool CopyDecoder::Finish() {
    if (!error_.empty()) return false;
    if (!trailerSeen_) return Fail("the COPY stream ended early");
    return true;
}

}  // namespace host::pg
