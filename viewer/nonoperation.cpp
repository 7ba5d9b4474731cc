#include "nonoperation.h"

#include <ctime>
#include <optional>
#include <string>

#include "common/cp1251.h"
#include "common/lasterror.h"
#include "common/side_task.h"
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
    // The next report is loaded on a second thread while one is gathered:
    // inflating and checking the files is most of the work.
    struct Loaded {
        TW_File file;
        bool ok = false;
        std::string reason;
    };
    Loaded slots[2];
    auto load = [&](int j) {
        Loaded& slot = slots[j % 2];
        slot.ok = slot.file.Load(reports.ItemINT(j)->FileName);
        slot.reason = slot.ok ? std::string() : GetIOErrorS_GUI(-2);
    };

    result.DeleteAll();
    result.Start = periodStart;
    result.End = periodEnd;
    result.RunTime.Set(std::time(nullptr));
    PRPeriod* idle = RTGetIdlePeriod();
    if (idle) PRPeriodReset(idle);
    RTLog("%s", "Рассчет интервалов несработки защиты..."_cp);

    const int count = reports.Count();
    std::optional<host::SideTask> loading;
    if (count > 0) loading.emplace([&] { load(0); });
    for (int j = 0; j < count; ++j) {
        loading->Wait();
        loading.reset();
        if (j + 1 < count) loading.emplace([&load, j] { load(j + 1); });
        if (idle && PRPeriodEnd(idle, 1)) {
            op->SetText("Формирование отчета...Обработано %d из %d отчетов"_cp, j + 1, count);
            op->SetProgress(int(int64_t(j) * 100 / count));
        }
        const RepInfo& info = *reports.ItemINT(j);
        const Loaded& loaded = slots[j % 2];
        if (!loaded.ok) {
            RTLog("Ошибка загрузки отчета %s: %s"_cp, info.FileName.c_str(), loaded.reason.c_str());
            if (unreadable) unreadable->push_back({info.FileName.c_str(), loaded.reason});
            continue;
        }
        const TW_File& scratch = loaded.file;
        for (int k = 0; k < scratch.Count(); ++k) {
            const TW_ContourLine* line = scratch.ItemINT(k);
            if (TW_IsNonOperation(*line)) result.AddINT(line);
        }
        if (observe) observe(scratch);
    }
    RTLog("Найдено %d интервалов несработки защиты"_cp, result.Count());
    return result.Count();
}
