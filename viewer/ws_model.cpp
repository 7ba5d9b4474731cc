#include "ws_model.h"

#include <cstdlib>

#include "common/cp1251.h"
#include "common/lasterror.h"
#include "common/osfile.h"
#include "common/paths.h"
#include "common/prtime.h"
#include "common/strutil.h"
#include "nonoperation.h"
#include "operations_search.h"
#include "operations_view.h"
#include "report_search.h"
#include "stats_sheet.h"
#include "runtime/runtime.h"
#include "tw_fieldtext.h"
#include "tw_strings.h"

using namespace host::literals;

namespace {

// $XDG_<kind> or ~/<fallback>, then "Tripview/<name>".
std::string XdgFile(const char* variable, const char* fallback, const char* name) {
    std::string base;
    if (const char* xdg = std::getenv(variable); xdg && *xdg == '/') {
        base = xdg;
    } else if (const char* home = std::getenv("HOME"); home && *home) {
        base = std::string(home) + "/" + fallback;
    } else {
        base = ".";
    }
    return base + "/Tripview/" + name;
}

// A file-system name as the system's cp1251 path; a name without a cp1251 form
// falls back to the bare file name in the start folder.
std::string SystemPath(const std::string& osPath) {
    std::string out;
    if (host::Utf8ToCp1251(osPath, out)) return out;
    const std::size_t slash = osPath.rfind('/');
    return osPath.substr(slash == std::string::npos ? 0 : slash + 1);
}

std::string DateRange(const PRTime& a, const PRTime& b) {
    return host::Format("%02d-%02d-%04d - %02d-%02d-%04d", a.Day, a.Month, a.Year, b.Day, b.Month,
                        b.Year);
}

// The wall-clock seconds of a moment's own fields since 1970-01-01 00:00.
long long WallSeconds(const PRTime& t) {
    return host::DaysFromCivil(t.Year, t.Month, t.Day) * 86400LL + t.Hour * 3600 + t.Minute * 60 +
           t.Second;
}

// "<не используется>", or "Sensor - Name (XX "outcome")" with the ON name for
// a clean operation and the OFF name for anything else.
std::string LineText(const TW_ContourSignal& line, uint8_t outcome) {
    if (!line.Used) return "<не используется>"_cp;
    const std::string name = TW_FieldText(outcome == TW_Operated ? line.ONName : line.OFFName);
    return host::Format("%s - %s (%02X \"%s\")", TW_FieldText(line.Sensor).c_str(), name.c_str(),
                        unsigned(outcome), TW_ONOFF2Str(outcome));
}

// The store's key of a column width: the page's number counted from 1.
std::string ColumnKey(TW_WizardPage page, int column) {
    return host::Format("%d/Sec%d", int(page) + 1, column);
}

}  // namespace

std::string TripviewSettingsFile() {
    return XdgFile("XDG_CONFIG_HOME", ".config", "Tripview.hcfg");
}

std::string TripviewLogFile() {
    return XdgFile("XDG_STATE_HOME", ".local/state", "Tripview.log");
}

TWSMainModel::TWSMainModel(const std::string& settingsFile, const std::string& logFile) {
    const std::string log = SystemPath(logFile);
    char folder[kMaxPath];
    FPath(folder, log.c_str());
    if (folder[0]) host::MakeDirectories(folder);
    RTInitialize(nullptr, log.c_str());
    cfg_ = std::make_unique<HCfgStorage>(SystemPath(settingsFile).c_str());
    const bool loaded = cfg_->Load();
    RTLog("%s", "Инициализация..."_cp);
    if (!loaded) RTLog("%s", GetIOErrorS_GUI(-2));
    SettingsLink = std::make_unique<HStorageLink>();
    SettingsLink->SetStorage(cfg_.get());
    SettingsLink->SetKeyPath("IDE");
    RTLog("OK");
}

TWSMainModel::~TWSMainModel() {
    Close();
}

void TWSMainModel::Close() {
    if (closed_) return;
    closed_ = true;
    if (!cfg_->Save()) RTLog("%s", GetIOErrorS_GUI(-2));
    RTShutdown();
    SettingsLink.reset();
    RTLog("All done. Bye.");
}

std::string TWSMainModel::StoredPath() const {
    return SettingsLink->Read("Path", "");
}

double TWSMainModel::StoredStart() const {
    return SettingsLink->Read("Start", 0.0);
}

double TWSMainModel::StoredEnd() const {
    return SettingsLink->Read("End", 0.0);
}

TW_PeriodCheck TWSMainModel::CheckPeriod(double startDate, double startTime, double endDate,
                                         double endTime) {
    PRTime start, end;
    start.Set(startDate, startTime);
    end.Set(endDate, endTime);
    return CheckPeriod(start, end);
}

TW_PeriodCheck TWSMainModel::CheckPeriod(const PRTime& start, const PRTime& end) {
    // Calendar days of the local zone: a day with a clock change (23 or 25
    // hours) is one day like any other. The hours after them are read on the
    // same wall clock, so they stay below 24.
    // 24 hours or more pass as they always did, also when they are short of a
    // calendar day (the 25-hour day).
    const int days = host::CalendarDaysBetween(start, end);
    const long long seconds = (long long)end.GetTT() - start.GetTT();
    if (days < 1 && seconds < 86400) return {false, "Неверный интервал рассчета"_cp};
    const long long hours =
        days < 1 ? seconds / 3600
                 : (WallSeconds(end) - WallSeconds(host::AddCalendarDays(start, days))) / 3600;
    return {true, host::Format("Дней: %d, Часов: %lld "_cp, days, hours)};
}

void TWSMainModel::LeavePage1(const char* path, double startDate, double startTime, double endDate,
                              double endTime) {
    SettingsLink->Write("Path", path ? path : "");
    PeriodStart.Set(startDate, startTime);
    SettingsLink->Write("Start", PeriodStart.GetDT());
    PeriodEnd.Set(endDate, endTime);
    SettingsLink->Write("End", PeriodEnd.GetDT());
}

std::string TWSMainModel::FullPeriodText() const {
    return "Рассчетный период: "_cp + DateRange(PeriodStart, PeriodEnd);
}

std::string TWSMainModel::ReportFolder() const {
    std::string folder = SettingsLink->Read("Path", "");
    if (folder.size() > std::size_t(kMaxPath - 1)) folder.resize(kMaxPath - 1);
    return folder;
}

int TWSMainModel::SearchReports() {
    RTLog("%s", "Поиск отчетов первого уровня..."_cp);
    const std::string folder = ReportFolder();
    Unreadable.clear();
    const int found = ::SearchReports(Reports, folder.c_str(), PeriodStart, PeriodEnd, &Unreadable);
    RTLog("За заданный промежуток найдено %d отчетов."_cp, found);
    return found;
}

bool TWSMainModel::ReportCell(int row, int column, std::string& text) const {
    const RepInfo* info = Reports.ItemINT(row);
    if (!info) return false;
    switch (column) {
        case 0:
            text = info->FileName.c_str();
            break;
        case 1:
            text = info->Start.GetStr();
            break;
        case 2:
            text = info->End.GetStr();
            break;
        default:
            text.clear();
    }
    return true;
}

bool TWSMainModel::ExcludeReport(void* owner, int row) {
    if (!Reports.ItemINT(row)) return false;
    if (!host::GetInteraction().AskYesNo(owner, "Удалить выбранный отчет из рассчетов?"_cp, false))
        return false;
    Reports.DeleteNumINT(row);
    return true;
}

std::string TWSMainModel::ReportNotes() const {
    std::string notes;
    for (const TW_Unreadable& u : Unreadable)
        notes += host::Format("Ошибка чтения отчета %s: %s\n"_cp, u.path.c_str(), u.reason.c_str());
    for (const std::vector<int>& group : RepeatedReports(Reports)) {
        std::string names;
        for (std::size_t k = 0; k < group.size(); ++k)
            names += std::string(k == 0                  ? ""
                                 : k + 1 == group.size() ? " и "_cp
                                                         : ", ") +
                     Reports.ItemINT(group[k])->FileName.c_str();
        notes += group.size() == 2
                     ? host::Format("Повторный отчет за тот же период (учтены оба): %s\n"_cp,
                                    names.c_str())
                     : host::Format("Повторные отчеты за тот же период (учтены все %zu): %s\n"_cp,
                                    group.size(), names.c_str());
    }
    if (!notes.empty()) notes.pop_back();
    return notes;
}

int TWSMainModel::ComputeResult() {
    const TW_StatsSettings settings = StoredStatsSettings();
    // Written back, so that the keys are there to be found and changed.
    SettingsLink->Write("Stats/NearMissShare", settings.NearMissShare);
    SettingsLink->Write("Stats/Step", int32_t(settings.Step));
    TW_StatsBuilder stats(settings);
    const int found = GatherNonOperations(Reports, PeriodStart, PeriodEnd, ResultFile, nullptr,
                                          [&](const TW_File& report) { stats.Add(report); });
    UnreadableOperations.clear();
    Operations = GatherOperations(ReportFolder().c_str(), Reports, PeriodStart, PeriodEnd,
                                  &UnreadableOperations);
    stats.Add(Operations.Operations);
    stats.SetOperationsKnown(Operations.Known);
    // The list stays in Stats alone.
    Operations.Operations = {};
    Stats = stats.Finish(PeriodStart, PeriodEnd);
    if (Operations.Known)
        RTLog("Срабатываний без вызова: %d"_cp, FilterOperations({}));
    else
        RTLog("%s", OperationsUnknownText().c_str());
    return found;
}

int TWSMainModel::FilterOperations(const TW_OpsFilter& filter) {
    OperationRows = TW_FilterOperations(Stats.Operations, filter);
    return int(OperationRows.size());
}

bool TWSMainModel::OperationCell(int row, int column, std::string& text) const {
    if (row < 0 || std::size_t(row) >= OperationRows.size()) return false;
    return TW_OpsCellText(Stats.Operations[OperationRows[std::size_t(row)]], column, text);
}

std::string TWSMainModel::OperationsUnknownText() const {
    return Stats.OperationsKnown ? std::string()
                                 : TW_OpsUnknownText(Operations, UnreadableOperations.size());
}

TW_StatsSettings TWSMainModel::StoredStatsSettings() const {
    TW_StatsSettings settings;
    const double share = SettingsLink->Read("Stats/NearMissShare", settings.NearMissShare);
    if (share >= 0 && share <= 1)
        settings.NearMissShare = share;
    else
        RTLog("Неверная доля окна для \"на грани\": %g, взято %g"_cp, share,
              settings.NearMissShare);
    const int32_t step = SettingsLink->Read("Stats/Step", int32_t(settings.Step));
    if (step >= 0 && step <= 2)
        settings.Step = TW_StatsStep(step);
    else
        RTLog("Неверный шаг тренда: %d, взят 0 (без шага)"_cp, int(step));
    return settings;
}

bool TWSMainModel::ResultCell(int row, int column, std::string& text) const {
    return ResultCellText(ResultFile, row, column, text);
}

bool TWSMainModel::ResultCellText(const TW_File& result, int row, int column, std::string& text) {
    const TW_ContourLine* line = result.ItemINT(row);
    if (!line) return false;
    switch (column) {
        case 0:
            text = DateRange(line->Start, line->End);
            break;
        case 1:
            text =
                TW_FieldText(line->Contour.Sensor) + " - " + TW_FieldText(line->Contour.StateName);
            break;
        case 2:
            text = LineText(line->Contour.Rele, line->ReleResult);
            break;
        case 3:
            text = LineText(line->Contour.Prot, line->ProtResult);
            break;
        default:
            text.clear();
    }
    return true;
}

bool TWSMainModel::MenuItemEnabled(TW_ExportItem item, const char* templateText) const {
    bool enabled = ResultFile.Count() > 0;
    if (item == TW_ExportItem::Xls && enabled) enabled = templateText && *templateText;
    return enabled;
}

bool TWSMainModel::ExportText(void* owner) {
    std::string folder = SettingsLink->Read("ExportTxtDir", GetStartupDir());
    if (!host::HSelectDirectory(owner, folder, 3)) return false;
    SettingsLink->Write("ExportTxtDir", folder.c_str());
    folder += '/';  // always, as the file name is the period text alone
    return ResultFile.ExportToText(folder.c_str());
}

bool TWSMainModel::ExportXls(void* owner, const char* templateText) {
    std::string folder = SettingsLink->Read("ExportXlsDir", "");
    if (!host::HSelectDirectory(owner, folder, 1)) return false;
    SettingsLink->Write("ExportXlsDir", folder.c_str());
    folder += '/';
    ResultFile.Template.Set(templateText);
    ResultFile.ExtraSheets = TW_ReportExtraSheets(Stats, OperationsUnknownText());
    return ResultFile.ExportToXLS(folder.c_str());
}

bool TWSMainModel::Print() {
    return ResultFile.Preview();
}

int TWSMainModel::ColumnWidth(TW_WizardPage page, int column, int currentWidth) const {
    return SettingsLink->Read(ColumnKey(page, column).c_str(), int32_t(currentWidth));
}

void TWSMainModel::StoreColumnWidth(TW_WizardPage page, int column, int width) {
    SettingsLink->Write(ColumnKey(page, column).c_str(), int32_t(width));
}

std::string TWSMainModel::StoredTemplate() const {
    return SettingsLink->Read("Template", "");
}

void TWSMainModel::StoreTemplate(const char* templateText) {
    SettingsLink->Write("Template", templateText ? templateText : "");
}
