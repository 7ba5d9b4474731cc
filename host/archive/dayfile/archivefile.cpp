#include "archivefile.h"

#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <bit>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "common/cp1251.h"
#include "common/lasterror.h"
#include "common/prtime.h"
#include "common/strutil.h"

using namespace host::literals;

static_assert(std::endian::native == std::endian::little,
              "the archive codec assumes little endian");

namespace host::archive {

namespace {

void Put16(std::string& s, uint16_t v) {
    s.append(reinterpret_cast<const char*>(&v), 2);
}
void Put32(std::string& s, uint32_t v) {
    s.append(reinterpret_cast<const char*>(&v), 4);
}
void Put64(std::string& s, uint64_t v) {
    s.append(reinterpret_cast<const char*>(&v), 8);
}
uint16_t Get16(const char* p) {
    uint16_t v;
    std::memcpy(&v, p, 2);
    return v;
}
uint32_t Get32(const char* p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}
int64_t Get64(const char* p) {
    int64_t v;
    std::memcpy(&v, p, 8);
    return v;
}
uint32_t Crc(const char* p, std::size_t n) {
    uLong c = crc32(0L, Z_NULL, 0);
    while (n > 0) {
        const uInt chunk = uInt(std::min<std::size_t>(n, 1u << 30));
        c = crc32(c, reinterpret_cast<const Bytef*>(p), chunk);
        p += chunk;
        n -= chunk;
    }
    return uint32_t(c);
}

bool ReadAt(FILE* f, uint64_t offset, char* out, std::size_t n) {
    return ::pread(fileno(f), out, n, off_t(offset)) == ssize_t(n);
}

}  // namespace

std::string DayFileName(const Day& day) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d.rta", day.Year % 10000, day.Month % 100,
                  day.Day % 100);
    return buf;
}

bool DayOfFileName(const char* name, Day& out) {
    if (!name || std::strlen(name) != 14 || std::strcmp(name + 10, ".rta") != 0) return false;
    if (name[4] != '-' || name[7] != '-') return false;
    for (int i : {0, 1, 2, 3, 5, 6, 8, 9})
        if (name[i] < '0' || name[i] > '9') return false;
    const int y = std::atoi(name), m = std::atoi(name + 5), d = std::atoi(name + 8);
    if (y < 1970 || m < 1 || m > 12 || d < 1 || d > 31) return false;
    int cy, cm, cd;
    CivilFromDays(DaysFromCivil(y, m, d), cy, cm, cd);
    if (cy != y || cm != m || cd != d) return false;
    PRTime noon;
    noon.Set(y, m, d, 12, 0, 0);
    out = DayOf(int64_t(noon.GetTT()));
    return out.Year == y && out.Month == m && out.Day == d;
}

std::string EncodeDayFile(const Day& day, std::vector<VariableSamples> variables) {
    std::erase_if(variables, [](const VariableSamples& v) { return v.Samples.empty(); });
    std::sort(variables.begin(), variables.end(),
              [](const VariableSamples& a, const VariableSamples& b) { return a.Name < b.Name; });
    std::string dir, names, samples;
    uint32_t first = 0;
    for (const auto& v : variables) {
        Put32(dir, uint32_t(names.size()));
        names += v.Name;
        names += '\0';
        Put32(dir, first);
        Put32(dir, uint32_t(v.Samples.size()));
        const std::size_t blockStart = samples.size();
        for (const Sample& s : v.Samples) {
            Put32(samples, uint32_t(s.Time - day.Begin));
            Put16(samples, s.State);
            Put64(samples, std::bit_cast<uint64_t>(s.Value));
        }
        Put32(dir, Crc(samples.data() + blockStart, samples.size() - blockStart));
        first += uint32_t(v.Samples.size());
    }
    std::string out;
    out.reserve(kHeaderSize + dir.size() + names.size() + samples.size());
    out.append(kMagic, 4);
    Put16(out, kVersion);
    Put16(out, uint16_t(kHeaderSize));
    Put64(out, uint64_t(day.Begin));
    Put32(out, uint32_t(day.End - day.Begin));
    Put16(out, uint16_t(day.Year));
    out += char(day.Month);
    out += char(day.Day);
    Put32(out, uint32_t(variables.size()));
    Put32(out, uint32_t(names.size()));
    Put32(out, first);
    std::string meta = dir + names;
    Put32(out, Crc(meta.data(), meta.size()));
    Put32(out, Crc(out.data(), out.size()));
    Put32(out, 0);
    out += meta;
    out += samples;
    return out;
}

bool DayFile::Corrupt(const char* what) {
    SetError("%s \"%s\" %s: %s", "Файл архива"_cp, path_.c_str(), "поврежден"_cp, what);
    return false;
}

bool DayFile::Open(const char* path) {
    path_ = path ? path : "";
    dir_.clear();
    names_.clear();
    file_ = OpenFile(path_.c_str(), "rb");
    if (!file_) {
        const std::string reason = GetIOErrorS_GUI(-2);
        SetError("%s \"%s\": %s", "Файл архива"_cp, path_.c_str(), reason.c_str());
        return false;
    }
    struct stat st {};
    if (::fstat(fileno(file_.get()), &st) != 0) return SetErrnoError();
    const uint64_t size = uint64_t(st.st_size);
    char h[kHeaderSize];
    if (size < kHeaderSize || !ReadAt(file_.get(), 0, h, kHeaderSize))
        return Corrupt("файл короче заголовка"_cp);
    if (std::memcmp(h, kMagic, 4) != 0) return Corrupt("нет метки RTHA"_cp);
    if (Get16(h + 4) != kVersion)
        return Corrupt(Message("%s %u", "неизвестная версия"_cp, Get16(h + 4)));
    if (Get16(h + 6) != kHeaderSize) return Corrupt("неверный размер заголовка"_cp);
    if (Get32(h + 40) != Crc(h, 40)) return Corrupt("контрольная сумма заголовка не сходится"_cp);
    const int64_t base = Get64(h + 8);
    const uint32_t span = Get32(h + 16);
    const int year = Get16(h + 20), month = uint8_t(h[22]), dayNo = uint8_t(h[23]);
    const uint32_t varCount = Get32(h + 24), nameBytes = Get32(h + 28);
    sampleCount_ = Get32(h + 32);
    const uint64_t expected = uint64_t(kHeaderSize) + uint64_t(varCount) * kDirEntrySize +
                              nameBytes + uint64_t(sampleCount_) * kSampleSize;
    if (expected != size) return Corrupt("размер файла не сходится со счетчиками"_cp);
    Day day;
    char fileDay[32];
    std::snprintf(fileDay, sizeof fileDay, "%04d-%02d-%02d.rta", year, month, dayNo);
    if (!DayOfFileName(fileDay, day) || day.Begin != base || day.End - day.Begin != int64_t(span))
        return Corrupt("неверная дата файла"_cp);
    day_ = day;

    const uint64_t metaBytes = uint64_t(varCount) * kDirEntrySize + nameBytes;
    std::string meta(std::size_t(metaBytes), '\0');
    if (!ReadAt(file_.get(), kHeaderSize, meta.data(), meta.size()))
        return Corrupt("файл короче каталога"_cp);
    if (Get32(h + 36) != Crc(meta.data(), meta.size()))
        return Corrupt("контрольная сумма каталога не сходится"_cp);
    names_.assign(meta, std::size_t(varCount) * kDirEntrySize, nameBytes);
    if (nameBytes > 0 && names_.back() != '\0') return Corrupt("имя без завершающего нуля"_cp);
    dir_.resize(varCount);
    uint64_t next = 0;
    for (uint32_t i = 0; i < varCount; ++i) {
        const char* e = meta.data() + std::size_t(i) * kDirEntrySize;
        DirEntry d{Get32(e), Get32(e + 4), Get32(e + 8), Get32(e + 12)};
        if (d.NameOffset >= nameBytes) return Corrupt("имя вне таблицы имен"_cp);
        if (d.First != next || d.Count == 0 || uint64_t(d.First) + d.Count > sampleCount_)
            return Corrupt("неверные границы значений"_cp);
        if (i > 0 &&
            std::strcmp(names_.data() + dir_[i - 1].NameOffset, names_.data() + d.NameOffset) >= 0)
            return Corrupt("имена не упорядочены"_cp);
        next += d.Count;
        dir_[i] = d;
    }
    if (next != sampleCount_) return Corrupt("неверные границы значений"_cp);
    samplesOffset_ = kHeaderSize + metaBytes;
    return true;
}

int DayFile::Find(const char* name) const {
    int lo = 0, hi = Count() - 1;
    while (lo <= hi) {
        const int mid = (lo + hi) / 2;
        const int c = std::strcmp(Name(mid), name);
        if (c == 0) return mid;
        if (c < 0)
            lo = mid + 1;
        else
            hi = mid - 1;
    }
    return -1;
}

bool DayFile::ReadRaw(int i, std::string& raw) {
    const DirEntry& d = dir_[std::size_t(i)];
    raw.resize(std::size_t(d.Count) * kSampleSize);
    if (!ReadAt(file_.get(), samplesOffset_ + uint64_t(d.First) * kSampleSize, raw.data(),
                raw.size()))
        return Corrupt("файл короче значений"_cp);
    if (Crc(raw.data(), raw.size()) != d.Crc)
        return Corrupt(Message("%s \"%s\"", "контрольная сумма значений не сходится:"_cp, Name(i)));
    const uint32_t span = uint32_t(day_.End - day_.Begin);
    uint32_t previous = 0;
    for (uint32_t k = 0; k < d.Count; ++k) {
        const uint32_t off = RawOffset(raw.data() + std::size_t(k) * kSampleSize);
        if (off >= span || off < previous)
            return Corrupt(
                Message("%s \"%s\"", "время значения вне дня или не по порядку:"_cp, Name(i)));
        previous = off;
    }
    return true;
}

void DayFile::Decode(const std::string& raw, std::vector<Sample>& out) const {
    const std::size_t n = raw.size() / kSampleSize;
    out.resize(n);
    for (std::size_t k = 0; k < n; ++k) {
        const char* p = raw.data() + k * kSampleSize;
        out[k] = Sample{day_.Begin + RawOffset(p), RawState(p), RawValue(p)};
    }
}

bool DayFile::ReadAll(std::vector<VariableSamples>& out) {
    out.clear();
    out.reserve(dir_.size());
    std::string raw;
    for (int i = 0; i < Count(); ++i) {
        if (!ReadRaw(i, raw)) return false;
        VariableSamples v;
        v.Name = Name(i);
        Decode(raw, v.Samples);
        out.push_back(std::move(v));
    }
    return true;
}

}  // namespace host::archive
