// The binary COPY stream of PostgreSQL ("PGCOPY"), for the samples table's four
// columns (variable text, time timestamptz, state integer, value double
// precision), or one row a variable: its ordinal in the request (bigint) and its
// samples as three arrays (timestamptz[], integer[], double precision[], NULL
// for none). The encoder writes what COPY ... FROM STDIN (FORMAT binary) takes,
// the decoder reads what COPY ... TO STDOUT (FORMAT binary) gives. The decoder
// takes the stream in chunks of any size and checks every length against the
// bytes it has before it reads them; it never allocates from a length it has
// not bounded.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace host::pg {

// A variable name longer than this is refused by the decoder (the configuration's
// names are much shorter).
inline constexpr std::size_t kMaxNameBytes = 1024;

// What a row holds: one sample with its variable's name, or one variable's
// samples as arrays after its ordinal.
enum class CopyLayout { NamedRows, VariableArrays };

struct CopySample {
    std::string_view Variable;  // NamedRows: valid only during the callback
    int64_t Ordinal;            // VariableArrays (NamedRows: 0)
    int64_t Time;               // seconds since 1970 (UTC), whole seconds toward the past
    int32_t State;
    double Value;
    int64_t Micros = 0;  // the full time, microseconds since 1970 (UTC)
};

// Why a sample of `name` at `micros` cannot be archived, naming both: a state
// outside 0..65535 or a value that is not a finite number; empty when it can.
// The run and the export check every sample with it.
std::string SampleFault(std::string_view name, int64_t micros, int32_t state, double value);

// The stream's header, one row, and the trailer.
void AppendCopyHeader(std::string& out);
void AppendCopyRow(std::string& out, std::string_view variable, int64_t unixSeconds, int32_t state,
                   double value);
void AppendCopyTrailer(std::string& out);

class CopyDecoder {
  public:
    using RowHandler = std::function<bool(const CopySample&)>;
    // `onRow` is called for every complete row, or every sample of an array
    // row; it returns false to stop.
    explicit CopyDecoder(RowHandler onRow, CopyLayout layout = CopyLayout::NamedRows)
        : onRow_(std::move(onRow)), layout_(layout) {}

    // Takes the next bytes of the stream. False when the stream is malformed
    // (Error() says how) or the handler stopped.
    bool Feed(const char* data, std::size_t size);
    // True when the stream ended with its trailer and nothing after it.
    bool Finish();
    const std::string& Error() const { return error_; }

  private:
    // Reads the rows of base[0..size) from `used` on, moving `used` past them.
    bool Parse(const char* base, std::size_t size, std::size_t& used);
    // One row at `p` (`left` bytes there, its field count read): its size, 0
    // when it is not all there yet, -1 when it is malformed or stopped.
    long NamedRow(const char* p, std::size_t left);
    long ArrayRow(const char* p, std::size_t left);
    bool Fail(const char* what);

    RowHandler onRow_;
    CopyLayout layout_;
    std::string buffer_;  // the start of a row that the next bytes complete
    bool headerDone_ = false;
    bool trailerSeen_ = false;
    std::string error_;
};

}  // namespace host::pg
