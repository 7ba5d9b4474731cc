#include "report_search.h"

#include <cstring>
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

void NoteUnreadable(const char* path, TW_UnreadableList* unreadable) {
    const std::string reason = GetIOErrorS_GUI(-2);
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

std::vector<std::pair<int, int>> RepeatedReports(const InfoArray& reports) {
    std::vector<std::string> names;
    for (int i = 0; i < reports.Count(); ++i)
        names.push_back(JobPeriodName(reports.ItemINT(i)->FileName.c_str()));
    std::vector<std::pair<int, int>> pairs;
    for (int i = 0; i < reports.Count(); ++i)
        for (int j = i + 1; j < reports.Count(); ++j) {
            const RepInfo& a = *reports.ItemINT(i);
            const RepInfo& b = *reports.ItemINT(j);
            if (names[i] != names[j] || a.Start.Cmp(b.Start) != 0 || a.End.Cmp(b.End) != 0)
                continue;
            if (std::strcmp(a.FileName.c_str(), b.FileName.c_str()) < 0)
                pairs.emplace_back(i, j);
            else
                pairs.emplace_back(j, i);
        }
    return pairs;
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
    host::ForEachDirEntry(dir[0] ? dir : ".", [&](const char* name, bool isFolder) {
        if (IsReportFileName(name)) entries.push_back({name, isFolder});
        return true;
    });
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
