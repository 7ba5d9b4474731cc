// The operations of a period as the window and the spreadsheet show them: the
// list of operations without demand, its filter, the texts of its cells, and
// the words that replace it when the operations are not known. Chosen here so
// that the widgets only paint. Texts are cp1251.
#pragma once

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include "operations_search.h"
#include "tw_operations.h"

// "по вызову", "короткий вызов", "от реле", "по команде", "обслуживание",
// "необъясненное"; "?" for a number that is no class.
const char* TW_OpClassTitle(uint8_t cls);
// "реле" or "агрегат"; "?" otherwise.
const char* TW_OpRoleTitle(uint8_t role);

// What the list shows: the operations of one class, or (kAllButDemand) of
// every class but demand; of one contour (its sensor, cp1251), or of all when
// Sensor is empty. An operation of class demand is never listed.
struct TW_OpsFilter {
    static constexpr int kAllButDemand = -1;
    int Class = kAllButDemand;
    std::string Sensor;
};

// The choices of the class filter, in the order offered: every class but
// demand, the unexplained ones, then each other class but demand.
const std::vector<std::pair<std::string, int>>& TW_OpsClassChoices();
// The contours (sensors) of the operations without demand, in the order of
// their first operation: the choices of the contour filter after "all".
std::vector<std::string> TW_OpsSensors(const std::vector<TW_Operation>& ops);

// The indices into `ops` of the operations the filter lets through, in the
// order of `ops`.
std::vector<std::size_t> TW_FilterOperations(const std::vector<TW_Operation>& ops,
                                             const TW_OpsFilter& filter);

// The list's column titles: contour, line, role, time, class.
const std::vector<std::string>& TW_OpsColumns();
// The text of a cell of an operation's row (the time as "DD.MM.YYYY HH:MM:SS");
// false for a column outside the list.
bool TW_OpsCellText(const TW_Operation& op, int column, std::string& text);

// Why the operations of the period are not known, in words: "Срабатывания
// неизвестны: " then how many listed reports have no operations file, how many
// operations files could not be read, or that the period has none at all.
// `unreadable` counts the operations files that could not be read.
std::string TW_OpsUnknownText(const TW_PeriodOperations& ops, std::size_t unreadable);
