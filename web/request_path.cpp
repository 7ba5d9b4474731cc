#include "request_path.h"

namespace web {
namespace {

constexpr std::size_t kMaxPath = 4096;

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Percent-decodes `raw` ("+" as a space when `plus` is set); nothing for a
// bad escape or a byte below 0x20 (NUL among them) or DEL.
std::optional<std::string> Decode(std::string_view raw, bool plus) {
    std::string out;
    out.reserve(raw.size());
    for (std::size_t i = 0; i < raw.size(); ++i) {
        char c = raw[i];
        if (c == '%') {
            if (i + 2 >= raw.size()) return std::nullopt;
            const int hi = HexDigit(raw[i + 1]), lo = HexDigit(raw[i + 2]);
            if (hi < 0 || lo < 0) return std::nullopt;
            c = char(hi * 16 + lo);
            i += 2;
        } else if (plus && c == '+') {
            c = ' ';
        }
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return std::nullopt;
        out += c;
    }
    return out;
}

}  // namespace

std::optional<std::vector<std::string>> SplitRequestPath(std::string_view raw) {
    if (raw.empty() || raw.front() != '/' || raw.size() > kMaxPath) return std::nullopt;
    std::vector<std::string> segments;
    std::string_view rest = raw.substr(1);
    while (!rest.empty()) {
        const std::size_t slash = rest.find('/');
        const std::string_view piece = rest.substr(0, slash);
        rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
        // Two slashes in a row: an empty segment.
        if (piece.empty()) return std::nullopt;
        std::optional<std::string> segment = Decode(piece, false);
        if (!segment || *segment == "." || *segment == ".." ||
            segment->find_first_of("/\\") != std::string::npos)
            return std::nullopt;
        segments.push_back(std::move(*segment));
    }
    return segments;
}

std::optional<std::string> DecodeQueryValue(std::string_view raw) {
    return Decode(raw, true);
}

}  // namespace web
