#include "operations_search.h"

#include <algorithm>
#include <map>
#include <set>
#include <utility>

#include "common/cp1251.h"
#include "common/lasterror.h"
#include "common/osfile.h"
#include "common/paths.h"
#include "common/strutil.h"
#include "runtime/rtlog.h"
#include "tw_opsfile.h"

using namespace host::literals;

bool IsOperationsFileName(const char* name) {
    return HasFileExtension(name, "two");
}

namespace {

struct Found {
    PRTime runTime;
    std::vector<TW_Operation> ops;
};

}  // namespace

TW_PeriodOperations GatherOperations(const char* folder, const InfoArray& reports,
                                     const PRTime& start, const PRTime& end,
                                     TW_UnreadableList* unreadable) {
    char dir[kMaxPath];
    StrCpy(dir, folder ? folder : "", kMaxPath);
    AddLastSlash(dir);
    std::vector<std::string> names, unnamed;
    host::ForEachDirEntry(
        dir[0] ? dir : ".",
        [&](const char* name, bool isFolder) {
            if (!isFolder && IsOperationsFileName(name)) names.push_back(name);
            return true;
        },
        &unnamed);
    NoteUnnamed(dir, unnamed, "two", unreadable);
    std::sort(names.begin(), names.end());

    // A file whose report is in the folder but not listed belongs to a report
    // that was left out: its day is not counted. One without a report (a day
    // without incidents) is.
    std::set<std::string> listed;
    for (int i = 0; i < reports.Count(); ++i)
        listed.insert(reports.ItemINT(i)->FileName.c_str());
    auto leftOut = [&](const std::string& path) {
        const std::string report = path.substr(0, path.size() - 4) + ".twr";
        return host::FileExists(report.c_str()) && !listed.count(report);
    };

    TW_PeriodOperations out;
    bool damaged = false;
    std::map<std::pair<PRTime, PRTime>, Found> periods;
    for (const std::string& name : names) {
        const std::string path = dir + name;
        if (leftOut(path)) continue;
        TW_OpsHeader header;
        std::vector<TW_Operation> ops;
        if (!TW_ReadOpsFile(path.c_str(), header, ops)) {
            const std::string reason = GetIOErrorS_GUI(-2);
            RTLog("Ошибка чтения файла срабатываний %s: %s"_cp, path.c_str(), reason.c_str());
            if (unreadable) unreadable->push_back({path, reason});
            damaged = true;
            continue;
        }
        if (!(header.Start < end) || !(start < header.End)) continue;
        Found& f = periods[{header.Start, header.End}];
        if (f.runTime.IsZero() || f.runTime < header.RunTime) f = {header.RunTime, std::move(ops)};
    }
    for (int i = 0; i < reports.Count(); ++i) {
        const RepInfo& r = *reports.ItemINT(i);
        if (!periods.count({r.Start, r.End})) out.Missing.push_back(r.FileName.c_str());
    }
    out.Known = !damaged && !periods.empty() && out.Missing.empty();
    for (auto& [period, f] : periods)
        for (const TW_Operation& op : f.ops)
            if (!(op.Time < start) && op.Time < end) out.Operations.push_back(op);
    std::stable_sort(out.Operations.begin(), out.Operations.end(),
                     [](const TW_Operation& a, const TW_Operation& b) { return a.Time < b.Time; });
    return out;
}
