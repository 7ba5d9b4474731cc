#include "batch.h"

#include <cstdio>
#include <set>

#include "common/cp1251.h"
#include "common/lasterror.h"
#include "common/osfile.h"
#include "common/timetext.h"
#include "operations_search.h"
#include "operations_view.h"
#include "period.h"
#include "report_search.h"
#include "runtime/runtime.h"
#include "stats_csv.h"
#include "stats_sheet.h"
#include "tw_file.h"
#include "tw_stats.h"
#include "ws_model.h"

using namespace host::literals;

namespace {

// The system's cp1251 form of a file-system name, or false when it has none.
bool SystemName(const std::string& osName, std::string& out, const char* what) {
    if (host::Utf8ToCp1251(osName, out)) return true;
    std::fprintf(stderr, "Tripview: the %s \"%s\" has characters outside Windows-1251\n", what,
                 osName.c_str());
    return false;
}

std::set<std::string> FilesIn(const std::string& folder) {
    std::set<std::string> files;
    host::ForEachDirEntry(folder.c_str(), [&](const char* name, bool isFolder) {
        if (!isFolder) files.insert(folder + name);
        return true;
    });
    return files;
}

// Writes one output into `folder` and prints the new files; false on failure.
template <class Export>
bool WriteOutput(const std::string& folder, const char* what, Export exportInto) {
    std::string dir = folder;
    if (dir.back() != '/') dir += '/';
    host::MakeDirectories(dir.c_str());
    const std::set<std::string> before = FilesIn(dir);
    if (!exportInto(dir.c_str())) {
        std::printf("%s: failed: %s\n", what, host::Cp1251ToUtf8(GetIOErrorS_GUI(-2)).c_str());
        return false;
    }
    for (const std::string& f : FilesIn(dir))
        if (!before.count(f)) std::printf("%s: %s\n", what, host::Cp1251ToUtf8(f).c_str());
    return true;
}

std::string Utf8(const std::string& cp1251) {
    return host::Cp1251ToUtf8(cp1251);
}

// The listed reports, then a warning for each report made twice for one job
// and period: both are counted, so their common non-operations appear twice.
void PrintReports(const InfoArray& reports, int found) {
    std::printf("%d report(s) of the period:\n", found);
    for (int i = 0; i < reports.Count(); ++i)
        std::printf("  %s\n", Utf8(reports.ItemINT(i)->FileName.c_str()).c_str());
    // One line per job and period, however many copies it has.
    for (const std::vector<int>& group : RepeatedReports(reports)) {
        std::string names;
        for (std::size_t k = 0; k < group.size(); ++k)
            names += (k == 0                  ? ""
                      : k + 1 == group.size() ? " and "
                                              : ", ") +
                     Utf8(reports.ItemINT(group[k])->FileName.c_str());
        if (group.size() == 2)
            std::printf("warning: two reports of the same job and period, both counted: %s\n",
                        names.c_str());
        else
            std::printf("warning: %zu reports of the same job and period, all counted: %s\n",
                        group.size(), names.c_str());
    }
}

void PrintNonOperations(const TW_File& result, int count) {
    std::printf("%d non-operation(s)\n", count);
    for (int i = 0; i < count; ++i) {
        std::string line;
        for (int column = 0; column < 4; ++column) {
            std::string cell;
            TWSMainModel::ResultCellText(result, i, column, cell);
            line += (column ? " | " : "  ") + cell;
        }
        std::printf("%s\n", Utf8(line).c_str());
    }
}

// "incomplete: N <what>:", then each file with its reason.
void PrintUnreadable(const TW_UnreadableList& unreadable, const char* what) {
    if (unreadable.empty()) return;
    std::printf("incomplete: %zu %s:\n", unreadable.size(), what);
    for (const TW_Unreadable& u : unreadable)
        std::printf("  %s: %s\n", Utf8(u.path).c_str(), Utf8(u.reason).c_str());
}

// Writes one table as `dir``name` and names it; false on failure.
bool WriteTable(const std::string& dir, const char* name, const std::string& bytes) {
    const std::string path = dir + name;
    // Written in a hidden file beside it that takes the name when whole, as
    // every output of a run.
    const std::string target = host::OsPath(path.c_str());
    host::PendingFile pending(target);
    if (!pending.ok() || !host::WriteOsFile(pending.path(), bytes) || !pending.Replace(target)) {
        std::printf("statistics: failed: %s\n", Utf8(GetIOErrorS_GUI(-2)).c_str());
        return false;
    }
    std::printf("statistics: %s\n", Utf8(path).c_str());
    return true;
}

// Writes the statistics as `folder`/stats.csv, and the operations and their
// lines when they are known; false on failure.
bool WriteStatistics(const std::string& folder, const TW_Statistics& stats) {
    std::string dir = folder;
    if (dir.back() != '/') dir += '/';
    host::MakeDirectories(dir.c_str());
    if (!WriteTable(dir, "stats.csv", TW_StatsCsv(stats))) return false;
    if (!stats.OperationsKnown) return true;
    return WriteTable(dir, "operations.csv", TW_OperationsCsv(stats)) &&
           WriteTable(dir, "lines.csv", TW_LinesCsv(stats));
}

// The operations without demand, or why the operations are not known.
void PrintOperations(const TW_PeriodOperations& ops) {
    if (!ops.Known) {
        std::printf("operations: not known (%zu report(s) without an operations file)\n",
                    ops.Missing.size());
        return;
    }
    std::vector<const TW_Operation*> unexplained;
    for (const TW_Operation& op : ops.Operations)
        if (op.Class == TW_OpUnexplained) unexplained.push_back(&op);
    std::printf("%zu operation(s) without demand\n", unexplained.size());
    for (const TW_Operation* op : unexplained)
        std::printf("  %s\n", Utf8(TW_OperationText(*op)).c_str());
}

}  // namespace

int RunBatch(const TW_BatchArgs& args) {
    PRTime start, end;
    if (!host::ParseMomentText(args.from.c_str(), start) ||
        !host::ParseMomentText(args.to.c_str(), end)) {
        std::fprintf(stderr, "Tripview: --from and --to take YYYY-MM-DD[ HH:MM[:SS]]\n");
        return 2;
    }
    if (const TW_PeriodCheck check = TWSMainModel::CheckPeriod(start, end); !check.ok) {
        std::fprintf(stderr, "Tripview: %s\n", host::Cp1251ToUtf8(check.text).c_str());
        return 2;
    }
    std::string folder, txtDir, xlsDir, templ, statsDir;
    if (!SystemName(args.path, folder, "folder") || !SystemName(args.txtDir, txtDir, "folder") ||
        !SystemName(args.xlsDir, xlsDir, "folder") || !SystemName(args.templ, templ, "template") ||
        !SystemName(args.statsDir, statsDir, "folder"))
        return 2;
    if (!(args.nearMissShare >= 0 && args.nearMissShare <= 1)) {
        std::fprintf(stderr, "Tripview: --near-miss takes a share from 0 to 1\n");
        return 2;
    }

    // A folder that is not there would list nothing: a false all-clear.
    if (!host::IsDirectory(folder.c_str())) {
        std::fprintf(stderr, "Tripview: --path \"%s\" is not an existing folder\n",
                     args.path.c_str());
        return 2;
    }

    TW_Period period;
    TW_GatherPeriod(folder.c_str(), start, end,
                    {.NearMissShare = args.nearMissShare, .Step = args.step}, period);
    PrintReports(period.Reports, period.Found);
    PrintNonOperations(period.NonOperations, period.Count);
    PrintOperations(period.Operations);
    PrintUnreadable(period.Unreadable, "report(s) could not be read");
    // Times files that cannot be used matter to the statistics alone.
    if (!statsDir.empty()) PrintUnreadable(period.UnusedTimes, "times file(s) could not be used");
    PrintUnreadable(period.UnreadableOps, "operations file(s) could not be read");

    const TW_Statistics& figures = period.Statistics;
    TW_File& result = period.NonOperations;
    bool ok = period.Unreadable.empty() && period.UnreadableOps.empty() &&
              (statsDir.empty() || period.UnusedTimes.empty());
    if (!txtDir.empty())
        ok &=
            WriteOutput(txtDir, "text", [&](const char* dir) { return result.ExportToText(dir); });
    if (!xlsDir.empty()) {
        // Without --template the report alone is written.
        result.Template.Set(templ.c_str());
        result.ExtraSheets = TW_ReportExtraSheets(
            figures, TW_OpsUnknownText(period.Operations, period.UnreadableOps.size()));
        ok &= WriteOutput(xlsDir, "spreadsheet",
                          [&](const char* dir) { return result.ExportToXLS(dir); });
    }
    if (!statsDir.empty()) {
        ok &= WriteStatistics(statsDir, figures);
        if (args.writeCharts) ok &= args.writeCharts(figures, args.statsDir);
    }
    return ok ? 0 : 1;
}
