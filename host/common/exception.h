// The host's exception class, raised only by internal consistency checks. Its
// message is a cp1251 text.
#pragma once

#include <stdexcept>
#include <string>

namespace host {

class Exception : public std::runtime_error {
  public:
    explicit Exception(const std::string& message) : std::runtime_error(message) {}
};

// Raises a trap when a debugger is attached to the process (nothing otherwise).
void TrapIfDebugged();

}  // namespace host
