#include "tw_sidefile.h"

#include <bit>
#include <cerrno>
#include <cstring>

#include "common/lasterror.h"
#include "common/osfile.h"

static_assert(std::endian::native == std::endian::little, "the files are little-endian");

namespace {

void Put(std::string& out, const void* data, std::size_t size) {
    out.append(static_cast<const char*>(data), size);
}

template <class T>
T Get(const std::string& in, std::size_t at) {
    T value;
    std::memcpy(&value, in.data() + at, sizeof value);
    return value;
}

}  // namespace

std::string TW_SideFileName(const char* reportPath, const char* ext) {
    std::string name = reportPath ? reportPath : "";
    const std::size_t n = name.size();
    const bool twr = n >= 4 && name[n - 4] == '.' && (name[n - 3] | 0x20) == 't' &&
                     (name[n - 2] | 0x20) == 'w' && (name[n - 1] | 0x20) == 'r';
    if (twr) name.resize(n - 4);
    return name + ext;
}

bool TW_PendingSideFile::Write(const char* path, const TW_SideFormat& format, const PRTime& start,
                               const PRTime& end, const PRTime& runTime, const void* entries,
                               uint32_t count) {
    std::string header;
    const uint32_t head[3] = {format.magic, format.version, format.entrySize};
    Put(header, head, sizeof head);
    Put(header, &start, sizeof start);
    Put(header, &end, sizeof end);
    Put(header, &runTime, sizeof runTime);
    Put(header, &count, sizeof count);
    // The entries are written from where they are: a busy day's are a megabyte.
    const std::string_view body(static_cast<const char*>(entries),
                                count ? std::size_t(count) * format.entrySize : 0);
    temp_.emplace(host::OsPath(path));
    if (temp_->ok() && host::WriteOsFile(temp_->path(), {header, body}) && temp_->Sync())
        return true;
    temp_.reset();
    return false;
}

bool TW_PendingSideFile::Publish(const char* path) {
    if (!temp_) {
        SetErrorN(EINVAL);
        return false;
    }
    return temp_->Replace(host::OsPath(path));
}

bool TW_WriteSideFile(const char* path, const TW_SideFormat& format, const PRTime& start,
                      const PRTime& end, const PRTime& runTime, const void* entries,
                      uint32_t count) {
    TW_PendingSideFile file;
    return file.Write(path, format, start, end, runTime, entries, count) && file.Publish(path);
}

bool TW_ReadSideFile(const char* path, const TW_SideFormat& format, TW_SideHeader& header,
                     std::string& in) {
    header = TW_SideHeader{};
    in.clear();
    if (!host::ReadWholeFile(path, in, TW_SideMaxFileSize)) return false;
    auto fail = [&](const char* message) {
        SetError("%s", message);
        in.clear();
        return false;
    };
    if (in.size() < 4 || Get<uint32_t>(in, 0) != format.magic) return fail(format.badMagic);
    if (in.size() < TW_SideHeaderSize) return fail(format.damaged);
    const uint32_t version = Get<uint32_t>(in, 4);
    if (version != format.version) {
        SetError(format.badVersion, version);
        in.clear();
        return false;
    }
    // Later writers of this version may append members to an entry; the first
    // bytes keep their meaning.
    const uint32_t entrySize = Get<uint32_t>(in, 8);
    if (entrySize < format.entrySize) return fail(format.badEntry);
    const uint32_t count = Get<uint32_t>(in, 48);
    if (uint64_t(in.size() - TW_SideHeaderSize) != uint64_t(count) * entrySize)
        return fail(format.damaged);
    header.Start = Get<PRTime>(in, 12);
    header.End = Get<PRTime>(in, 24);
    header.RunTime = Get<PRTime>(in, 36);
    header.Count = count;
    header.EntrySize = entrySize;
    return true;
}
