// What the web view keeps between requests, valid while the home does not
// change: a stamp of the folders it reads, and the answers it gave under that
// stamp. Reports are written once, through a new name, and read many times.
#pragma once

#include <cstdint>
#include <list>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "response.h"

namespace web {

// A hash of the entries of the folders `whole` (every entry's name, size and
// times) and of the folders `own` themselves (their times, which change when
// an entry is added, removed or renamed, as every writer of reports replaces
// a file): the same as long as nothing in them changes. Cp1251 names.
uint64_t FoldersStamp(const std::vector<std::string>& whole, const std::vector<std::string>& own);

// Answers with a body (not files), by request and stamp, the least recently
// used dropped beyond a byte budget. Safe from several threads.
class ResponseCache {
  public:
    explicit ResponseCache(std::size_t budget = std::size_t(64) << 20) : budget_(budget) {}
    std::optional<Response> Find(const std::string& key, uint64_t stamp);
    void Put(const std::string& key, uint64_t stamp, const Response& r);

  private:
    struct Entry {
        std::string key;
        uint64_t stamp;
        int status;
        std::string contentType, body, downloadName;
    };
    std::mutex mutex_;
    std::list<Entry> entries_;  // the most recently used first
    std::unordered_map<std::string, std::list<Entry>::iterator> index_;
    std::size_t bytes_ = 0, budget_;
};

}  // namespace web
