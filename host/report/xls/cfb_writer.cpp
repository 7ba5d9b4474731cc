#include "cfb_writer.h"

#include "common/lasterror.h"
#include "common/osfile.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace host::xls {

namespace {

constexpr uint32_t kSectorSize = 512;
constexpr uint32_t kEntriesPerFatSector = kSectorSize / 4;  // 128
constexpr uint32_t kHeaderDifatSlots = 109;                 // FAT sectors named in the header
constexpr uint32_t kEntriesPerDifatSector = kEntriesPerFatSector - 1;  // the last slot chains

constexpr uint32_t kFreeSect = 0xFFFFFFFF;
constexpr uint32_t kEndOfChain = 0xFFFFFFFE;
constexpr uint32_t kFatSect = 0xFFFFFFFD;
constexpr uint32_t kDifSect = 0xFFFFFFFC;
constexpr uint32_t kNoStream = 0xFFFFFFFF;
constexpr uint32_t kMaxRegularSector = 0xFFFFFFFA;

uint32_t CeilDiv(uint64_t a, uint64_t b) {
    return static_cast<uint32_t>((a + b - 1) / b);
}

void PutU16(std::vector<uint8_t>& out, std::size_t at, uint16_t v) {
    out[at] = static_cast<uint8_t>(v);
    out[at + 1] = static_cast<uint8_t>(v >> 8);
}

void PutU32(std::vector<uint8_t>& out, std::size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

std::size_t SectorOffset(uint32_t sector) {
    return (std::size_t(sector) + 1) * kSectorSize;
}

// One 128-byte directory entry at `at`. An empty name makes an unused entry.
void PutDirectoryEntry(std::vector<uint8_t>& out, std::size_t at, std::u16string_view name,
                       uint8_t type, uint32_t child, uint32_t start, uint32_t size) {
    for (std::size_t i = 0; i < name.size(); ++i)
        PutU16(out, at + 2 * i, name[i]);
    if (!name.empty()) {
        PutU16(out, at + 64, static_cast<uint16_t>((name.size() + 1) * 2));  // with the NUL
        out[at + 66] = type;
        out[at + 67] = 1;  // black
    }
    PutU32(out, at + 68, kNoStream);  // left sibling
    PutU32(out, at + 72, kNoStream);  // right sibling
    PutU32(out, at + 76, child);
    PutU32(out, at + 116, start);
    PutU32(out, at + 120, size);  // the high DWORD at 124 stays 0 in version 3
}

std::string SystemMessage(const char* what, const std::string& path, int err) {
    return std::string(what) + " '" + path + "': " + std::generic_category().message(err);
}

}  // namespace

CompoundFrame MakeCompoundFrame(uint64_t workbookSize) {
    const uint64_t streamSize = std::max<uint64_t>(workbookSize, kMiniStreamCutoff);
    if (streamSize > 0xFFFFFFFFu - kSectorSize)
        throw std::length_error("workbook stream too large for a compound file");

    // Sector counts: W stream, F FAT, X DIFAT, one directory. F and X depend on
    // each other (the FAT also maps the FAT and DIFAT sectors), so iterate until
    // both settle; they only grow, so this ends after a few rounds.
    const uint32_t w = CeilDiv(streamSize, kSectorSize);
    const uint32_t d = 1;
    uint32_t f = 0, x = 0;
    for (;;) {
        const uint64_t need = uint64_t(w) + d + f + x;
        const uint32_t f2 = CeilDiv(need, kEntriesPerFatSector);
        const uint32_t x2 =
            f2 > kHeaderDifatSlots ? CeilDiv(f2 - kHeaderDifatSlots, kEntriesPerDifatSector) : 0;
        if (f2 == f && x2 == x) break;
        f = f2;
        x = x2;
    }
    const uint32_t firstFat = w;
    const uint32_t firstDifat = w + f;
    const uint32_t dirSector = w + f + x;
    if (dirSector > kMaxRegularSector) throw std::length_error("compound file too large");

    // The header, then (after the stream's sectors) the tail from sector w on.
    CompoundFrame frame;
    frame.padding = uint64_t(w) * kSectorSize - workbookSize;
    std::vector<uint8_t>& head = frame.head;
    std::vector<uint8_t>& tail = frame.tail;
    head.assign(kSectorSize, 0);
    tail.assign(SectorOffset(dirSector + 1) - SectorOffset(w), 0);
    auto inTail = [&](uint32_t sector) { return SectorOffset(sector) - SectorOffset(w); };

    // Header.
    static constexpr uint8_t kSignature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
    std::copy(std::begin(kSignature), std::end(kSignature), head.begin());
    PutU16(head, 0x18, 0x003E);  // minor version
    PutU16(head, 0x1A, 0x0003);  // major version 3: 512-byte sectors
    PutU16(head, 0x1C, 0xFFFE);  // byte order mark
    PutU16(head, 0x1E, 9);       // sector shift
    PutU16(head, 0x20, 6);       // mini sector shift
    PutU32(head, 0x2C, f);
    PutU32(head, 0x30, dirSector);
    PutU32(head, 0x38, kMiniStreamCutoff);
    PutU32(head, 0x3C, kEndOfChain);  // no mini FAT
    PutU32(head, 0x44, x ? firstDifat : kEndOfChain);
    PutU32(head, 0x48, x);
    for (uint32_t i = 0; i < kHeaderDifatSlots; ++i)
        PutU32(head, 0x4C + 4 * i, i < f ? firstFat + i : kFreeSect);

    // FAT: entry n lives in FAT sector n / 128, slot n % 128.
    auto setFat = [&](uint32_t sector, uint32_t value) {
        const uint32_t fatSector = firstFat + sector / kEntriesPerFatSector;
        PutU32(tail, inTail(fatSector) + 4 * (sector % kEntriesPerFatSector), value);
    };
    for (uint32_t n = 0; n < f * kEntriesPerFatSector; ++n)
        setFat(n, kFreeSect);
    for (uint32_t n = 0; n + 1 < w; ++n)
        setFat(n, n + 1);
    setFat(w - 1, kEndOfChain);
    for (uint32_t n = 0; n < f; ++n)
        setFat(firstFat + n, kFatSect);
    for (uint32_t n = 0; n < x; ++n)
        setFat(firstDifat + n, kDifSect);
    setFat(dirSector, kEndOfChain);

    // DIFAT sectors: FAT sectors 109 onwards, 127 to a sector, then the next link.
    for (uint32_t j = 0; j < x; ++j) {
        const std::size_t at = inTail(firstDifat + j);
        for (uint32_t i = 0; i < kEntriesPerDifatSector; ++i) {
            const uint32_t k = kHeaderDifatSlots + j * kEntriesPerDifatSector + i;
            PutU32(tail, at + 4 * i, k < f ? firstFat + k : kFreeSect);
        }
        PutU32(tail, at + 4 * kEntriesPerDifatSector, j + 1 < x ? firstDifat + j + 1 : kEndOfChain);
    }

    // Directory.
    const std::size_t dir = inTail(dirSector);
    PutDirectoryEntry(tail, dir, u"Root Entry", 5, 1, kEndOfChain, 0);
    PutDirectoryEntry(tail, dir + 128, u"Workbook", 2, kNoStream, 0,
                      static_cast<uint32_t>(streamSize));
    PutDirectoryEntry(tail, dir + 256, u"", 0, kNoStream, 0, 0);
    PutDirectoryEntry(tail, dir + 384, u"", 0, kNoStream, 0, 0);
    return frame;
}

std::vector<uint8_t> BuildCompoundFile(std::span<const uint8_t> workbook) {
    const CompoundFrame frame = MakeCompoundFrame(workbook.size());
    std::vector<uint8_t> out = frame.head;
    out.reserve(frame.head.size() + workbook.size() + frame.padding + frame.tail.size());
    out.insert(out.end(), workbook.begin(), workbook.end());
    out.insert(out.end(), frame.padding, 0);
    out.insert(out.end(), frame.tail.begin(), frame.tail.end());
    return out;
}

bool WriteFileAtomically(const std::string& path, std::span<const uint8_t> bytes,
                         std::string* error) {
    if (host::WriteOsFileAtomically(path, bytes.data(), bytes.size())) return true;
    if (error) *error = SystemMessage("cannot write", path, int(GetIOErrorN()));
    return false;
}

bool WriteCompoundFile(const std::string& path, std::span<const uint8_t> workbook,
                       std::string* error) {
    std::vector<uint8_t> bytes;
    try {
        bytes = BuildCompoundFile(workbook);
    } catch (const std::exception& e) {
        if (error) *error = "cannot write '" + path + "': " + e.what();
        return false;
    }
    return WriteFileAtomically(path, bytes, error);
}

}  // namespace host::xls
