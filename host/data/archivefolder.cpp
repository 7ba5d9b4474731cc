#include "archivefolder.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>

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
    return ArchiveFolder(home) + day.FileName();
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

bool ReplaceDayFiles(const char* home, const std::vector<std::pair<Day, std::string>>& files) {
    const std::string folder = ArchiveFolder(home);
    if (!MakeDirectories(folder.c_str())) {
        const std::string reason = GetIOErrorS_GUI(-2);
        SetError("%s \"%s\": %s", "Архив не создан"_cp, folder.c_str(), reason.c_str());
        return false;
    }
    std::vector<std::string> temps;
    auto dropTemps = [&] {
        for (const auto& t : temps)
            ::unlink(t.c_str());
    };
    for (const auto& [day, bytes] : files) {
        const std::string target = DayFilePath(home, day);
        int fd = -1;
        const std::string tmp = MakeTempBeside(target.c_str(), &fd);
        bool ok = !tmp.empty();
        if (ok) {
            temps.push_back(tmp);
            std::size_t done = 0;
            while (ok && done < bytes.size()) {
                const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
                if (n < 0 && errno == EINTR) continue;
                if (n <= 0) {
                    ok = SetErrnoError();
                    break;
                }
                done += std::size_t(n);
            }
            if (ok && ::fsync(fd) != 0) ok = SetErrnoError();
            if (::close(fd) != 0 && ok) ok = SetErrnoError();
        }
        if (!ok) {
            const std::string reason = GetIOErrorS_GUI(-2);
            dropTemps();
            SetError("%s \"%s\" %s: %s", "Файл архива"_cp, target.c_str(), "не записан"_cp,
                     reason.c_str());
            return false;
        }
    }
    for (std::size_t i = 0; i < files.size(); ++i) {
        const std::string target = OsPath(DayFilePath(home, files[i].first).c_str());
        if (std::rename(temps[i].c_str(), target.c_str()) != 0) {
            SetErrnoError();
            const std::string reason = GetIOErrorS_GUI(-2);
            for (std::size_t k = i; k < temps.size(); ++k)
                ::unlink(temps[k].c_str());
            SetError("%s \"%s\" %s: %s", "Файл архива"_cp,
                     DayFilePath(home, files[i].first).c_str(), "не записан"_cp, reason.c_str());
            return false;
        }
    }
    return true;
}

}  // namespace host::archive
