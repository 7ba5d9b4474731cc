// The contour editor's work without the window toolkit: the name and state
// lists it offers from the plug-in's host configuration, the reading of a
// state field, and the checked transfer of the dialog's entries into a
// contour. Texts are cp1251.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "tw_contour.h"

class HDBDatabase;
struct HDBVarRecord;

// What the dialog's fields hold, one line (relay or apparatus).
struct TW_LineEntries {
    bool used = false;
    std::string sensor;
    std::string state;  // a number, or a state list item "code - name"
    int maxTime = 1;    // the up-down's position in seconds, 0 = the whole excursion
    std::string onName, offName;
};

// What the dialog's fields hold.
struct TW_ContourEntries {
    bool used = false;
    std::string sensor;
    int interval = 1;  // the up-down's position in seconds
    std::string limit;
    int valueType = 0;  // selected index of the value-type list, -1 = none
    std::string state;
    std::string stateName;
    TW_LineEntries rele, prot;
};

// The fields as the dialog fills them from a contour: state codes as unsigned
// decimal numbers, times as they are (an up-down holds at most INT_MAX), a value
// type the list does not offer as no selection.
TW_ContourEntries TW_EntriesOf(const TW_Contour& contour);

// The variables of the configuration with their table index, in table order;
// empty without a database or without a loaded configuration (ConfigId 0).
std::vector<std::pair<std::string, int>> TW_VariableList(const HDBDatabase* database);
// The first variable of that name in table order, or null.
const HDBVarRecord* TW_FindVariable(const HDBDatabase* database, const char* name);
// The state list of a variable: "code - name" for each code of its state set,
// or one of "<конфигурация не загружена>", "<переменная не найдена>",
// "<переменная не сконфигурирована>"; empty for an empty name.
std::vector<std::string> TW_StateList(const HDBDatabase* database, const char* name);
// A state field's code: the first word as a decimal number. 0xFFFF, the mark
// of a missing state, for an empty text, a word that is no number and a number
// that is no 16-bit state code (65535 and above).
uint16_t TW_ParseState(const char* text);

// Reads the entries into `contour` line by line and checks each line after it
// was read; returns null when every check passed, else the message of the first
// failed check ("Неверный статус датчика", "Не задано имя датчика", ...). The
// contour then holds the lines read so far: callers edit a copy and keep it
// only on success. With `shown`, the entries as the dialog showed them, an entry
// the user left as it was keeps the contour's field as it is, also where a
// control cannot hold the stored value exactly.
const char* TW_ReadEntries(const TW_ContourEntries& entries, TW_Contour& contour,
                           const TW_ContourEntries* shown = nullptr);
