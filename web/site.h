// The web view of a home: which page, file or JSON document a GET answers
// with. It reads the home's jobs and report folders on every request and
// never writes into the home. Safe to call from several threads at once.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "response.h"

namespace web {

// A query parameter's raw (still encoded) value, or nothing.
using QueryLookup = std::function<std::optional<std::string>(const char* name)>;

class Site {
  public:
    // `home` with a final "/" (a file-system name).
    explicit Site(std::string home) : home_(std::move(home)) {}

    // The answer to GET `rawPath` (as on the request line, not decoded).
    Response Get(const std::string& rawPath, const QueryLookup& query) const;

  private:
    std::string home_;
};

}  // namespace web
