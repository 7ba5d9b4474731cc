// Helpers of the report-core tests: scratch folders, file bytes, the byte image
// helpers used to build expected records from the byte tables, and fully filled
// sample records.
#pragma once

#include <sys/resource.h>
#include <zlib.h>

#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "common/cp1251.h"
#include "test_env.h"
#include "tw_contourline.h"
#include "tw_operations.h"

namespace tw_test {

// While alive, every write beyond `bytes` in a file fails with EFBIG, as a full
// disk fails a write (the file-size limit, with its signal ignored).
class ScopedFileSizeLimit {
  public:
    explicit ScopedFileSizeLimit(rlim_t bytes) {
        struct sigaction ignore {};
        ignore.sa_handler = SIG_IGN;
        sigaction(SIGXFSZ, &ignore, &previous_);
        getrlimit(RLIMIT_FSIZE, &old_);
        rlimit small = old_;
        small.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &small);
    }
    ~ScopedFileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &old_);
        sigaction(SIGXFSZ, &previous_, nullptr);
    }
    ScopedFileSizeLimit(const ScopedFileSizeLimit&) = delete;
    ScopedFileSizeLimit& operator=(const ScopedFileSizeLimit&) = delete;

  private:
    struct sigaction previous_ {};
    rlimit old_{};
};

using Bytes = std::vector<uint8_t>;
using twtest::ScratchDir;

inline Bytes ReadBytes(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

inline std::string ReadText(const std::string& path) {
    const Bytes b = ReadBytes(path);
    return std::string(b.begin(), b.end());
}

inline void WriteBytes(const std::string& path, const void* data, std::size_t size) {
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(static_cast<const char*>(data), std::streamsize(size));
}

inline void WriteText(const std::string& path, const std::string& text) {
    WriteBytes(path, text.data(), text.size());
}

inline void WriteBytes(const std::string& path, const Bytes& b) {
    WriteBytes(path, b.data(), b.size());
}

// The uncompressed stream of a gzip file (zlib, independent of the host streams).
inline Bytes Gunzip(const std::string& path) {
    Bytes out;
    gzFile gz = gzopen(path.c_str(), "rb");
    if (!gz) return out;
    unsigned char buf[65536];
    int n;
    while ((n = gzread(gz, buf, sizeof buf)) > 0)
        out.insert(out.end(), buf, buf + n);
    gzclose(gz);
    return out;
}

// Little-endian byte image writers.
inline void Put8(Bytes& b, std::size_t at, uint8_t v) {
    b.at(at) = v;
}
inline void Put16(Bytes& b, std::size_t at, uint16_t v) {
    b.at(at) = uint8_t(v);
    b.at(at + 1) = uint8_t(v >> 8);
}
inline void Put32(Bytes& b, std::size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b.at(at + std::size_t(i)) = uint8_t(v >> (8 * i));
}
inline void Put64(Bytes& b, std::size_t at, uint64_t v) {
    for (int i = 0; i < 8; ++i)
        b.at(at + std::size_t(i)) = uint8_t(v >> (8 * i));
}
inline void PutText(Bytes& b, std::size_t at, const char* text) {
    for (std::size_t i = 0; text[i]; ++i)
        b.at(at + i) = uint8_t(text[i]);
}
// A PRTime: year, month, day, hour, minute, second as 16-bit numbers.
inline void PutTime(Bytes& b, std::size_t at, int y, int mo, int d, int h, int mi, int s) {
    const int f[6] = {y, mo, d, h, mi, s};
    for (int i = 0; i < 6; ++i)
        Put16(b, at + std::size_t(2 * i), uint16_t(f[i]));
}

// The 52-byte header of a file beside a report (times, operations), from its
// byte table: magic, version, entry size, the report's Start (2026-12-07),
// End (2026-12-08) and RunTime (2026-12-08 00:05:30), the entry count.
inline Bytes SideFileHeader(const char* magic, uint32_t version, uint32_t entrySize,
                            uint32_t count) {
    Bytes b(52, 0);
    PutText(b, 0, magic);
    Put32(b, 4, version);
    Put32(b, 8, entrySize);
    PutTime(b, 12, 2026, 12, 7, 0, 0, 0);
    PutTime(b, 24, 2026, 12, 8, 0, 0, 0);
    PutTime(b, 36, 2026, 12, 8, 0, 5, 30);
    Put32(b, 48, count);
    return b;
}

// An operation of line `variable` (state 1) in `role`, of class `cls`, at
// `time`, counted for the contour of `sensor` (state 5).
inline TW_Operation MakeOperation(const char* variable, uint8_t role, uint8_t cls,
                                  const char* sensor, const PRTime& time) {
    TW_Operation op;
    std::strcpy(op.Variable, variable);
    op.Role = role;
    op.State = 1;
    op.Class = cls;
    op.Time = time;
    std::strcpy(op.Sensor, sensor);
    op.SensorState = 5;
    return op;
}

inline Bytes BytesOf(const void* p, std::size_t size) {
    const auto* b = static_cast<const uint8_t*>(p);
    return Bytes(b, b + size);
}

// A contour with every member set to a distinct value.
inline TW_Contour FullContour() {
    using namespace host::literals;
    TW_Contour c;
    c.Used = 1;
    std::strcpy(c.Sensor, "TT101.PV");
    c.Interval = 0x11223344;
    c.State = 0xA1B2;
    std::strcpy(c.StateName, "Превышение температуры"_cp);
    std::strcpy(c.Limit, "> 120 °C"_cp);
    c.ValueType = 1;
    c.Rele.Used = 2;
    std::strcpy(c.Rele.Sensor, "RL7.OUT");
    c.Rele.State = 0x0C0D;
    c.Rele.MaxTime = 0x55667788;
    std::strcpy(c.Rele.ONName, "Реле сработало"_cp);
    std::strcpy(c.Rele.OFFName, "Реле не сработало"_cp);
    c.Prot.Used = 3;
    std::strcpy(c.Prot.Sensor, "Q5.POS");
    c.Prot.State = 0x0E0F;
    c.Prot.MaxTime = 0x99AABBCC;
    std::strcpy(c.Prot.ONName, "Выключатель отключен"_cp);
    std::strcpy(c.Prot.OFFName, "Выключатель не отключен"_cp);
    return c;
}

// The byte image of FullContour(), built from the byte table.
inline Bytes FullContourImage() {
    using namespace host::literals;
    Bytes b(1692, 0);
    Put8(b, 0, 1);
    PutText(b, 1, "TT101.PV");
    Put32(b, 52, 0x11223344);
    Put16(b, 56, 0xA1B2);
    PutText(b, 58, "Превышение температуры"_cp);
    PutText(b, 309, "> 120 °C"_cp);
    Put8(b, 560, 1);
    Put8(b, 564, 2);
    PutText(b, 565, "RL7.OUT");
    Put16(b, 616, 0x0C0D);
    Put32(b, 620, 0x55667788);
    PutText(b, 624, "Реле сработало"_cp);
    PutText(b, 875, "Реле не сработало"_cp);
    Put8(b, 1128, 3);
    PutText(b, 1129, "Q5.POS");
    Put16(b, 1180, 0x0E0F);
    Put32(b, 1184, 0x99AABBCC);
    PutText(b, 1188, "Выключатель отключен"_cp);
    PutText(b, 1439, "Выключатель не отключен"_cp);
    return b;
}

// An item with every member set to a distinct value.
inline TW_ContourLine FullLine() {
    using namespace host::literals;
    TW_ContourLine l;
    l.Contour = FullContour();
    l.Start.Set(2026, 12, 7, 10, 11, 12);
    l.End.Set(2026, 12, 7, 13, 14, 15);
    std::strcpy(l.ObjectName, "Котел 1"_cp);
    l.Value = 1234.5678;
    std::strcpy(l.SensorPlace, "Топка"_cp);
    std::strcpy(l.ProtObjectName, "<не задан>"_cp);
    l.ReleResult = 0x11;
    l.ProtResult = 0x10;
    return l;
}

inline Bytes FullLineImage() {
    using namespace host::literals;
    Bytes b = FullContourImage();
    b.resize(1880, 0);
    PutTime(b, 1692, 2026, 12, 7, 10, 11, 12);
    PutTime(b, 1704, 2026, 12, 7, 13, 14, 15);
    PutText(b, 1716, "Котел 1"_cp);
    Put64(b, 1768, 0x40934A456D5CFAADull);  // IEEE-754 double 1234.5678
    PutText(b, 1776, "Топка"_cp);
    PutText(b, 1826, "<не задан>"_cp);
    Put8(b, 1876, 0x11);
    Put8(b, 1877, 0x10);
    return b;
}

}  // namespace tw_test
