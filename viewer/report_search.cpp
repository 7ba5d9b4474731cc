#include "report_search.h"

#include <cstring>
#include <string>
#include <vector>

#include "common/cp1251.h"
#include "common/osfile.h"
#include "common/paths.h"
#include "common/strutil.h"
#include "runtime/idle.h"
#include "runtime/operation.h"
#include "tw_file.h"

using namespace host::literals;

bool IsReportFileName(const char* name) {
    const std::size_t n = std::strlen(name);
    return n >= 4 && name[n - 4] == '.' && (name[n - 3] | 0x20) == 't' &&
           (name[n - 2] | 0x20) == 'w' && (name[n - 1] | 0x20) == 'r';
}

int SearchReports(InfoArray& reports, const char* folder, const PRTime& periodStart,
                  const PRTime& periodEnd) {
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
        if (scratch.LoadHeader(info.FileName) <= 0) continue;
        if (scratch.End.Cmp(periodStart) <= 0 || scratch.Start.Cmp(periodEnd) >= 0) continue;
        info.Start = scratch.Start;
        info.End = scratch.End;
        reports.Add(info);
    }
    return reports.Count();
}
