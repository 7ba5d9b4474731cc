#include "operations_view.h"

#include <algorithm>

#include "common/cp1251.h"
#include "common/strutil.h"
#include "tw_fieldtext.h"

using namespace host::literals;

namespace {

enum Column { kContour, kLine, kRole, kTime, kClass, kColumns };

}  // namespace

const char* TW_OpClassTitle(uint8_t cls) {
    static const char* const kTitles[TW_OpClassCount] = {"по вызову"_cp,    "короткий вызов"_cp,
                                                         "от реле"_cp,      "по команде"_cp,
                                                         "обслуживание"_cp, "необъясненное"_cp};
    return cls < TW_OpClassCount ? kTitles[cls] : "?";
}

const char* TW_OpRoleTitle(uint8_t role) {
    switch (role) {
        case TW_RoleRelay:
            return "реле"_cp;
        case TW_RoleApparatus:
            return "агрегат"_cp;
        default:
            return "?";
    }
}

const std::vector<std::pair<std::string, int>>& TW_OpsClassChoices() {
    static const std::vector<std::pair<std::string, int>> choices{
        {"Все без вызова"_cp, TW_OpsFilter::kAllButDemand},
        {"Необъясненные"_cp, TW_OpUnexplained},
        {"Короткий вызов"_cp, TW_OpShortDemand},
        {"От реле"_cp, TW_OpByRelay},
        {"По команде"_cp, TW_OpCommanded},
        {"Обслуживание"_cp, TW_OpMaintenance}};
    return choices;
}

std::vector<std::string> TW_OpsSensors(const std::vector<TW_Operation>& ops) {
    std::vector<std::string> sensors;
    for (const TW_Operation& op : ops) {
        if (op.Class == TW_OpDemand) continue;
        std::string sensor = TW_FieldText(op.Sensor);
        if (std::find(sensors.begin(), sensors.end(), sensor) == sensors.end())
            sensors.push_back(std::move(sensor));
    }
    return sensors;
}

std::vector<std::size_t> TW_FilterOperations(const std::vector<TW_Operation>& ops,
                                             const TW_OpsFilter& filter) {
    std::vector<std::size_t> rows;
    for (std::size_t i = 0; i < ops.size(); ++i) {
        const TW_Operation& op = ops[i];
        if (op.Class == TW_OpDemand) continue;
        if (filter.Class != TW_OpsFilter::kAllButDemand && op.Class != filter.Class) continue;
        if (!filter.Sensor.empty() && TW_FieldText(op.Sensor) != filter.Sensor) continue;
        rows.push_back(i);
    }
    return rows;
}

const std::vector<std::string>& TW_OpsColumns() {
    static const std::vector<std::string> columns{"Контур"_cp, "Линия"_cp, "Роль"_cp, "Время"_cp,
                                                  "Класс"_cp};
    return columns;
}

bool TW_OpsCellText(const TW_Operation& op, int column, std::string& text) {
    switch (column) {
        case kContour:
            text = TW_FieldText(op.Sensor);
            return true;
        case kLine:
            text = TW_FieldText(op.Variable);
            return true;
        case kRole:
            text = TW_OpRoleTitle(op.Role);
            return true;
        case kTime:
            text = op.Time.GetStr();
            return true;
        case kClass:
            text = TW_OpClassTitle(op.Class);
            return true;
        default:
            return false;
    }
}

std::string TW_OpsUnknownText(const TW_PeriodOperations& ops, std::size_t unreadable) {
    std::string reasons;
    if (!ops.Missing.empty())
        reasons = host::Format("у %zu отчетов нет файла срабатываний"_cp, ops.Missing.size());
    if (unreadable) {
        if (!reasons.empty()) reasons += "; ";
        reasons += host::Format("не прочитано файлов срабатываний: %zu"_cp, unreadable);
    }
    if (reasons.empty()) reasons = "за период нет файлов срабатываний"_cp;
    return "Срабатывания неизвестны: "_cp + reasons;
}
