// The hour archive as day files below HOME/Archive/ (format in ARCHIVE.md): the
// default archive of a home. Readers hold the archive's shared lock, writers its
// exclusive one, for the length of one operation.
#pragma once

#include <string>

#include "archive/hourarchive.h"

namespace host {

class DayFileArchive : public HourArchive {
  public:
    explicit DayFileArchive(std::string home) : home_(std::move(home)) {}

    bool Fetch(const std::vector<std::string>& names, int64_t from, int64_t end,
               FetchSink& sink) override;
    using HourArchive::Store;
    bool Store(const StoreBatch& next, int* units) override;
    const char* StoredUnits() const override { return "day file(s)"; }
    bool Collect(int64_t from, int64_t to, const char* variable, const CollectRun& run) override;
    bool ReplaceRange(int64_t begin, int64_t end, const DaySamples& make, bool others) override;

  private:
    std::string home_;
};

}  // namespace host
