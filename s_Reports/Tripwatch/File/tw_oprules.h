// What a report job says about operations beyond its contours: the commands
// that explain a line's operations and the maintenance windows. Stored in the
// job's node as two child nodes, "Commands" and "Maintenance", each with
// "Count" and "Item0", "Item1", ...; a job without them has neither.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/prtime.h"

class HConfigItem;

// A command that explains operations of a line: a sample of `Variable` in
// `State` at most `Seconds` before an operation of the line `Line`.
struct TW_Command {
    std::string Line;      // cp1251
    std::string Variable;  // cp1251
    uint16_t State = 0;
    uint32_t Seconds = 0;
};

// A window [From, To) in which the operations of `Variable` ("*": of every
// line) are maintenance.
struct TW_MaintenanceWindow {
    std::string Variable;  // cp1251; "*" for every line
    PRTime From, To;
    std::string Note;  // cp1251
};

// What the job says beyond its contours about operations.
struct TW_OperationRules {
    std::vector<TW_Command> Commands;
    std::vector<TW_MaintenanceWindow> Maintenance;
};

// Reads both lists from the job node, every key checked as the contour keys
// are: a wrong value, a missing item, an empty name or a window that does not
// end after it begins fails with the first problem in the last error, and the
// lists are then empty. A missing node is an empty list.
bool TW_LoadOperationRules(HConfigItem& job, TW_OperationRules& rules);

// Writes both lists into the job node (replacing "Count" and the items of each;
// an empty list writes "Count" 0); a tree opened read-only is left as it is.
void TW_SaveOperationRules(HConfigItem& job, const TW_OperationRules& rules);
