#include "cmd_run.h"

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "common/cp1251.h"
#include "common/hugeheap.h"
#include "common/lasterror.h"
#include "common/osfile.h"
#include "common/paths.h"
#include "common/strutil.h"
#include "config/configtree.h"
#include "request/grabvalues.h"
#include "common/timetext.h"
#include "catch_up.h"
#include "home_start.h"
#include "plugin_loader.h"
#include "runtime/day_outcomes.h"
#include "runtime/journal.h"
#include "runtime/runtime.h"

namespace {

struct RunArgs {
    std::string home;
    std::string job = "Daily";
    std::string end, from, to, plugin, today;
    bool catchUp = false;
    int catchUpDays = 31;
};

// The midnight that ends the run of a calendar day.
PRTime EndOfDay(host::CivilDay day) {
    int y = 0, m = 0, d = 0;
    host::CivilFromDays(day + 1, y, m, d);
    return PRTime().Set(y, m, d);
}

// The calendar day a run reports on, when its period is a whole day from
// midnight to midnight; false for any other period.
bool DayOfRun(const PRTime& end, host::CivilDay& day) {
    if (end.Hour || end.Minute || end.Second) return false;
    day = host::DaysFromCivil(end.Year, end.Month, end.Day) - 1;
    return true;
}

// The host's side of a run: what GrabReportValues and GetConfigOwner read.
RTPHostContext runContext;
RTPConfigOwner configOwner;

RTPConfigOwner* GetConfigOwner(void*) {
    configOwner.Config = host::GrabbedConfig();
    return &configOwner;
}

// The journal's priority for a line of standard output, when a service's
// journal is standard output; else nothing.
const char* Priority(const char* priority) {
    static const bool journal = host::WritesToJournal(1);
    return journal ? priority : "";
}

const char* OutputName(host::RunOutput::Kind kind) {
    switch (kind) {
        case host::RunOutput::Binary:
            return "binary report";
        case host::RunOutput::Times:
            return "response times";
        case host::RunOutput::Operations:
            return "operations";
        case host::RunOutput::Text:
            return "text report";
        case host::RunOutput::Spreadsheet:
            return "spreadsheet";
    }
    return "output";
}

// The counts of the report that the module noted, when this run wrote its
// binary report; null when it wrote none.
const host::ReportCounts* WrittenReportCounts(const host::RunNotes& notes) {
    const bool written =
        std::any_of(notes.Outputs().begin(), notes.Outputs().end(), [](const host::RunOutput& o) {
            return o.kind == host::RunOutput::Binary && o.ok && !o.path.empty();
        });
    return written ? notes.Counts() : nullptr;
}

// The files that the run wrote, then each output it could not write with the
// reason; false when there was such an output.
bool PrintOutputs(const host::RunNotes& notes) {
    bool complete = true;
    for (const host::RunOutput& o : notes.Outputs())
        if (o.ok && !o.path.empty()) std::printf("  %s\n", host::Cp1251ToUtf8(o.path).c_str());
    for (const host::RunOutput& o : notes.Outputs()) {
        if (o.ok) continue;
        complete = false;
        std::printf("%s  not written: %s %s: %s\n", Priority(host::kJournalError),
                    OutputName(o.kind), host::Cp1251ToUtf8(o.path).c_str(),
                    host::Cp1251ToUtf8(o.error).c_str());
    }
    return complete;
}

// What the run noted about its data: contours without samples in the period,
// verdicts that no recent sample confirms.
void PrintNotes(const host::RunNotes& notes) {
    const auto& silent = notes.ContoursWithoutData();
    if (!silent.empty()) {
        std::string names;
        for (const std::string& s : silent)
            names += (names.empty() ? "" : ", ") + host::Cp1251ToUtf8(s);
        std::printf("  %zu contour(s) without data in the period: %s\n", silent.size(),
                    names.c_str());
    }
    if (const std::string* unexplained = notes.UnexplainedOperations();
        unexplained && !unexplained->empty()) {
        std::printf("%s  %zu operation(s) without demand:\n", Priority(host::kJournalWarning),
                    std::size_t(std::count(unexplained->begin(), unexplained->end(), '\n')));
        // A line at a time: a day's thousands of them need no copy of them all.
        std::string utf8;
        for (std::size_t from = 0; from < unexplained->size();) {
            const std::size_t eol = std::min(unexplained->find('\n', from), unexplained->size());
            utf8.clear();
            host::AppendCp1251AsUtf8(utf8, std::string_view(*unexplained).substr(from, eol - from));
            std::printf("    %s\n", utf8.c_str());
            from = eol + 1;
        }
    }
    if (notes.UnverifiedVerdicts())
        std::printf(
            "  %d verdict(s) unverified: the relay or apparatus has no sample since the "
            "look-back began\n",
            notes.UnverifiedVerdicts());
}

// One run of the job for the period that ends at `end`; prints its summary.
// One run of the period that ends at `end`. False with the reason (cp1251) in
// `failure` when the module returned an error or raised one, an output that
// the job asks for was not written, or an alert was not delivered (the day then
// runs again with the next catch-up, which sends it again).
bool RunOnce(RTPModule& module, HConfigItem* job, const PRTime& end, std::string& failure) {
    module.ReportTime = end;
    const PRTime start = host::AddCalendarDays(end, -1);
    runContext.PeriodStart = start;
    runContext.PeriodEnd = end;
    RTGetOperation()->ClearAbort();
    host::CurrentRunNotes().Clear();
    const char* error = nullptr;
    std::string raised;
    try {
        error = module.Run(job);
    } catch (const std::exception& e) {
        raised = e.what();
    }
    RTGetOperation()->SetAbort(false);
    host::FinishProgressLine();
    const std::string day = host::TimeText(start) + " .. " + host::TimeText(end);
    if (!raised.empty() || error) {
        failure = error ? std::string(error) : host::Utf8ToCp1251Lossy(raised);
        std::printf("%s%s: failed: %s\n", Priority(host::kJournalError), day.c_str(),
                    host::Cp1251ToUtf8(failure).c_str());
        return false;
    }
    const host::RunNotes& notes = host::CurrentRunNotes();
    if (const host::ReportCounts* counts = WrittenReportCounts(notes))
        std::printf("%s%s: %d incident(s), %d non-operation(s)%s\n",
                    Priority(counts->nonOperations ? host::kJournalWarning : host::kJournalInfo),
                    day.c_str(), counts->incidents, counts->nonOperations,
                    counts->nonOperations ? "  <-- protection did not operate cleanly" : "");
    else if (std::any_of(notes.Outputs().begin(), notes.Outputs().end(),
                         [](const host::RunOutput& o) { return !o.ok; }))
        std::printf("%s%s: incomplete: not every output was written\n",
                    Priority(host::kJournalError), day.c_str());
    else
        std::printf("%s: done (no binary report written: no incidents or not saved)\n",
                    day.c_str());
    PrintNotes(notes);
    const bool written = PrintOutputs(notes);
    for (const host::UndeliveredAlert& a : notes.UndeliveredAlerts())
        std::printf("%s  not delivered: %s %s: %s\n", Priority(host::kJournalError),
                    a.channel.c_str(), a.target.c_str(), a.reason.c_str());
    if (!written)
        failure = "not every output was written";
    else if (!notes.UndeliveredAlerts().empty())
        failure = "an alert was not delivered";
    return failure.empty();
}

// The job's last reported day, when there is one, as the record or its
// reports tell; `warning` names a damaged record.
struct LastReport {
    bool reported = false;
    host::CivilDay day = 0;
    std::string warning;
};

LastReport FindLastReport(const std::string& home, const RunArgs& args, HConfigItem& job) {
    char folder[kMaxPath];
    MakeStartLocalPath(folder, job.GetStr("ReportDir", ""));
    LastReport last;
    last.reported = host::LastReportedDay(home, host::Utf8ToCp1251Lossy(args.job), folder,
                                          job.GetStr("Name", ""), last.day, last.warning);
    return last;
}

// The period ends of a catch-up run of the job after `last`; prints what it
// will do.
std::vector<PRTime> CatchUpEnds(const RunArgs& args, const LastReport& last, host::CivilDay today) {
    if (!last.warning.empty())
        std::fprintf(stderr, "rthost run: %s\n", host::Cp1251ToUtf8(last.warning).c_str());
    const host::CatchUpPlan plan =
        host::PlanCatchUp(last.reported, last.day, today, args.catchUpDays);
    const std::string since =
        last.reported ? "the last report: " + host::DayText(last.day) : "no earlier report";
    if (plan.days.empty()) {
        std::printf("Catch-up of job %s: up to date (%s)\n", args.job.c_str(), since.c_str());
    } else {
        std::printf("Catch-up of job %s: %zu day(s), %s .. %s (%s)\n", args.job.c_str(),
                    plan.days.size(), host::DayText(plan.days.front()).c_str(),
                    host::DayText(plan.days.back()).c_str(), since.c_str());
    }
    if (plan.leftOut)
        std::printf(
            "  %d earlier day(s) from %s left out, over --catch-up-days %d: run them with --from "
            "and --to\n",
            plan.leftOut, host::DayText(plan.firstLeftOut).c_str(), args.catchUpDays);
    std::vector<PRTime> ends;
    for (host::CivilDay d : plan.days)
        ends.push_back(EndOfDay(d));
    return ends;
}

// The period ends that --from/--to, --end or the default give; false (exit
// code 2 set, message printed) on a bad value.
bool PeriodEnds(const RunArgs& args, host::CivilDay today, std::vector<PRTime>& ends) {
    if (!args.from.empty()) {
        PRTime first, last;
        if (!host::ParseMomentText(args.from.c_str(), first) ||
            !host::ParseMomentText(args.to.c_str(), last) || last < first) {
            std::fprintf(stderr, "rthost run: --from and --to must be days YYYY-MM-DD, in order\n");
            return false;
        }
        // Counted from the first day, so that a midnight that a clock change
        // skips does not shift the days after it.
        for (int n = 0; !(last < host::AddCalendarDays(first, n)); ++n)
            ends.push_back(host::AddCalendarDays(first, n + 1));
    } else if (!args.end.empty()) {
        PRTime end;
        if (!host::ParseMomentText(args.end.c_str(), end)) {
            std::fprintf(stderr, "rthost run: --end must be \"YYYY-MM-DD HH:MM[:SS]\"\n");
            return false;
        }
        ends.push_back(end);
    } else {
        ends.push_back(EndOfDay(today - 1));
    }
    return true;
}

// Runs the module for each period end in turn; after each whole day that it
// reported, following the last reported day, moves the record on. The number
// of days that failed.
int RunDays(RTPModule& module, HConfigItem* job, const std::vector<PRTime>& ends,
            const std::string& home, const RunArgs& args, LastReport last) {
    const std::string jobName = host::Utf8ToCp1251Lossy(args.job);
    int failed = 0;
    for (const PRTime& end : ends) {
        std::string failure;
        const bool ok = RunOnce(module, job, end, failure);
        host::CivilDay day = 0;
        const bool wholeDay = DayOfRun(end, day);
        // How the day ended, for those who look at the reports later.
        if (wholeDay && !host::AppendDayOutcome(home, jobName, day, failure)) {
            std::printf("%s  outcome not recorded: %s\n", Priority(host::kJournalError),
                        host::Cp1251ToUtf8(GetIOErrorS_GUI(-2)).c_str());
            ++failed;
            continue;
        }
        if (!ok) {
            ++failed;
            continue;
        }
        if (!wholeDay || (last.reported && day != last.day + 1)) continue;
        if (!host::RecordReportedDay(home, jobName, day)) {
            std::printf("%s  not recorded as the last reported day: %s\n",
                        Priority(host::kJournalError),
                        host::Cp1251ToUtf8(GetIOErrorS_GUI(-2)).c_str());
            ++failed;
            continue;
        }
        last.reported = true;
        last.day = day;
    }
    return failed;
}

// The day taken as today: --today, else the system's date; false (message
// printed) on a bad value.
bool Today(const RunArgs& args, host::CivilDay& today) {
    if (args.today.empty()) {
        const PRTime now = PRTime::Now();
        today = host::DaysFromCivil(now.Year, now.Month, now.Day);
        return true;
    }
    if (host::ParseDayText(args.today.c_str(), today)) return true;
    std::fprintf(stderr, "rthost run: --today must be a day YYYY-MM-DD\n");
    return false;
}

}  // namespace

void AddRunCommand(CLI::App& app, int& exitCode) {
    auto args = std::make_shared<RunArgs>();
    CLI::App* cmd =
        app.add_subcommand("run", "Run a report job of HOME for a day or a range of days");
    cmd->add_option("HOME", args->home, "Home folder")->required();
    cmd->add_option("--job", args->job, "Job name (HOME/Jobs/NAME.json)");
    auto* endOpt = cmd->add_option("--end", args->end,
                                   "End of the report period, \"YYYY-MM-DD HH:MM[:SS]\" "
                                   "(default: today 00:00, the report of yesterday)");
    auto* fromOpt = cmd->add_option("--from", args->from, "First day of a backfill, YYYY-MM-DD");
    auto* toOpt = cmd->add_option("--to", args->to, "Last day of a backfill, YYYY-MM-DD");
    auto* catchUpOpt = cmd->add_flag(
        "--catch-up", args->catchUp,
        "Run every day after the job's last report up to yesterday (yesterday alone when it "
        "has none)");
    cmd->add_option("--catch-up-days", args->catchUpDays,
                    "The most days one catch-up runs, the latest ones (default 31)")
        ->check(CLI::Range(1, 3660))
        ->needs(catchUpOpt);
    cmd->add_option("--today", args->today,
                    "The day taken as today, YYYY-MM-DD (default: the system's date)");
    fromOpt->excludes(endOpt);
    toOpt->excludes(endOpt);
    fromOpt->needs(toOpt);
    toOpt->needs(fromOpt);
    catchUpOpt->excludes(endOpt)->excludes(fromOpt)->excludes(toOpt);
    cmd->add_option("--plugin", args->plugin,
                    "Path of the report module (default: the one installed with rthost)");
    cmd->callback([args, &exitCode] {
        const std::string home = host::Utf8ToCp1251Lossy(args->home);
        if (!host::IsDirectory(home.c_str())) {
            std::fprintf(stderr, "rthost run: no home folder %s\n", args->home.c_str());
            exitCode = 2;
            return;
        }
        // Under a file-size limit a write fails (EFBIG) and is reported as any
        // other failed write, instead of the signal ending the run unreported.
        std::signal(SIGXFSZ, SIG_IGN);
        host::KeepBlocksForRuns();
        if (!host::StartInHome(home)) {
            std::fprintf(stderr, "rthost run: %s\n",
                         host::Cp1251ToUtf8(GetIOErrorS_GUI(-2)).c_str());
            exitCode = 1;
            return;
        }
        host::CivilDay today = 0;
        std::vector<PRTime> ends;
        if (!Today(*args, today) || (!args->catchUp && !PeriodEnds(*args, today, ends))) {
            exitCode = 2;
            return;
        }

        char jobPath[kMaxPath];
        MakeStartLocalPath(jobPath,
                           ("Jobs/" + host::Utf8ToCp1251Lossy(args->job) + ".json").c_str());
        HConfigTree tree;
        if (!host::FileExists(jobPath)) {
            std::fprintf(stderr, "rthost run: no job %s\n", host::Cp1251ToUtf8(jobPath).c_str());
            exitCode = 2;
            return;
        }
        if (!tree.Load(jobPath, true)) {
            std::fprintf(stderr, "rthost run: %s\n",
                         host::Cp1251ToUtf8(GetIOErrorS_GUI(-2)).c_str());
            exitCode = 2;
            return;
        }
        const LastReport last = FindLastReport(home, *args, *tree.Root());
        if (args->catchUp) {
            ends = CatchUpEnds(*args, last, today);
            if (ends.empty()) return;
        }
        std::string error;
        const std::string path = args->plugin.empty() ? host::DefaultPluginPath() : args->plugin;
        auto loaded = host::LoadedPlugin::Load(path, &error);
        if (!loaded) {
            std::fprintf(stderr, "rthost run: %s\n", error.c_str());
            exitCode = 2;
            return;
        }
        StrCpy(runContext.Home, GetStartupDir(), sizeof runContext.Home);
        const RTPInfo info = host::MakeHostInfo(&runContext, &GetConfigOwner);
        RTPModule& module = loaded->Module();
        module.Init(&info);
        const int failed = RunDays(module, tree.Root(), ends, home, *args, last);
        module.Done();
        if (ends.size() > 1) std::printf("%zu day(s), %d failed\n", ends.size(), failed);
        RTShutdown();
        exitCode = failed ? 1 : 0;
    });
}
