// The web view of a home: which page, file or JSON document a GET answers
// with. It never writes into the home. An answer is made once and given
// again while the home's jobs, their records and report folders stay as they
// were (cache.h). Safe to call from several threads at once.
#pragma once

#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "cache.h"
#include "home.h"
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
    // The jobs, read again when HOME/Jobs changes.
    std::vector<Job> Jobs() const;

    std::string home_;
    mutable std::mutex jobsMutex_;
    mutable std::vector<Job> jobs_;
    mutable uint64_t jobsStamp_ = 0;
    mutable ResponseCache cache_;
};

}  // namespace web
