// The times file beside a report: writing it atomically, reading it with every
// count checked against the bytes that are there. Layout: TIMES_FORMAT.md.
#include "tw_times.h"

#include <bit>
#include <cerrno>
#include <cstring>

#include "common/cp1251.h"
#include "common/lasterror.h"
#include "common/osfile.h"
#include "tw_file.h"

using namespace host::literals;

static_assert(std::endian::native == std::endian::little, "the file is little-endian");

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

std::string TW_TimesFileName(const char* reportPath) {
    std::string name = reportPath ? reportPath : "";
    const std::size_t n = name.size();
    const bool twr = n >= 4 && name[n - 4] == '.' && (name[n - 3] | 0x20) == 't' &&
                     (name[n - 2] | 0x20) == 'w' && (name[n - 1] | 0x20) == 'r';
    if (twr) name.resize(n - 4);
    return name + ".twt";
}

bool TW_WriteTimesFile(const char* path, const TW_File& report,
                       const std::vector<TW_IncidentTimes>& times) {
    std::string bytes;
    bytes.reserve(TW_TimesHeaderSize + times.size() * TW_TimesEntrySize);
    const uint32_t head[3] = {TW_TimesMagic, TW_TimesVersion, TW_TimesEntrySize};
    const uint32_t count = uint32_t(times.size());
    Put(bytes, head, sizeof head);
    Put(bytes, &report.Start, sizeof report.Start);
    Put(bytes, &report.End, sizeof report.End);
    Put(bytes, &report.RunTime, sizeof report.RunTime);
    Put(bytes, &count, sizeof count);
    if (!times.empty()) Put(bytes, times.data(), times.size() * TW_TimesEntrySize);
    const std::string osPath = host::OsPath(path);
    host::PendingFile temp(osPath);
    return temp.ok() && host::WriteOsFile(temp.path(), bytes) && temp.Replace(osPath);
}

bool TW_ReadTimesFile(const char* path, TW_TimesHeader& header,
                      std::vector<TW_IncidentTimes>& times) {
    times.clear();
    header = TW_TimesHeader{};
    std::string in;
    if (!host::ReadWholeFile(path, in, TW_TimesMaxFileSize)) return false;
    if (in.size() < 4 || Get<uint32_t>(in, 0) != TW_TimesMagic) {
        SetError("%s", "Неверный формат файла времен срабатывания!"_cp);
        return false;
    }
    if (in.size() < TW_TimesHeaderSize) {
        SetError("%s", "Файл времен срабатывания поврежден или обрезан!"_cp);
        return false;
    }
    const uint32_t version = Get<uint32_t>(in, 4);
    if (version != TW_TimesVersion) {
        SetError("Неизвестная версия файла времен срабатывания: %u"_cp, version);
        return false;
    }
    // Later writers of this version may append members to an entry; the first
    // 16 bytes keep their meaning.
    const uint32_t entrySize = Get<uint32_t>(in, 8);
    if (entrySize < TW_TimesEntrySize) {
        SetError("%s", "Неверный формат записи файла времен срабатывания!"_cp);
        return false;
    }
    const uint32_t count = Get<uint32_t>(in, 48);
    if (uint64_t(in.size() - TW_TimesHeaderSize) != uint64_t(count) * entrySize) {
        SetError("%s", "Файл времен срабатывания поврежден или обрезан!"_cp);
        return false;
    }
    header.Start = Get<PRTime>(in, 12);
    header.End = Get<PRTime>(in, 24);
    header.RunTime = Get<PRTime>(in, 36);
    header.Count = count;
    times.resize(count);
    for (uint32_t i = 0; i < count; ++i)
        std::memcpy(&times[i], in.data() + TW_TimesHeaderSize + std::size_t(i) * entrySize,
                    TW_TimesEntrySize);
    return true;
}

bool TW_TimesMatch(const TW_TimesHeader& header, const TW_File& report) {
    if (header.Count == uint32_t(report.Count()) && header.Start == report.Start &&
        header.End == report.End && header.RunTime == report.RunTime)
        return true;
    SetError(
        "Файл времен срабатывания не относится к отчету: в нем %u инцидентов за %s - %s "
        "(расчет %s), в отчете %d за %s - %s (расчет %s)"_cp,
        header.Count, header.Start.GetStr(), header.End.GetStr(), header.RunTime.GetStr(),
        report.Count(), report.Start.GetStr(), report.End.GetStr(), report.RunTime.GetStr());
    return false;
}
