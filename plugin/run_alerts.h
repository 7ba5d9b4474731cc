// The alerts of a report run: what the run found in its period (protection
// non-operations, operations without demand) sent through the job's channels.
#pragma once

#include <string>
#include <vector>

#include "config/notifynode.h"
#include "tw_operations.h"

class HConfigItem;
class TW_File;

// Sends the findings of `report` and `operations` through every channel of
// `notify` that has not delivered this very set for the period yet, as the
// job's record HOME/State/JOB.notified says (JOB: the job file's name, else
// `name`); a period without findings sends nothing. What is delivered is
// recorded; what is not is logged and noted in the run notes, and goes out
// again with the next run of the period. Never fails the run itself.
void SendRunAlerts(HConfigItem& job, const std::string& name, const host::NotifySettings& notify,
                   const TW_File& report, const std::vector<TW_Operation>& operations);
