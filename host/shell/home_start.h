// The runtime of a command that works in a home: its start folder and its log.
#pragma once

#include <string>

namespace host {
// Starts the runtime in `home` (cp1251) with its log HOME/Log/rthost.log.
// False (last error naming the path) when the home's or the log's full path
// does not fit a path: a cut one would lead into another folder. A log that
// cannot be opened is no failure; the command runs without it.
bool StartInHome(const std::string& home);
}  // namespace host
