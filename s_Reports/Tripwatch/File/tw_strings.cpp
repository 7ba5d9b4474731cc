#include "tw_strings.h"

#include "common/cp1251.h"
#include "tw_contour.h"

using namespace host::literals;

void TWC_FillList(host::StringList* list) {
    list->Clear();
    list->Add(TW_ValueTypeStr(TW_ValueMax), TW_ValueMax);
    list->Add(TW_ValueTypeStr(TW_ValueMin), TW_ValueMin);
}

const char* TW_ValueTypeStr(uint8_t valueType) {
    switch (valueType) {
        case TW_ValueMax:
            return "Максимальное"_cp;
        case TW_ValueMin:
            return "Минимальное"_cp;
        default:
            return "";
    }
}

const char* TW_ONOFF2Str(uint8_t flags) {
    if (flags == TW_Operated) return "Сработка"_cp;
    if (!(flags & TW_Operated)) return "Несработка"_cp;
    if (flags & TW_AfterError) return "ВКЛ: Ошибка"_cp;
    if (flags & TW_AfterOff) return "ВКЛ: Отключение"_cp;
    return "ВКЛ: неизвестно"_cp;
}
