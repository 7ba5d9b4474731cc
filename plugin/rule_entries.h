// The commands and maintenance windows of a job as the settings dialog edits
// them, without the window toolkit: the lines a rule may name, the reading of
// an editing form's fields into a rule, and the checks of a rule against the
// job's contours and the plug-in's host configuration. Texts are cp1251.
#pragma once

#include <string>
#include <vector>

#include "tw_oprules.h"

class HDBDatabase;
class TW_ContourArray;

// The line of a maintenance window that stands for every line.
inline constexpr const char* kEveryLine = "*";
// The longest a command may come before the operation it explains.
inline constexpr int kMaxCommandSeconds = 86400;

// What the command form's fields hold.
struct TW_CommandEntries {
    std::string line, variable;
    std::string state;  // a number, or a state list item "code - name"
    int seconds = 0;    // the up-down's position
};

// What the maintenance form's fields hold.
struct TW_WindowEntries {
    std::string line;      // a line, or "*"
    std::string from, to;  // "YYYY-MM-DD HH:MM:SS"
    std::string note;
};

// The relay and apparatus names of the contours, each once, in contour order.
// A line counts whether its contour is switched on or not: a rule outlives a
// contour switched off for a while.
std::vector<std::string> TW_ContourLines(const TW_ContourArray& contours);

// The fields as the forms show a rule.
TW_CommandEntries TW_EntriesOf(const TW_Command& command);
TW_WindowEntries TW_EntriesOf(const TW_MaintenanceWindow& window);

// Whether a rule may stand in the job: empty when it may, else the message of
// the first failed check. A command names one of `lines` and a variable of the
// loaded configuration (none loaded: it cannot be checked and is refused), and
// comes at most a day before; a window names one of `lines` or "*" and ends
// after it begins.
std::string TW_CheckCommand(const TW_Command& command, const std::vector<std::string>& lines,
                            const HDBDatabase* database);
std::string TW_CheckWindow(const TW_MaintenanceWindow& window,
                           const std::vector<std::string>& lines);

// Reads a form's fields into a rule and checks it as above; on a refusal the
// message, and `out` stays as it was.
std::string TW_ReadCommand(const TW_CommandEntries& entries, const std::vector<std::string>& lines,
                           const HDBDatabase* database, TW_Command& out);
std::string TW_ReadWindow(const TW_WindowEntries& entries, const std::vector<std::string>& lines,
                          TW_MaintenanceWindow& out);
