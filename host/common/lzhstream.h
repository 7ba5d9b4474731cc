// The host's compressing file streams. LZHFileOStream writes a gzip file (zlib);
// OpenStreamFile reads it back, and reads an uncompressed file as it is.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "unique_handle.h"

class HOStream {
  public:
    virtual ~HOStream() = default;
    // Writes all `size` bytes; false on any failure (last error set).
    virtual bool Write(const void* data, std::size_t size) = 0;
};

class HIStream {
  public:
    virtual ~HIStream() = default;
    // Reads up to `size` bytes; returns the number actually read (0 at the end
    // or on a failure, which also sets the last error).
    virtual std::size_t Read(void* data, std::size_t size) = 0;
};

class LZHFileOStream : public HOStream {
  public:
    // `level` is the zlib compression level (1..9; 0 stores). The input is
    // deflated a few megabytes at a time, a long write where it lies, in parts
    // side by side (deflateparts.h).
    explicit LZHFileOStream(int level);
    ~LZHFileOStream() override;  // closes without reporting
    LZHFileOStream(const LZHFileOStream&) = delete;
    LZHFileOStream& operator=(const LZHFileOStream&) = delete;

    // Creates (or truncates) the file; false (last error set) when it cannot.
    bool Assign(const char* path);
    // Writes into an already open descriptor, which the stream then owns.
    bool AssignFd(int fd);
    bool Write(const void* data, std::size_t size) override;
    // Flushes and closes; false (last error set) when anything failed since
    // Assign, including the final flush (a full disk shows here at the latest).
    bool Close();

  private:
    // Deflates `data` (the input gathered so far, or a long write) and writes
    // it; `final` ends the file.
    bool Emit(std::span<const unsigned char> data, bool final);
    bool Failed();

    host::UniqueFd fd_;
    int level_;
    bool failed_ = false;
    bool started_ = false;                // the header is out
    std::vector<unsigned char> pending_;  // input not yet deflated
    std::vector<unsigned char> history_;  // the last 32 KiB deflated
    uint32_t crc_ = 0;
    uint64_t size_ = 0;
};

// Opens a file written by LZHFileOStream, or a plain file; null (last error set)
// when it cannot be opened. The stream reads `buffer` bytes of the file at a
// time and unpacks twice as many: a reader of a file's first bytes alone asks
// for little (kStreamHeadBuffer), one of the whole file for much.
inline constexpr unsigned kStreamHeadBuffer = 512;
inline constexpr unsigned kStreamWholeBuffer = 64 << 10;
std::unique_ptr<HIStream> OpenStreamFile(const char* path, unsigned buffer = kStreamWholeBuffer);
