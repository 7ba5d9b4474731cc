#include "contour_entries.h"

#include <algorithm>
#include <climits>
#include <cstring>

#include "common/cp1251.h"
#include "common/strutil.h"
#include "plantdb/dbdatabase.h"
#include "tw_fieldtext.h"
#include "tw_strings.h"

using namespace host::literals;

namespace {

// An up-down's position for a stored time; it holds what an int can.
int UpDown(uint32_t value) {
    return int(std::min<uint32_t>(value, INT_MAX));
}

uint32_t Seconds(int position) {
    return uint32_t(std::max(position, 0));
}

// Whether the user changed an entry: always when there is no record of what the
// dialog showed.
template <class Entries, class T>
bool Changed(const Entries& now, const Entries* shown, T Entries::*entry) {
    return !shown || now.*entry != shown->*entry;
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

void ReadLine(const TW_LineEntries& e, const TW_LineEntries* shown, TW_ContourSignal& line) {
    using L = TW_LineEntries;
    if (Changed(e, shown, &L::used)) line.Used = e.used;
    if (Changed(e, shown, &L::sensor)) TW_SetField(line.Sensor, e.sensor.c_str());
    if (Changed(e, shown, &L::state)) line.State = TW_ParseState(e.state.c_str());
    if (Changed(e, shown, &L::maxTime)) line.MaxTime = Seconds(e.maxTime);
    if (Changed(e, shown, &L::onName)) TW_SetField(line.ONName, e.onName.c_str());
    if (Changed(e, shown, &L::offName)) TW_SetField(line.OFFName, e.offName.c_str());
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
    e.valueType = c.ValueType <= 1 ? c.ValueType : -1;
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
    // The first blank-separated word, read as a whole decimal number. Anything
    // else (a word that is no number, a negative one, digits too many for a
    // long) is no state code: the user is told rather than given state 0.
    const char* word = StrGetCol(text, 1, " ");
    const long value = Str2Digit(word, 10, -1);
    if (value < 0) return 0xFFFF;
    return uint16_t(std::min<long>(value, 0xFFFF));
}

const char* TW_ReadEntries(const TW_ContourEntries& e, TW_Contour& c,
                           const TW_ContourEntries* shown) {
    using E = TW_ContourEntries;
    if (Changed(e, shown, &E::used)) c.Used = e.used;
    if (Changed(e, shown, &E::sensor)) TW_SetField(c.Sensor, e.sensor.c_str());
    if (Changed(e, shown, &E::interval)) c.Interval = Seconds(e.interval);
    if (Changed(e, shown, &E::state)) c.State = TW_ParseState(e.state.c_str());
    if (c.State == 0xFFFF) return "Неверный статус датчика"_cp;
    if (Changed(e, shown, &E::stateName)) TW_SetField(c.StateName, e.stateName.c_str());
    if (Changed(e, shown, &E::limit)) TW_SetField(c.Limit, e.limit.c_str());
    if (Changed(e, shown, &E::valueType) && e.valueType >= 0) c.ValueType = uint8_t(e.valueType);
    if (!c.Sensor[0]) return "Не задано имя датчика"_cp;
    ReadLine(e.rele, shown ? &shown->rele : nullptr, c.Rele);
    if (c.Rele.Used) {
        if (!c.Rele.Sensor[0]) return "Не задано имя реле"_cp;
        if (c.Rele.State == 0xFFFF) return "Неверный статус реле"_cp;
    }
    ReadLine(e.prot, shown ? &shown->prot : nullptr, c.Prot);
    if (c.Prot.Used) {
        if (!c.Prot.Sensor[0]) return "Не задано имя аппарата"_cp;
        if (c.Prot.State == 0xFFFF) return "Неверный статус аппарата"_cp;
    }
    return nullptr;
}
