#include "contour_entries.h"

#include <algorithm>
#include <cstring>

#include "common/cp1251.h"
#include "common/strutil.h"
#include "data/dbdatabase.h"
#include "tw_fieldtext.h"
#include "tw_strings.h"

using namespace host::literals;

namespace {

int UpDown(uint32_t value) {
    return int(std::clamp<uint32_t>(value, 1, 3600));
}

TW_LineEntries LineOf(const TW_ContourSignal& line) {
    TW_LineEntries e;
    e.used = line.Used != 0;
    e.sensor = TW_FieldText(line.Sensor);
    e.state = std::to_string(unsigned(line.State));
    e.maxTime = UpDown(line.MaxTime);
    e.onName = TW_FieldText(line.ONName);
    e.offName = TW_FieldText(line.OFFName);
    return e;
}

void ReadLine(const TW_LineEntries& e, TW_ContourSignal& line) {
    line.Used = e.used;
    TW_SetField(line.Sensor, e.sensor.c_str());
    line.State = TW_ParseState(e.state.c_str());
    line.MaxTime = uint32_t(int32_t(int16_t(e.maxTime)));
    TW_SetField(line.ONName, e.onName.c_str());
    TW_SetField(line.OFFName, e.offName.c_str());
}

}  // namespace

TW_ContourEntries TW_EntriesOf(const TW_Contour& c) {
    TW_ContourEntries e;
    e.used = c.Used != 0;
    e.sensor = TW_FieldText(c.Sensor);
    e.interval = UpDown(c.Interval);
    e.state = std::to_string(unsigned(c.State));
    e.stateName = TW_FieldText(c.StateName);
    e.limit = TW_FieldText(c.Limit);
    e.valueType = c.ValueType;
    e.rele = LineOf(c.Rele);
    e.prot = LineOf(c.Prot);
    return e;
}

std::vector<std::pair<std::string, int>> TW_VariableList(const HDBDatabase* database) {
    std::vector<std::pair<std::string, int>> out;
    if (!database || database->ConfigId == 0) return out;
    const HDBTable* table = database->GetTable(kDBTableVariables);
    for (int i = 0; table && i < table->Count(); ++i)
        out.emplace_back(TW_FieldText(table->ItemAs<HDBVarRecord>(i)->Name), i);
    return out;
}

const HDBVarRecord* TW_FindVariable(const HDBDatabase* database, const char* name) {
    if (!database || !name) return nullptr;
    const HDBTable* table = database->GetTable(kDBTableVariables);
    return table ? table->ItemAs<HDBVarRecord>(database->FindVariable(name)) : nullptr;
}

std::vector<std::string> TW_StateList(const HDBDatabase* database, const char* name) {
    if (!name || !*name) return {};
    if (!database || database->ConfigId == 0) return {"<конфигурация не загружена>"_cp};
    const HDBVarRecord* variable = TW_FindVariable(database, name);
    if (!variable) return {"<переменная не найдена>"_cp};
    const HDBTable* types = database->GetTable(kDBTableTypes);
    const HDBTypeRecord* type = types ? types->ItemAs<HDBTypeRecord>(variable->Type) : nullptr;
    uint16_t lowest = 0, highest = 0;
    if (!type || !DBStateRange(type->StateSet, lowest, highest))
        return {"<переменная не сконфигурирована>"_cp};
    std::vector<std::string> out;
    for (int s = lowest; s <= highest; ++s)
        out.push_back(std::to_string(s) + " - " + DBVarState2Str(type->StateSet, uint16_t(s), 0));
    return out;
}

uint16_t TW_ParseState(const char* text) {
    if (!text || !*text) return 0xFFFF;
    // The first blank-separated word, read as a whole decimal number; digits
    // too many for a long are a large code.
    const char* word = StrGetCol(text, 1, " ");
    long value = Str2Digit(word, 10, -1);
    if (value < 0 && *word && std::strspn(word, "0123456789") == std::strlen(word)) value = 16;
    if (value < 0) return 0;
    return uint16_t(std::min<long>(value, 15));
}

const char* TW_ReadEntries(const TW_ContourEntries& e, TW_Contour& c) {
    c.Used = e.used;
    TW_SetField(c.Sensor, e.sensor.c_str());
    c.Interval = uint32_t(int32_t(int16_t(e.interval)));
    c.State = TW_ParseState(e.state.c_str());
    if (c.State == 0xFFFF) return "Неверный статус датчика"_cp;
    TW_SetField(c.StateName, e.stateName.c_str());
    TW_SetField(c.Limit, e.limit.c_str());
    c.ValueType = uint8_t(e.valueType);
    if (!c.Sensor[0]) return "Не задано имя датчика"_cp;
    ReadLine(e.rele, c.Rele);
    if (c.Rele.Used) {
        if (!c.Rele.Sensor[0]) return "Не задано имя реле"_cp;
        if (c.Rele.State == 0xFFFF) return "Неверный статус реле"_cp;
    }
    ReadLine(e.prot, c.Prot);
    if (c.Prot.Used) {
        if (!c.Prot.Sensor[0]) return "Не задано имя аппарата"_cp;
        if (c.Prot.State == 0xFFFF) return "Неверный статус аппарата"_cp;
    }
    return nullptr;
}
