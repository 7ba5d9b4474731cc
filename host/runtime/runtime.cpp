#include "runtime.h"

#include "common/paths.h"

bool RTInitialize(const char* home, const char* logFile) {
    host::SetStartupDir(home);
    if (!logFile || !*logFile) return true;
    char path[kMaxPath];
    MakeStartLocalPath(path, logFile);
    return host::SetLogFile(path);
}

void RTShutdown() {
    host::FinishProgressLine();
    host::SetLogFile(nullptr);
}
