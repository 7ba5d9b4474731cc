// Bytes appended in order and read back once (internal to host_xls): held in
// memory up to a limit, then moved on to an anonymous temporary file, so that a
// large worksheet's rows are never all in memory. Owns the file, which the
// system removes when it is closed. Failures throw std::system_error.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "common/osfile.h"

namespace host::xls::detail {

class SpillBuffer {
  public:
    // Holds at most `memoryLimit` bytes in memory.
    explicit SpillBuffer(std::size_t memoryLimit) : limit_(memoryLimit) {}

    void Append(std::span<const uint8_t> bytes);
    uint64_t size() const { return size_; }

    // Hands every byte so far, in order and in pieces, to `piece`.
    void ForEachPiece(const std::function<void(std::span<const uint8_t>)>& piece) const;

  private:
    void Spill();

    std::size_t limit_;
    uint64_t size_ = 0;
    std::vector<uint8_t> held_;
    host::UniqueFile file_;
};

}  // namespace host::xls::detail
