#include "report_search.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <tuple>
#include <string>
#include <vector>

#include "common/cp1251.h"
#include "common/lasterror.h"
#include "common/osfile.h"
#include "common/paths.h"
#include "common/strutil.h"
#include "runtime/idle.h"
#include "runtime/operation.h"
#include "runtime/rtlog.h"
#include "tw_file.h"

using namespace host::literals;

bool HasFileExtension(const char* name, const char* ext) {
    const std::size_t n = std::strlen(name), e = std::strlen(ext);
    if (n <= e || name[n - e - 1] != '.') return false;
    for (std::size_t i = 0; i < e; ++i)
        if ((name[n - e + i] | 0x20) != ext[i]) return false;
    return true;
}

bool IsReportFileName(const char* name) {
    return HasFileExtension(name, "twr");
}

namespace {

void NoteUnreadable(const char* path, TW_UnreadableList* unreadable,
                    const std::string& reason = GetIOErrorS_GUI(-2)) {
    RTLog("Ошибка чтения отчета %s: %s"_cp, path, reason.c_str());
    if (unreadable) unreadable->push_back({path, reason});
}

// The file name without its folder, its extension and a " (N)" counter.
std::string JobPeriodName(const char* path) {
    std::string name = path;
    name.erase(0, name.find_last_of('/') + 1);
    if (IsReportFileName(name.c_str())) name.resize(name.size() - 4);
    const std::size_t open = name.rfind(" (");
    if (open != std::string::npos && name.size() > open + 3 && name.back() == ')' &&
        name.find_first_not_of("0123456789", open + 2) == name.size() - 1)
        name.resize(open);
    return name;
}

}  // namespace

std::vector<std::vector<int>> RepeatedReports(const InfoArray& reports) {
    // One group per job name and period, in the order of the first report's path.
    std::map<std::tuple<std::string, PRTime, PRTime>, std::vector<int>> groups;
    for (int i = 0; i < reports.Count(); ++i) {
        const RepInfo& r = *reports.ItemINT(i);
        groups[{JobPeriodName(r.FileName.c_str()), r.Start, r.End}].push_back(i);
    }
    std::vector<std::vector<int>> repeated;
    for (auto& [key, group] : groups) {
        if (group.size() < 2) continue;
        std::sort(group.begin(), group.end(), [&](int a, int b) {
            return std::strcmp(reports.ItemINT(a)->FileName.c_str(),
                               reports.ItemINT(b)->FileName.c_str()) < 0;
        });
        repeated.push_back(std::move(group));
    }
    std::sort(repeated.begin(), repeated.end(), [&](const auto& a, const auto& b) {
        return std::strcmp(reports.ItemINT(a[0])->FileName.c_str(),
                           reports.ItemINT(b[0])->FileName.c_str()) < 0;
    });
    return repeated;
}

void NoteUnnamed(const char* folder, const std::vector<std::string>& names, const char* extension,
                 TW_UnreadableList* unreadable) {
    for (const std::string& name : names)
        if (HasFileExtension(name.c_str(), extension))
            NoteUnreadable((folder + name).c_str(), unreadable,
                           "имя файла не в UTF-8 или с буквами вне Windows-1251"_cp);
}

int SearchReports(InfoArray& reports, const char* folder, const PRTime& periodStart,
                  const PRTime& periodEnd, TW_UnreadableList* unreadable) {
    HOperation* op = RTGetOperation();
    op->IncShow();
    HOperationTextScope clearText(op);
    reports.DeleteAllINT();

    char dir[kMaxPath];
    StrCpy(dir, folder ? folder : "", kMaxPath);
    AddLastSlash(dir);

    // The matching entries, in listing order; a folder that cannot be listed
    // (missing, not a folder, no permission) lists nothing.
    struct Entry {
        std::string name;
        bool isFolder;
    };
    std::vector<Entry> entries;
    std::vector<std::string> unnamed;
    host::ForEachDirEntry(
        dir[0] ? dir : ".",
        [&](const char* name, bool isFolder) {
            if (IsReportFileName(name)) entries.push_back({name, isFolder});
            return true;
        },
        &unnamed);
    NoteUnnamed(dir, unnamed, "twr", unreadable);
    if (entries.empty()) return 0;

    TW_File scratch;
    PRPeriod* idle = RTGetIdlePeriod();
    if (idle) PRPeriodReset(idle);
    int counter = 0;
    for (const Entry& e : entries) {
        if (idle && PRPeriodEnd(idle, 1))
            op->SetText("Скинарование файлов %d...\nНайдено %d отчетов"_cp, counter,
                        reports.Count());
        ++counter;
        if (e.isFolder) continue;
        RepInfo info{};
        // At most 260 characters: a longer path is cut and then fails to read.
        info.FileName.Set((std::string(dir) + e.name).c_str());
        host::ClearError();
        if (scratch.LoadHeader(info.FileName) <= 0) {
            // A stored count of 0 is a sound report without incidents.
            if (GetIOErrorN() != 0) NoteUnreadable(info.FileName.c_str(), unreadable);
            continue;
        }
        if (scratch.End.Cmp(periodStart) <= 0 || scratch.Start.Cmp(periodEnd) >= 0) continue;
        info.Start = scratch.Start;
        info.End = scratch.End;
        reports.Add(info);
    }
    return reports.Count();
}
