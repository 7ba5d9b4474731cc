#include "archivefolder.h"

#include <unistd.h>

#include <cerrno>

#include <algorithm>

#include "common/cp1251.h"
#include "common/lasterror.h"
#include "common/osfile.h"

using namespace host::literals;

namespace host::archive {

std::string ArchiveFolder(const char* home) {
    std::string p = home ? home : "";
    if (!p.empty() && p.back() != '/' && p.back() != '\\') p += '/';
    return p + "Archive/";
}

std::string DayFilePath(const char* home, const Day& day) {
    return ArchiveFolder(home) + DayFileName(day);
}

bool ListDays(const char* home, std::vector<Day>& days) {
    days.clear();
    const std::string folder = ArchiveFolder(home);
    if (!IsDirectory(folder.c_str())) {
        SetError("%s \"%s\"", "Архив не найден:"_cp, folder.c_str());
        return false;
    }
    const bool ok = ForEachDirEntry(folder.c_str(), [&](const char* name, bool isFolder) {
        Day d;
        if (!isFolder && DayOfFileName(name, d)) days.push_back(d);
        return true;
    });
    if (!ok) {
        const std::string reason = GetIOErrorS_GUI(-2);
        SetError("%s \"%s\": %s", "Архив не читается"_cp, folder.c_str(), reason.c_str());
        return false;
    }
    std::sort(days.begin(), days.end());
    return true;
}

namespace {

// Writes one day's bytes to a new temporary file beside its target; its OS path
// in `temp`. False (last error naming the target, the file removed) on failure.
bool WriteTemp(const std::string& target, const std::string& bytes, std::string& temp) {
    UniqueFd fd;
    temp = MakeTempBeside(target.c_str(), fd);
    bool ok = !temp.empty();
    if (ok) {
        if (const int err = WriteAll(fd.get(), bytes.data(), bytes.size())) {
            errno = err;
            ok = SetErrnoError();
        }
        if (ok && ::fsync(fd.get()) != 0) ok = SetErrnoError();
        if (fd.Close() != 0 && ok) ok = SetErrnoError();
    }
    if (!ok) {
        if (!temp.empty()) ::unlink(temp.c_str());
        const std::string reason = GetIOErrorS_GUI(-2);
        SetError("%s \"%s\" %s: %s", "Файл архива"_cp, target.c_str(), "не записан"_cp,
                 reason.c_str());
    }
    return ok;
}

bool WriteZoneIfMissing(const std::string& folder) {
    const std::string path = folder + kZoneName;
    if (FileExists(path.c_str()) || WriteFileAtomically(path.c_str(), ZoneFileText(ProcessZone())))
        return true;
    const std::string reason = GetIOErrorS_GUI(-2);
    SetError("%s \"%s\" %s: %s", "Файл архива"_cp, path.c_str(), "не записан"_cp, reason.c_str());
    return false;
}

std::string BaseName(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

bool ReplaceDayFiles(const ArchiveAccess& access, const std::vector<Day>& days,
                     const MakeDayFile& make) {
    const std::string folder = ArchiveFolder(access.Home().c_str());
    if (!access.Writable()) {
        SetError("%s \"%s\" %s", "Архив"_cp, folder.c_str(), "не открыт для записи"_cp);
        return false;
    }
    if (days.empty()) return true;
    if (!WriteZoneIfMissing(folder)) return false;
    std::vector<JournalEntry> entries;
    auto dropTemps = [&] {
        for (const auto& e : entries)
            ::unlink(OsPath((folder + e.first).c_str()).c_str());
    };
    std::string bytes, temp;
    for (const Day& day : days) {
        if (!make(day, bytes) || !WriteTemp(folder + DayFileName(day), bytes, temp)) {
            dropTemps();
            return false;
        }
        entries.emplace_back(BaseName(temp), DayFileName(day));
        ArchiveKillPoint();
    }
    bytes = std::string();
    const std::string osFolder = OsPath(folder.c_str());
    if (!CommitJournal(osFolder, entries)) {
        const std::string reason = GetIOErrorS_GUI(-2);
        dropTemps();
        SetError("%s \"%s%s\" %s: %s", "Журнал архива"_cp, folder.c_str(), kJournalName,
                 "не записан"_cp, reason.c_str());
        return false;
    }
    ArchiveKillPoint();
    if (!CompleteJournal(osFolder, entries)) {
        const std::string reason = GetIOErrorS_GUI(-2);
        SetError("%s \"%s\" %s: %s", "Архив"_cp, folder.c_str(),
                 "не обновлен до конца, изменение завершится при следующем открытии"_cp,
                 reason.c_str());
        return false;
    }
    return true;
}

bool ReplaceDayFiles(const ArchiveAccess& access,
                     const std::vector<std::pair<Day, std::string>>& files) {
    std::vector<Day> days;
    for (const auto& f : files)
        days.push_back(f.first);
    std::size_t next = 0;
    return ReplaceDayFiles(access, days, [&](const Day&, std::string& bytes) {
        bytes = files[next++].second;
        return true;
    });
}

bool ReplaceDayFiles(const char* home, const std::vector<std::pair<Day, std::string>>& files) {
    ArchiveAccess access;
    return access.Open(home, Access::Write) && ReplaceDayFiles(access, files);
}

}  // namespace host::archive
