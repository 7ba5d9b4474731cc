#include "nonoperation.h"

#include <ctime>
#include <string>

#include "common/cp1251.h"
#include "common/lasterror.h"
#include "runtime/idle.h"
#include "runtime/operation.h"
#include "runtime/rtlog.h"
#include "tw_file.h"

using namespace host::literals;

int GatherNonOperations(const InfoArray& reports, const PRTime& periodStart,
                        const PRTime& periodEnd, TW_File& result, TW_UnreadableList* unreadable,
                        const std::function<void(const TW_File&)>& observe) {
    HOperation* op = RTGetOperation();
    op->IncShow();
    HOperationTextScope clearText(op);
    TW_File scratch;

    result.DeleteAll();
    result.Start = periodStart;
    result.End = periodEnd;
    result.RunTime.Set(std::time(nullptr));
    PRPeriod* idle = RTGetIdlePeriod();
    if (idle) PRPeriodReset(idle);
    RTLog("%s", "Рассчет интервалов несработки защиты..."_cp);

    const int count = reports.Count();
    for (int j = 0; j < count; ++j) {
        if (idle && PRPeriodEnd(idle, 1)) {
            op->SetText("Формирование отчета...Обработано %d из %d отчетов"_cp, j + 1, count);
            op->SetProgress(int(int64_t(j) * 100 / count));
        }
        const RepInfo& info = *reports.ItemINT(j);
        if (!scratch.Load(info.FileName)) {
            const std::string reason = GetIOErrorS_GUI(-2);
            RTLog("Ошибка загрузки отчета %s: %s"_cp, info.FileName.c_str(), reason.c_str());
            if (unreadable) unreadable->push_back({info.FileName.c_str(), reason});
            continue;
        }
        for (int k = 0; k < scratch.Count(); ++k) {
            const TW_ContourLine* line = scratch.ItemINT(k);
            if (TW_IsNonOperation(*line)) result.AddINT(line);
        }
        if (observe) observe(scratch);
    }
    RTLog("Найдено %d интервалов несработки защиты"_cp, result.Count());
    return result.Count();
}
