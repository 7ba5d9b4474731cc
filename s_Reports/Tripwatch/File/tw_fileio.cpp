// The ".twr" report file: a 48-byte header and the items, through the host's
// compressing stream. Stream layout (little-endian): magic "TWW\x01", record
// size, Start, End, RunTime (12 bytes each), item count, then count records.
#include <fcntl.h>
#include <unistd.h>

#include <bit>
#include <cerrno>
#include <limits>
#include <string>

#include "common/cp1251.h"
#include "common/lasterror.h"
#include "common/lzhstream.h"
#include "common/osfile.h"
#include "common/strutil.h"
#include "tw_file.h"

using namespace host::literals;

static_assert(std::endian::native == std::endian::little, "the file is little-endian");

namespace {

// The checks shared by LoadHeader and Load: magic, record size, the three
// moments (read into the report), the item count. False on failure.
bool ReadHeader(HIStream& in, PRTime& start, PRTime& end, PRTime& runTime, uint32_t& recordSize,
                uint32_t& count) {
    uint32_t magic = 0;
    if (in.Read(&magic, 4) != 4) return false;
    if (magic != TW_FileMagic) {
        SetError("%s", "Неверный формат файла!"_cp);
        return false;
    }
    if (in.Read(&recordSize, 4) != 4) return false;
    if (recordSize > TW_RecordSize) {
        SetError("%s", "Неверный формат записи файла!"_cp);
        return false;
    }
    if (in.Read(&start, sizeof start) != sizeof start) return false;
    if (in.Read(&end, sizeof end) != sizeof end) return false;
    if (in.Read(&runTime, sizeof runTime) != sizeof runTime) return false;
    if (in.Read(&count, 4) != 4) return false;
    // Items of no bytes cannot be told apart from nothing: such a count would
    // only make a tiny file demand any amount of memory.
    if (recordSize == 0 && count != 0) {
        SetError("%s", "Неверный формат записи файла!"_cp);
        return false;
    }
    return true;
}

// The most item memory a report file may ask for: half the machine's memory. A
// small record size with a highly compressed body could otherwise turn a small
// file into any amount of memory, 1880 bytes for every byte read.
uint64_t ItemMemoryLimit() {
    const long pages = ::sysconf(_SC_PHYS_PAGES);
    const long pageSize = ::sysconf(_SC_PAGESIZE);
    if (pages <= 0 || pageSize <= 0) return uint64_t(1) << 32;
    return uint64_t(pages) * uint64_t(pageSize) / 2;
}

}  // namespace

namespace {

// The stream of a report file into the file `osPath`; false (last error set) on failure.
bool WriteReport(const TW_File& report, const std::string& osPath) {
    LZHFileOStream out(4);
    const int fd = ::open(osPath.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    if (fd < 0) return host::SetErrnoError();
    if (!out.AssignFd(fd)) return false;
    const uint32_t magic = TW_FileMagic;
    const uint32_t recordSize = TW_RecordSize;
    const uint32_t count = uint32_t(report.Count());
    if (!out.Write(&magic, 4) || !out.Write(&recordSize, 4) ||
        !out.Write(&report.Start, sizeof report.Start) ||
        !out.Write(&report.End, sizeof report.End) ||
        !out.Write(&report.RunTime, sizeof report.RunTime) || !out.Write(&count, 4))
        return false;
    for (int i = 0; i < report.Count(); ++i)
        if (!out.Write(report.ItemINT(i), sizeof(TW_ContourLine))) return false;
    return out.Close();
}

}  // namespace

bool TW_File::DOSave() {
    if (Count() == 0) return true;
    const auto write = [this](const std::string& osTemp, const char*) {
        return WriteReport(*this, osTemp);
    };
    if (!reserved_.Empty() && StrCmp(reserved_, FileName) == 0) {
        StatString<261> name;
        const char* ext = reservedExt_ ? reservedExt_->c_str() : nullptr;
        if (!WriteNewFile(name, reservedBase_.c_str(), ext, write)) return false;
        FileName = name;
        reserved_ = name;
        return true;
    }
    host::PendingFile temp(host::OsPath(FileName));
    return temp.ok() && write(temp.path(), FileName) && temp.Replace(host::OsPath(FileName));
}

bool TW_File::Save() {
    // A failed write leaves nothing behind; its error stays for the caller.
    return DOSave();
}

int32_t TW_File::LoadHeader(const char* path) {
    std::unique_ptr<HIStream> in = OpenStreamFile(path);
    if (!in) return 0;
    uint32_t recordSize = 0, count = 0;
    if (!ReadHeader(*in, Start, End, RunTime, recordSize, count)) return 0;
    return int32_t(count);
}

bool TW_File::Load(const char* path) {
    std::unique_ptr<HIStream> in = OpenStreamFile(path);
    if (!in) return false;
    uint32_t recordSize = 0, count = 0;
    if (!ReadHeader(*in, Start, End, RunTime, recordSize, count)) return false;
    if (uint64_t(count) * sizeof(TW_ContourLine) > ItemMemoryLimit() ||
        count > uint32_t(std::numeric_limits<int>::max())) {
        SetError("%s", "Неверный формат файла!"_cp);
        return false;
    }
    FileName.Set(path);
    reserved_.Clear();
    DeleteAll();
    // Items are appended as they are read, never allocated from the stored count.
    for (uint32_t i = 0; i < count; ++i) {
        TW_ContourLine* item = AddINT(nullptr);
        if (in->Read(item, recordSize) != recordSize) {
            DeleteAll();
            return false;
        }
    }
    return true;
}
