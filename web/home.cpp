#include "home.h"

#include <algorithm>
#include <map>

#include "common/osfile.h"
#include "config/configtree.h"
#include "common/lasterror.h"
#include "tw_file.h"
#include "tw_fill.h"
#include "tw_opsfile.h"

namespace web {
namespace {

// A folder of a job's settings, relative to the home unless absolute.
std::string Folder(const std::string& home, const char* setting) {
    std::string path = setting;
    std::replace(path.begin(), path.end(), '\\', '/');
    if (path.empty() || path.front() != '/') path = home + path;
    if (path.back() != '/') path += '/';
    return path;
}

bool EndsWith(const std::string& s, const char* ext) {
    const std::string e = ext;
    return s.size() > e.size() && s.compare(s.size() - e.size(), e.size(), e) == 0;
}

std::string Base(const std::string& name) {
    return name.substr(0, name.rfind('.'));
}

long DayOf(const PRTime& t) {
    return host::DaysFromCivil(t.Year, t.Month, t.Day);
}

}  // namespace

std::vector<Job> LoadJobs(const std::string& home, std::vector<std::string>& problems) {
    std::vector<Job> jobs;
    const std::string folder = home + "Jobs/";
    host::ForEachDirEntry(folder.c_str(), [&](const char* name, bool isFolder) {
        const std::string file = name;
        if (isFolder || !EndsWith(file, ".json")) return true;
        HConfigTree tree;
        if (!tree.Load((folder + file).c_str(), true)) {
            problems.push_back(file + ": " + GetIOErrorS_GUI(-2));
            return true;
        }
        HConfigItem* root = tree.Root();
        // The run's defaults where a key is missing.
        jobs.push_back({home, Base(file), root->GetStr("Name", "Report"),
                        Folder(home, root->GetStr("ReportDir", "Reports")),
                        Folder(home, root->GetStr("TXTDir", "Reports")),
                        Folder(home, root->GetStr("XLSDir", "Reports"))});
        return true;
    });
    std::sort(jobs.begin(), jobs.end(), [](const Job& a, const Job& b) { return a.file < b.file; });
    return jobs;
}

std::vector<ReportEntry> ListReports(const Job& job, long firstDay, long lastDay) {
    // By period: a report and its operations file meet under one key.
    std::map<std::pair<TW_TimeKeyValue, TW_TimeKeyValue>, ReportEntry> periods;
    std::map<std::pair<TW_TimeKeyValue, TW_TimeKeyValue>, PRTime> runTimes;
    const std::string prefix = job.reportName + " ";
    host::ForEachDirEntry(job.binDir.c_str(), [&](const char* cname, bool isFolder) {
        const std::string name = cname;
        const bool twr = EndsWith(name, ".twr"), two = EndsWith(name, ".two");
        if (isFolder || name.rfind(prefix, 0) != 0 || !(twr || two)) return true;
        const std::string path = job.binDir + name;
        ReportEntry e;
        PRTime runTime;
        if (twr) {
            TW_File header;
            e.items = header.LoadHeader(path.c_str());
            if (e.items <= 0) return true;
            e.start = header.Start, e.end = header.End, runTime = header.RunTime;
        } else {
            TW_OpsHeader header;
            std::vector<TW_Operation> ops;
            if (!TW_ReadOpsFile(path.c_str(), header, ops)) return true;
            e.start = header.Start, e.end = header.End, runTime = header.RunTime;
            e.unexplained = TW_CountOperations(ops, TW_OpUnexplained);
        }
        e.day = DayOf(e.start);
        if (e.day < firstDay || e.day > lastDay) return true;
        const auto key = std::pair{TW_TimeKey(e.start), TW_TimeKey(e.end)};
        ReportEntry& slot = periods[key];
        auto [known, added] = runTimes.try_emplace(key, runTime);
        // A newer computation of the period replaces the older one's files.
        if (!added && known->second != runTime) {
            if (runTime < known->second) return true;
            slot = ReportEntry{};
            known->second = runTime;
        }
        (twr ? slot.twr : slot.two) = name;
        slot.start = e.start, slot.end = e.end, slot.day = e.day;
        if (twr) slot.items = e.items;
        if (two) slot.unexplained = e.unexplained;
        return true;
    });
    std::vector<ReportEntry> out;
    for (auto& [key, e] : periods)
        out.push_back(std::move(e));
    return out;
}

bool DownloadFolder(const Job& job, const std::string& name, std::string& folder) {
    if (name.find('/') != std::string::npos || name.rfind(job.reportName + " ", 0) != 0)
        return false;
    if (EndsWith(name, ".twr") || EndsWith(name, ".twt") || EndsWith(name, ".two"))
        folder = job.binDir;
    else if (EndsWith(name, ".txt"))
        folder = job.txtDir;
    else if (EndsWith(name, ".xls"))
        folder = job.xlsDir;
    else
        return false;
    return true;
}

}  // namespace web
