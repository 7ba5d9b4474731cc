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

// Reads exactly `size` bytes. A short read means the file ends early or its
// compressed body is damaged: that is said, unless the system gave a reason of
// its own (a failing disk, a file that is not one).
bool ReadExactly(HIStream& in, void* data, std::size_t size, bool first = false) {
    host::ClearError();
    const std::size_t n = in.Read(data, size);
    if (n == size) return true;
    const unsigned error = GetIOErrorN();
    if (error != 0 && error != unsigned(EIO)) return false;
    if (first && n == 0 && error == 0)
        SetError("%s", "Файл пуст!"_cp);
    else
        SetError("%s", "Файл поврежден или обрезан!"_cp);
    return false;
}

// Items in memory may take at most this many times the bytes of the stream
// that holds them. Short records are widened to 1880 bytes each; without the
// bound a tiny, highly compressed file of one-byte records would ask for 1880
// bytes of memory for every byte it unpacks to.
constexpr uint64_t kItemMemoryPerStreamByte = 4;

bool CountFitsTheStream(uint32_t recordSize, uint32_t count) {
    const uint64_t streamBytes = 48 + uint64_t(count) * recordSize;
    return uint64_t(count) * sizeof(TW_ContourLine) <= kItemMemoryPerStreamByte * streamBytes &&
           count <= uint32_t(std::numeric_limits<int>::max());
}

// The checks shared by LoadHeader and Load: magic, record size, the three
// moments (read into the report), the item count. False on failure.
bool ReadHeader(HIStream& in, PRTime& start, PRTime& end, PRTime& runTime, uint32_t& recordSize,
                uint32_t& count) {
    uint32_t magic = 0;
    if (!ReadExactly(in, &magic, 4, true)) return false;
    if (magic != TW_FileMagic) {
        SetError("%s", "Неверный формат файла!"_cp);
        return false;
    }
    if (!ReadExactly(in, &recordSize, 4)) return false;
    if (recordSize > TW_RecordSize) {
        SetError("%s", "Неверный формат записи файла!"_cp);
        return false;
    }
    if (!ReadExactly(in, &start, sizeof start) || !ReadExactly(in, &end, sizeof end) ||
        !ReadExactly(in, &runTime, sizeof runTime) || !ReadExactly(in, &count, 4))
        return false;
    // Items of no bytes cannot be told apart from nothing: such a count would
    // only make a tiny file demand any amount of memory.
    if (recordSize == 0 && count != 0) {
        SetError("%s", "Неверный формат записи файла!"_cp);
        return false;
    }
    if (!CountFitsTheStream(recordSize, count)) {
        SetError("%s", "Неверный формат файла!"_cp);
        return false;
    }
    return true;
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
    // The items lie one after the other in the array: one write, deflated
    // where they lie.
    if (report.Count() &&
        !out.Write(report.ItemINT(0), std::size_t(report.Count()) * sizeof(TW_ContourLine)))
        return false;
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
    std::unique_ptr<HIStream> in = OpenStreamFile(path, kStreamHeadBuffer);
    if (!in) return 0;
    uint32_t recordSize = 0, count = 0;
    if (!ReadHeader(*in, Start, End, RunTime, recordSize, count)) return 0;
    return int32_t(count);
}

bool TW_File::Load(const char* path) {
    TimesProblem.clear();
    std::unique_ptr<HIStream> in = OpenStreamFile(path);
    if (!in) return false;
    uint32_t recordSize = 0, count = 0;
    if (!ReadHeader(*in, Start, End, RunTime, recordSize, count)) return false;
    FileName.Set(path);
    reserved_.Clear();
    DeleteAll();
    // Items are appended as they are read, never allocated from the stored
    // count: a count that the stream cannot hold fails at its end.
    for (uint32_t i = 0; i < count; ++i) {
        TW_ContourLine* item = AddINT(nullptr);
        if (!ReadExactly(*in, item, recordSize)) {
            DeleteAll();
            return false;
        }
    }
    LoadTimes();
    return true;
}

void TW_File::LoadTimes() {
    const std::string name = TW_TimesFileName(FileName);
    // No times file is the usual case of a report made without times.
    if (!host::FileExists(name.c_str())) return;
    TW_TimesHeader header;
    if (!TW_ReadTimesFile(name.c_str(), header, Times) || !TW_TimesMatch(header, *this)) {
        Times.clear();
        TimesProblem = GetIOErrorS_GUI(-2);
    }
    host::ClearError();
}

bool TW_File::SaveTimes(StatString<261>* written) const {
    if (written) written->Clear();
    if (Count() == 0 || Times.size() != std::size_t(Count())) return true;
    const std::string name = TW_TimesFileName(FileName);
    if (written) written->Set(name.c_str());
    return TW_WriteTimesFile(name.c_str(), *this, Times);
}
