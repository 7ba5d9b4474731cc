// Helpers shared by the spreadsheet tests: byte comparison, a BIFF record walker,
// a FreeXL dump of a sheet and a fixture with a scratch folder.
#pragma once

#include <gtest/gtest.h>

#include <freexl.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <map>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "test_env.h"

namespace xls_test {

// A test case with an empty scratch folder of its own in `dir_`.
class ScratchFolderTest : public ::testing::Test {
  protected:
    void SetUp() override { dir_ = twtest::ScratchDir(""); }
    std::filesystem::path dir_;
};

using Bytes = std::vector<uint8_t>;

// Equal byte strings, or the first differing byte.
inline ::testing::AssertionResult SameBytes(const Bytes& expected, const Bytes& actual) {
    const std::size_t n = std::min(expected.size(), actual.size());
    for (std::size_t i = 0; i < n; ++i) {
        if (expected[i] != actual[i]) {
            std::ostringstream s;
            s << std::hex << std::setfill('0') << "first difference at byte " << std::dec << i
              << " (0x" << std::hex << i << "): expected 0x" << std::setw(2) << int(expected[i])
              << ", got 0x" << std::setw(2) << int(actual[i]);
            return ::testing::AssertionFailure() << s.str();
        }
    }
    if (expected.size() != actual.size())
        return ::testing::AssertionFailure()
               << "the first " << n << " bytes agree, but the sizes differ: expected "
               << expected.size() << ", got " << actual.size();
    return ::testing::AssertionSuccess();
}

// Little-endian building blocks for expected bytes.
struct Le {
    Bytes b;
    Le& u8(uint8_t v) {
        b.push_back(v);
        return *this;
    }
    Le& u16(uint16_t v) { return u8(uint8_t(v)).u8(uint8_t(v >> 8)); }
    Le& u32(uint32_t v) { return u16(uint16_t(v)).u16(uint16_t(v >> 16)); }
    Le& f64(double v) {
        uint64_t bits;
        std::memcpy(&bits, &v, 8);
        return u32(uint32_t(bits)).u32(uint32_t(bits >> 32));
    }
    Le& ascii(const char* s) {
        while (*s)
            u8(uint8_t(*s++));
        return *this;
    }
    Le& utf16(std::u16string_view s) {
        for (char16_t c : s)
            u16(c);
        return *this;
    }
    Le& fill(std::size_t n, uint8_t v) {
        b.insert(b.end(), n, v);
        return *this;
    }
};

inline uint16_t U16(const Bytes& b, std::size_t at) {
    return uint16_t(b[at] | b[at + 1] << 8);
}
inline uint32_t U32(const Bytes& b, std::size_t at) {
    return uint32_t(U16(b, at)) | uint32_t(U16(b, at + 2)) << 16;
}

struct Record {
    uint16_t type;
    std::size_t offset;  // of the record header in the stream
    Bytes data;
};

// Every record of a BIFF stream, up to its end or the zero padding after it.
inline std::vector<Record> Records(const Bytes& stream) {
    std::vector<Record> out;
    for (std::size_t at = 0; at + 4 <= stream.size();) {
        const uint16_t type = U16(stream, at), size = U16(stream, at + 2);
        if (type == 0 && size == 0) break;
        if (at + 4 + size > stream.size()) {
            ADD_FAILURE() << "record at " << at << " runs past the stream";
            break;
        }
        out.push_back({type, at, Bytes(stream.begin() + at + 4, stream.begin() + at + 4 + size)});
        at += 4 + size;
    }
    return out;
}

// The records of one type, in order.
inline std::vector<Record> RecordsOf(const std::vector<Record>& all, uint16_t type) {
    std::vector<Record> out;
    for (const Record& r : all)
        if (r.type == type) out.push_back(r);
    return out;
}

// The records of the worksheet substream `index` (0-based).
inline std::vector<Record> SheetRecords(const std::vector<Record>& all, int index) {
    std::vector<Record> out;
    int bof = -1;
    for (const Record& r : all) {
        if (r.type == 0x0809) ++bof;
        if (bof == index + 1) out.push_back(r);
        if (bof == index + 1 && r.type == 0x000A) break;
    }
    return out;
}

inline Bytes ReadFile(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

inline void WriteFile(const std::filesystem::path& p, const Bytes& b) {
    std::ofstream out(p, std::ios::binary);
    out.write(reinterpret_cast<const char*>(b.data()), std::streamsize(b.size()));
}

// The "Workbook" stream of a compound file, found in the first directory
// sector and read along the FAT.
inline Bytes ReadBackWorkbook(const std::filesystem::path& path) {
    const Bytes file = ReadFile(path);
    if (file.size() < 1024) return {};
    auto sector = [](uint32_t n) { return std::size_t(n + 1) * 512; };
    std::vector<uint32_t> fatSectors;
    const uint32_t fatCount = U32(file, 0x2C);
    for (uint32_t i = 0; i < 109 && i < fatCount; ++i)
        fatSectors.push_back(U32(file, 0x4C + 4 * i));
    for (uint32_t d = U32(file, 0x44); fatSectors.size() < fatCount && sector(d) < file.size();
         d = U32(file, sector(d) + 508))
        for (uint32_t i = 0; i < 127 && fatSectors.size() < fatCount; ++i)
            fatSectors.push_back(U32(file, sector(d) + 4 * i));
    std::vector<uint32_t> fat;
    for (uint32_t s : fatSectors)
        for (uint32_t i = 0; i < 128 && sector(s) + 512 <= file.size(); ++i)
            fat.push_back(U32(file, sector(s) + 4 * i));
    const std::size_t dir = sector(U32(file, 0x30));
    for (std::size_t e = dir; e < dir + 512 && e + 128 <= file.size(); e += 128) {
        if (file[e + 66] != 2 || U16(file, e) != 'W') continue;
        Bytes stream;
        const uint32_t size = U32(file, e + 120);
        for (uint32_t s = U32(file, e + 116); s < fat.size() && stream.size() < size; s = fat[s])
            stream.insert(stream.end(), file.begin() + sector(s), file.begin() + sector(s) + 512);
        stream.resize(std::min<std::size_t>(size, stream.size()));
        return stream;
    }
    return {};
}

// What FreeXL reads from one sheet of a file.
struct FreeXlSheet {
    int openResult = 0;
    bool handle = false;
    std::string name;
    unsigned rows = 0;
    unsigned short cols = 0;
    std::map<std::pair<unsigned, unsigned>, std::string> texts;  // UTF-8
    std::map<std::pair<unsigned, unsigned>, double> numbers;
};

inline FreeXlSheet ReadWithFreeXl(const std::string& path, unsigned short sheet = 0) {
    FreeXlSheet s;
    const void* h = nullptr;
    s.openResult = freexl_open(path.c_str(), &h);
    s.handle = h != nullptr;
    if (s.openResult == FREEXL_OK && h) {
        const char* name = nullptr;
        if (freexl_get_worksheet_name(h, sheet, &name) == FREEXL_OK && name) s.name = name;
        freexl_select_active_worksheet(h, sheet);
        freexl_worksheet_dimensions(h, &s.rows, &s.cols);
        for (unsigned r = 0; r < s.rows; ++r)
            for (unsigned short c = 0; c < s.cols; ++c) {
                FreeXL_CellValue v;
                if (freexl_get_cell_value(h, r, c, &v) != FREEXL_OK) continue;
                if (v.type == FREEXL_CELL_TEXT || v.type == FREEXL_CELL_SST_TEXT)
                    s.texts[{r, c}] = v.value.text_value;
                else if (v.type == FREEXL_CELL_DOUBLE)
                    s.numbers[{r, c}] = v.value.double_value;
                else if (v.type == FREEXL_CELL_INT)
                    s.numbers[{r, c}] = double(v.value.int_value);
            }
    }
    if (h) freexl_close(h);
    return s;
}

}  // namespace xls_test
