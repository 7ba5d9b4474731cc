// The decoder of the binary COPY stream that a PostgreSQL archive sends: each
// input is fed whole and again in chunks of its first byte's size, and both
// feedings must agree; each input is read as rows of named samples and as rows
// of one variable's arrays.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

#include "archive/pg/pgcopy.h"

namespace {

std::string Decode(const uint8_t* data, std::size_t size, std::size_t chunk,
                   host::pg::CopyLayout layout) {
    std::string rows;
    host::pg::CopyDecoder d(
        [&](const host::pg::CopySample& s) {
            rows.append(s.Variable).append(std::to_string(s.Ordinal));
            rows.append(std::to_string(s.Time)).append(std::to_string(s.State));
            return rows.size() < (1u << 20);
        },
        layout);
    for (std::size_t at = 0; at < size; at += chunk)
        if (!d.Feed(reinterpret_cast<const char*>(data) + at, std::min(chunk, size - at)))
            return rows + "!" + d.Error();
    return rows + (d.Finish() ? "." : "!" + d.Error());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const std::size_t chunk = size ? std::size_t(data[0] % 17) + 1 : 1;
    for (const auto layout :
         {host::pg::CopyLayout::NamedRows, host::pg::CopyLayout::VariableArrays})
        if (Decode(data, size, size ? size : 1, layout) != Decode(data, size, chunk, layout))
            __builtin_trap();
    return 0;
}
