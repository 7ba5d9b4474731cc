// Operation 12 of the descriptor: the daily report run. It loads the job's
// contour set, fetches the day's hour data, computes the incidents and writes
// the binary, text and spreadsheet reports as the job's settings say, then sends
// the day's findings through the job's alert channels. Every key
// it uses is read and checked first: a job with a wrong value is refused before
// any data is requested. Every object it makes is destroyed on every way out,
// exceptions included.
#include <cstdlib>
#include <future>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/cp1251.h"
#include "common/lasterror.h"
#include "common/osfile.h"
#include "common/paths.h"
#include "common/prtime.h"
#include "common/side_task.h"
#include "common/strutil.h"
#include "config/configcheck.h"
#include "config/configitem.h"
#include "config/notifynode.h"
#include "request/grabvalues.h"
#include "hourfile/hourfile.h"
#include "job_keys.h"
#include "plugin_state.h"
#include "report_tripwatch.h"
#include "run_alerts.h"
#include "runtime/runnotes.h"
#include "runtime/runtime.h"
#include "tw_contourarray.h"
#include "tw_fieldtext.h"
#include "tw_file.h"
#include "tw_hostfillreporter.h"
#include "tw_operations.h"
#include "tw_opsfile.h"

using namespace host::literals;
using tripplug::State;

namespace {

using tripplug::JobKey;

// The job keys that the run reads, all read and checked before anything runs.
struct JobSettings {
    double cfgTime = 0, cfgDate = 0;
    std::string valPath, xlsTempl, name, reportDir, txtDir, xlsDir;
    bool useCfg = true, saveVals = true, saveBin = true, saveTxt = true, saveXls = true;
    bool print = false;
};

// The text and flag keys of the settings, in the order they are read (and so
// the order in which a wrong value is found first).
struct SettingKey {
    JobKey key;
    std::string JobSettings::*text;  // null for a flag
    bool JobSettings::*flag;
};
constexpr SettingKey kSettingKeys[] = {
    {JobKey::ValPath, &JobSettings::valPath, nullptr},
    {JobKey::UseCfg, nullptr, &JobSettings::useCfg},
    {JobKey::SaveVals, nullptr, &JobSettings::saveVals},
    {JobKey::XLSTempl, &JobSettings::xlsTempl, nullptr},
    {JobKey::SaveBIN, nullptr, &JobSettings::saveBin},
    {JobKey::ReportDir, &JobSettings::reportDir, nullptr},
    {JobKey::Name, &JobSettings::name, nullptr},
    {JobKey::SaveTXT, nullptr, &JobSettings::saveTxt},
    {JobKey::TXTDir, &JobSettings::txtDir, nullptr},
    {JobKey::SaveXLS, nullptr, &JobSettings::saveXls},
    {JobKey::XLSDir, &JobSettings::xlsDir, nullptr},
    {JobKey::Print, nullptr, &JobSettings::print},
};

// False, with the first wrong value in the last error, when a key holds a value
// of another type or a name that could lead out of the output folders; a
// missing key takes the run's default.
bool ReadSettings(HConfigItem& node, double now, JobSettings& s) {
    HConfigCheck check;
    tripplug::JobReader keys(node, check, tripplug::JobSide::Run);
    s.cfgTime = keys.Date(JobKey::CfgTime, now);
    s.cfgDate = keys.Date(JobKey::CfgDate, now);
    for (const SettingKey& k : kSettingKeys) {
        if (k.text)
            s.*k.text = keys.Text(k.key);
        else
            s.*k.flag = keys.Flag(k.key);
    }
    return check.Report();
}

// The name base of one output: `folder` taken from the start folder, a
// separator, and the job name. False (last error naming it) when it does not
// fit a path: a cut one would lead into another folder.
bool MakeBase(const std::string& folder, const std::string& name, char (&base)[kMaxPath]) {
    std::string full = host::StartLocalPath(folder.c_str());
    if (!full.empty() && full.back() != '/') full += '/';
    full += name;
    if (!host::FitsPath(full)) return false;
    StrCpy(base, full.c_str(), kMaxPath);
    return true;
}

// Every folder and file name of the job's settings as the run will use them:
// the first that does not fit a path fails the run before anything is read.
bool CheckPaths(const JobSettings& job) {
    char base[kMaxPath];
    for (const std::string* folder : {&job.reportDir, &job.txtDir, &job.xlsDir})
        if (!MakeBase(*folder, job.name, base)) return false;
    // The values file's name is as long as this one.
    return MakeBase(job.valPath, "values_20261207_000000-20261208_000000.csv", base) &&
           host::FitsPath(host::StartLocalPath(job.xlsTempl.c_str()));
}

// Creates the folder of an output base when missing, so that a first run on a
// new installation has somewhere to write.
void MakeBaseFolder(const char* base) {
    std::string folder = base;
    folder.erase(folder.rfind('/') + 1);
    host::MakeDirectories(folder.c_str());
}

// Logs a failed output and notes every attempted one for the host's summary.
void NoteOutput(host::RunOutput::Kind kind, bool ok, const char* path) {
    host::RunOutput output{.kind = kind, .path = path, .ok = ok, .error = ""};
    if (!ok) {
        output.error = GetIOErrorS_GUI(-2);
        RTLog("Ошибка сохранения отчета: %s"_cp, output.error.c_str());
    }
    host::CurrentRunNotes().AddOutput(std::move(output));
}

// The incidents of the computed report and its non-operations, for the host's
// summary of the run.
void NoteCounts(TW_File& report) {
    host::ReportCounts counts;
    counts.incidents = report.Count();
    for (int i = 0; i < report.Count(); ++i)
        if (TW_IsNonOperation(*report.ItemINT(i))) ++counts.nonOperations;
    host::CurrentRunNotes().SetReportCounts(counts);
}

// The period's operations and what the log and the host's summary say of
// them: a line for every operation that no incident explains, and the
// unexplained ones again.
struct DayOperations {
    std::vector<TW_Operation>& list;
    std::string& logged;
    std::string unexplained;
};

void WordOperations(DayOperations& ops) {
    const std::string_view prefix = "Срабатывание: "_cp;
    ops.logged.clear();
    // Room for the longest lines: only what is written of it is ever touched.
    ops.logged.reserve(ops.list.size() * (prefix.size() + TW_OperationTextMax + 1));
    // Where the unexplained ones' texts are in the log's, copied at once after.
    std::vector<std::pair<std::size_t, std::size_t>> unexplained;
    std::size_t unexplainedSize = 0;
    for (const TW_Operation& op : ops.list) {
        if (op.Class == TW_OpDemand) continue;
        ops.logged += prefix;
        const std::size_t text = ops.logged.size();
        TW_AppendOperationText(ops.logged, op);
        ops.logged += '\n';
        if (op.Class != TW_OpUnexplained) continue;
        unexplained.emplace_back(text, ops.logged.size() - text);
        unexplainedSize += unexplained.back().second;
    }
    ops.unexplained.clear();
    ops.unexplained.reserve(unexplainedSize);
    for (const auto& [at, size] : unexplained)
        ops.unexplained.append(ops.logged, at, size);
}

void NoteOperations(DayOperations& ops) {
    RTLogLines(ops.logged);
    host::CurrentRunNotes().SetUnexplainedOperations(std::move(ops.unexplained));
}

// TW_SKIP_OPERATIONS set (to anything) makes a run find no operations and
// write no operations file, so that the day's operations stay unknown: a
// measure of what they cost, never a plant's setting.
bool SkipOperations() {
    return std::getenv("TW_SKIP_OPERATIONS") != nullptr;
}

// Computes the report's incidents and meanwhile, on a second thread, the
// period's operations and their words, which need the hour data and not the
// incidents; then ties the operations to the incidents. False (last error set)
// when the report cannot be computed.
bool ComputeDay(TW_File& report, HHourFile& hourFile, TW_ContourArray& contours,
                const TW_OperationRules& rules, const PRTime& start, const PRTime& end,
                bool withOperations, DayOperations& operations) {
    operations.list.clear();
    operations.logged.clear();
    std::promise<void> foundPromise;
    std::future<void> found = foundPromise.get_future();
    std::optional<host::SideTask> finding;
    if (withOperations)
        finding.emplace([&] {
            try {
                TW_FindOperations(hourFile, contours, rules, start, end, operations.list);
            } catch (...) {
                foundPromise.set_exception(std::current_exception());
                throw;
            }
            foundPromise.set_value();
            WordOperations(operations);
        });
    TW_HostFillReporter hostServices;
    if (!report.Fill(hourFile, contours, hostServices)) return false;
    if (!finding) return true;
    const TW_IncidentIndex incidents(report);  // while the operations may still be found
    found.get();
    // While they are worded: a tie sets only an operation's Incident, which
    // the words do not read.
    TW_TieOperations(incidents, operations.list);
    finding->Wait();
    return true;
}

// The binary report with its times and its operations beside it. The
// operations file is written and flushed on a second thread while the report
// is written, and takes its name once the report has saved: a day whose report
// was not saved gets none.
void SaveBinary(const JobSettings& job, TW_File& report,
                const std::vector<TW_Operation>& operations, bool withOperations) {
    char base[kMaxPath];
    MakeBase(job.reportDir, job.name, base);
    RTLog("TW: Сохранение бинарного отчета [%s]..."_cp, base);
    MakeBaseFolder(base);
    report.MakeFileName(base, nullptr);
    // Written in the report's folder; the report's final name is known only
    // once it is saved (a name taken meanwhile gets a number).
    const std::string expectedName = TW_OpsFileName(report.FileName);
    const PRTime start = report.Start, end = report.End, runTime = report.RunTime;
    TW_PendingSideFile opsFile;
    std::string opsError;
    bool saved = false;
    {
        std::optional<host::SideTask> writing;
        if (withOperations)
            writing.emplace([&] {
                if (!TW_WriteOpsFile(opsFile, expectedName.c_str(), start, end, runTime,
                                     operations))
                    opsError = GetIOErrorS_GUI(-2);
            });
        saved = report.Save();
        NoteOutput(host::RunOutput::Binary, saved, report.Count() ? report.FileName.c_str() : "");
        // The response times go beside the report, under its final name.
        if (saved && report.Count()) {
            StatString<261> times;
            const bool ok = report.SaveTimes(&times);
            NoteOutput(host::RunOutput::Times, ok, times.c_str());
        }
        if (writing) writing->Wait();
    }
    // On a day without incidents too, beside the name the report would have
    // had: a day without the file is one whose operations are not known.
    if (!saved || !withOperations) return;
    const std::string name = TW_OpsFileName(report.FileName);
    const bool ok = opsError.empty() && opsFile.Publish(name.c_str());
    if (!opsError.empty()) SetError("%s", opsError.c_str());
    NoteOutput(host::RunOutput::Operations, ok, name.c_str());
}

// The sensor, relay and apparatus names of the used contours, and the command
// variables of the job.
std::vector<std::string> UsedVariables(TW_ContourArray& contours, const TW_OperationRules& rules) {
    std::vector<std::string> names;
    for (const TW_Command& c : rules.Commands)
        names.push_back(c.Variable);
    for (int i = 0; i < contours.Count(); ++i) {
        const TW_Contour& c = *contours.ItemINT(i);
        if (!c.Used) continue;
        names.push_back(TW_FieldText(c.Sensor));
        if (c.Rele.Used) names.push_back(TW_FieldText(c.Rele.Sensor));
        if (c.Prot.Used) names.push_back(TW_FieldText(c.Prot.Sensor));
    }
    return names;
}

}  // namespace

const char* ReportTripwatch::Run(HConfigItem* settings) {
    const double now = host::NowDateTime();
    TW_ContourArray contours;
    RTLog("%s", "TW: Анализ контуров..."_cp);
    if (!contours.Load(settings)) return GetIOErrorS_GUI(-2);
    if (contours.CfgCount() == 0) return "Нет сконфигурированных контуров для отчета"_cp;
    JobSettings job;
    if (!ReadSettings(*settings, now, job)) return GetIOErrorS_GUI(-2);
    TW_OperationRules rules;
    if (!TW_LoadOperationRules(*settings, rules)) return GetIOErrorS_GUI(-2);
    host::NotifySettings notify;
    if (!host::ReadNotifySettings(*settings, notify)) return GetIOErrorS_GUI(-2);
    if (!CheckPaths(job)) return GetIOErrorS_GUI(-2);

    RTLog("%s", "TW: Формирование путей..."_cp);
    PRTime configMoment;
    configMoment.Set(job.cfgDate, job.cfgTime);

    char valuesFolder[kMaxPath];
    MakeStartLocalPath(valuesFolder, job.valPath.c_str());
    AddLastSlash(valuesFolder, '/');

    auto hourFile = std::make_unique<HHourFile>();
    RTLog("%s", "TW: Формирование интервала..."_cp);
    // The day before the end: the same wall-clock time one calendar day
    // earlier, 23 or 25 hours where the clocks change.
    const PRTime end = ReportTime;
    const PRTime start = host::AddCalendarDays(end, -1);
    if (start >= end) return "Расчетный период пуст"_cp;

    RTGetOperation()->SetText("%s", "TW: Выполнение отчета..."_cp);
    const PRTime moment = job.useCfg ? configMoment : end;
    RTLog("TW: Запрос данных. Конфигурация за %s..."_cp, moment.GetStr());
    const int flags = job.saveVals ? 3 : 1;
    // Only the used contours' variables are read, unless all are kept on disk.
    if (!job.saveVals) hourFile->Wanted = UsedVariables(contours, rules);
    if (const char* error =
            GrabReportValues(valuesFolder, State().HostInfo, *hourFile, moment, flags))
        return error;

    auto report = std::make_unique<TW_File>();
    report->Template.Set(job.xlsTempl.c_str());
    const RTPInfo& info = State().HostInfo;
    if (info.GetConfigOwner) {
        if (RTPConfigOwner* owner = info.GetConfigOwner(info.GetConfigOwnerArg))
            report->Config = owner->Config;
    }
    report->Start = start;
    report->End = end;
    report->RunTime.Set(std::time(nullptr));

    RTLog("%s", "TW: Расcчет значений..."_cp);  // the "c" of "Расcчет" is Latin
    // Kept from run to run, as the log's text: a host that runs the job day
    // after day (a backfill, a catch-up) reuses their pages.
    static thread_local std::vector<TW_Operation> operations;
    static thread_local std::string logged;
    DayOperations day{operations, logged, {}};
    const bool withOperations = !SkipOperations();
    if (!ComputeDay(*report, *hourFile, contours, rules, start, end, withOperations, day))
        return GetIOErrorS_GUI(-2);
    NoteCounts(*report);
    RTLog("%s", "TW: Анализ срабатываний..."_cp);
    NoteOperations(day);

    char base[kMaxPath];
    if (job.saveBin) SaveBinary(job, *report, operations, withOperations);
    StatString<261> written;
    if (job.saveTxt) {
        MakeBase(job.txtDir, job.name, base);
        RTLog("TW: Сохранение текстового отчета [%s]..."_cp, base);
        MakeBaseFolder(base);
        const bool ok = report->ExportToText(base, &written);
        NoteOutput(host::RunOutput::Text, ok, written.c_str());
    }
    if (job.saveXls) {
        MakeBase(job.xlsDir, job.name, base);
        RTLog("TW: Сохранение отчета XLS [%s]..."_cp, base);
        MakeBaseFolder(base);
        const bool ok = report->ExportToXLS(base, &written);
        NoteOutput(host::RunOutput::Spreadsheet, ok, written.c_str());
    }
    // Only once the outputs are written: an alert that cannot go out never
    // keeps a report from being written.
    SendRunAlerts(*settings, job.name, notify, *report, operations);
    if (job.print) {
        RTLog("%s", "TW: Печать отчета..."_cp);
        report->Preview();
    }
    return nullptr;
}
