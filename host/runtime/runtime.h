// Start-up and shut-down of the host runtime for one process, and the umbrella
// of the runtime services (log, last error, progress indicator, idle period).
#pragma once

#include "common/lasterror.h"
#include "idle.h"
#include "interaction.h"
#include "operation.h"
#include "rtlog.h"
#include "runnotes.h"

// Sets the start folder (`home`; null = the current folder) and, when `logFile`
// is given, the log file (relative to the start folder). False (last error set)
// when the home's or the log's path is too long (nothing is set then) or the
// log file cannot be opened; the runtime is usable all the same.
bool RTInitialize(const char* home, const char* logFile);
// Closes the log file and ends a progress bar line.
void RTShutdown();
