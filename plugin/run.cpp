// Operation 12 of the descriptor: the daily report run. It loads the job's
// contour set, fetches the day's hour data, computes the incidents and writes
// the binary, text and spreadsheet reports as the job's settings say. Every
// object it makes is destroyed on every way out, exceptions included.
#include <memory>

#include "common/cp1251.h"
#include "common/lasterror.h"
#include "common/osfile.h"
#include "common/paths.h"
#include "common/prtime.h"
#include "common/strutil.h"
#include "data/configitem.h"
#include "data/grabvalues.h"
#include "data/hourfile.h"
#include "plugin_state.h"
#include "report_tripwatch.h"
#include "runtime/runtime.h"
#include "tw_contourarray.h"
#include "tw_file.h"

using namespace host::literals;
using tripplug::State;

namespace {

const char* const kDefaultFolder = "Reports";
const char* const kDefaultTemplate = "Templates/Tripwatch.xls";

// The name base of one output: the folder of `folderKey` taken from the start
// folder, a separator, and the job name. The folder is created when missing, so
// that a first run on a new installation has somewhere to write.
void MakeBase(HConfigItem* settings, const char* folderKey, char (&base)[kMaxPath]) {
    char folder[kMaxPath];
    MakeStartLocalPath(folder, settings->GetStr(folderKey, kDefaultFolder));
    StrCpy(base, folder, kMaxPath);
    AddLastSlash(base, '/');
    host::MakeDirectories(base);
    StrCat(base, settings->GetStr("Name", "Report"), kMaxPath);
}

void LogSaveError() {
    RTLog("Ошибка сохранения отчета: %s"_cp, GetIOErrorS_GUI(-2));
}

}  // namespace

const char* ReportTripwatch::Run(HConfigItem* settings) {
    const double now = host::NowDateTime();
    TW_ContourArray contours;
    RTLog("%s", "TW: Анализ контуров..."_cp);
    contours.Load(settings);
    if (contours.CfgCount() == 0) return "Нет сконфигурированных контуров для отчета"_cp;

    RTLog("%s", "TW: Формирование путей..."_cp);
    const double cfgTime = settings->GetDate("CfgTime", now);
    const double cfgDate = settings->GetDate("CfgDate", now);
    PRTime configMoment;
    configMoment.Set(cfgDate, cfgTime);

    char valuesFolder[kMaxPath];
    char resolved[kMaxPath];
    MakeStartLocalPath(resolved, settings->GetStr("ValPath", kDefaultFolder));
    StrCpy(valuesFolder, resolved, kMaxPath);
    AddLastSlash(valuesFolder, '/');

    auto hourFile = std::make_unique<HHourFile>();
    RTLog("%s", "TW: Формирование интервала..."_cp);
    // The day before the end: the same wall-clock time one calendar day
    // earlier, 23 or 25 hours where the clocks change.
    const PRTime end = ReportTime;
    const PRTime start = host::AddCalendarDays(end, -1);
    if (start >= end) return "Расчетный период пуст"_cp;

    RTGetOperation()->SetText("%s", "TW: Выполнение отчета..."_cp);
    const PRTime moment = settings->GetBool("UseCfg", true) ? configMoment : end;
    RTLog("TW: Запрос данных. Конфигурация за %s..."_cp, moment.GetStr());
    const int flags = settings->GetBool("SaveVals", true) ? 3 : 1;
    if (const char* error =
            GrabReportValues(valuesFolder, State().HostInfo, *hourFile, moment, flags))
        return error;

    auto report = std::make_unique<TW_File>();
    report->Template.Set(settings->GetStr("XLSTempl", kDefaultTemplate));
    const RTPInfo& info = State().HostInfo;
    if (info.GetConfigOwner) {
        if (RTPConfigOwner* owner = info.GetConfigOwner(info.GetConfigOwnerArg))
            report->Config = owner->Config;
    }
    report->Start = start;
    report->End = end;
    report->RunTime.Set(std::time(nullptr));

    RTLog("%s", "TW: Расcчет значений..."_cp);  // the "c" of "Расcчет" is Latin
    if (!report->Fill(*hourFile, contours)) return GetIOErrorS_GUI(-2);

    char base[kMaxPath];
    if (settings->GetBool("SaveBIN", true)) {
        MakeBase(settings, "ReportDir", base);
        report->MakeFileName(base, nullptr);
        RTLog("TW: Сохранение бинарного отчета [%s]..."_cp, base);
        if (!report->Save()) LogSaveError();
    }
    if (settings->GetBool("SaveTXT", true)) {
        MakeBase(settings, "TXTDir", base);
        RTLog("TW: Сохранение текстового отчета [%s]..."_cp, base);
        if (!report->ExportToText(base)) LogSaveError();
    }
    if (settings->GetBool("SaveXLS", true)) {
        MakeBase(settings, "XLSDir", base);
        RTLog("TW: Сохранение отчета XLS [%s]..."_cp, base);
        if (!report->ExportToXLS(base)) LogSaveError();
    }
    if (settings->GetBool("Print", false)) {
        RTLog("%s", "TW: Печать отчета..."_cp);
        report->Preview();
    }
    return nullptr;
}
