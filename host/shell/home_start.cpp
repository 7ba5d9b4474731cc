#include "home_start.h"

#include "common/paths.h"
#include "runtime/runtime.h"

namespace host {

bool StartInHome(const std::string& home) {
    constexpr const char* kLog = "Log/rthost.log";
    if (!SetStartupDir(home.c_str()) || !FitsPath(StartLocalPath(kLog))) return false;
    RTInitialize(home.c_str(), kLog);
    return true;
}

}  // namespace host
