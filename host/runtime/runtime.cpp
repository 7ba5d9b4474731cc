#include "runtime.h"

#include "common/paths.h"

bool RTInitialize(const char* home, const char* logFile) {
    if (!host::SetStartupDir(home)) return false;
    if (!logFile || !*logFile) return true;
    const std::string path = host::StartLocalPath(logFile);
    return host::FitsPath(path) && host::SetLogFile(path.c_str());
}

void RTShutdown() {
    host::FinishProgressLine();
    host::SetLogFile(nullptr);
}
