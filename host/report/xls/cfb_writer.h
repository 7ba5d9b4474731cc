// Compound File (CFB version 3, 512-byte sectors) holding a single stream named
// "Workbook": the container of an Excel 97-2003 (.xls) file.
//
// Layout of the file: the 512-byte header, the stream's sectors (one contiguous
// chain), the FAT sectors, the DIFAT sectors (only when more than 109 FAT
// sectors are needed, i.e. streams above about 7 MB) and one directory sector
// with the entries "Root Entry", "Workbook" and two unused ones.
//
// Streams shorter than 4096 bytes would have to live in the mini stream; instead
// the stream is padded with zero bytes to 4096. Readers stop at the workbook's
// final EOF record, so the padding is never seen.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace host::xls {

// Streams are padded to at least this size (the container's mini-stream cutoff).
inline constexpr std::size_t kMiniStreamCutoff = 4096;

// A compound file around a stream written separately: `head`, the stream,
// `padding` zero bytes (to whole sectors, and at least kMiniStreamCutoff), then
// `tail` (FAT, DIFAT and directory sectors).
struct CompoundFrame {
    std::vector<uint8_t> head, tail;
    uint64_t padding = 0;
};

// The frame of a stream of `workbookSize` bytes named "Workbook". Throws
// std::length_error for a stream the format cannot address (4 GB or more).
CompoundFrame MakeCompoundFrame(uint64_t workbookSize);

// The bytes of a compound file whose only stream is `workbook` (named "Workbook").
// Throws std::length_error for a stream the format cannot address (4 GB or more).
std::vector<uint8_t> BuildCompoundFile(std::span<const uint8_t> workbook);

// Writes `bytes` to `path` atomically: the data go to a temporary file
// `path.tmpXXXXXX` in the same folder, which is then renamed over `path`. On
// failure the temporary file is removed, `path` is left as it was, *error (when
// not null) receives a message naming the file and the system's reason, and the
// result is false.
bool WriteFileAtomically(const std::string& path, std::span<const uint8_t> bytes,
                         std::string* error);

// BuildCompoundFile + WriteFileAtomically.
bool WriteCompoundFile(const std::string& path, std::span<const uint8_t> workbook,
                       std::string* error);

}  // namespace host::xls
